// The profile sampling compiled once for every instruction set Highway
// builds, dispatched by Highway at run time.

// Must precede every Highway header. AVX3_DL adds nothing the sampling uses
// and SSSE3 only emulates the floor of the cell index: neither is built.
#ifndef HWY_DISABLED_TARGETS
#define HWY_DISABLED_TARGETS (HWY_AVX3_DL | HWY_SSSE3)
#endif

#include "engine/profileLanes.h"

#include <cstdint>

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "engine/profileLanes.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include "engine/profileLanes-inl.h"

#if HWY_ONCE
#include "engine/simdPath.h"

namespace tumbra {
HWY_EXPORT(sampleLine);
HWY_EXPORT(laneTarget);

// Called from the namespace of the tables: with a single target Highway
// calls that target's copy by its unqualified name.
float dispatchedSampleLine(const profileLine& line, const terrainSurface& surface, float zStart,
                           std::vector<float>& samples)
{
    return HWY_DYNAMIC_DISPATCH(sampleLine)(line, surface, zStart, samples);
}

int64_t dispatchedLaneTarget() { return HWY_DYNAMIC_DISPATCH(laneTarget)(); }
}  // namespace tumbra

namespace {
// The one-lane and emulated targets are Highway's fallback: their entry in
// the dispatch table is the scalar reference.
constexpr int64_t fallbackTargets = HWY_EMU128 | HWY_SCALAR;
}  // namespace

bool profileLanesCanRead(const terrainSurface& surface)
{
    constexpr int64_t largestLaneGrid = int64_t(1) << 30;
    const int64_t rows = surface.dem.nrows;
    const int64_t cols = surface.dem.ncols;
    return rows > 0 && cols > 0 && rows * cols <= largestLaneGrid && surface.elevation.rows() == rows
           && surface.elevation.cols() == cols;
}

float sampleProfileLineInOrder(const profileLine& line, const terrainSurface& surface, float zStart,
                               std::vector<float>& samples)
{
    float zMin = zStart;
    // The distance is a multiple of the step, never a running sum, so a tiny
    // step cannot stall it.
    for (uint64_t k = 1;; ++k) {
        const double t = static_cast<double>(k) * line.step;
        if (!(t < line.length))
            break;
        const gridPosition sample =
            positionAtLocal(line.aStart + t * line.unitRow, line.bStart + t * line.unitCol, line.cellSize);
        const float z = interpolateElevation(sample, surface);
        samples.push_back(z);
        if (z < zMin)
            zMin = z;
    }
    return zMin;
}

float sampleProfileLine(const profileLine& line, const terrainSurface& surface, float zStart,
                        std::vector<float>& samples)
{
    // Asking for the path first also sets up the dispatch on first use.
    if (activeSimdPath() == simdPath::scalar || !profileLanesCanRead(surface))
        return sampleProfileLineInOrder(line, surface, zStart, samples);
    return tumbra::dispatchedSampleLine(line, surface, zStart, samples);
}

int64_t profileLaneTargetsBuilt() { return HWY_TARGETS & ~fallbackTargets; }

int64_t profileLaneTargetsSupported()
{
    // Read once, before any dispatch setting replaces the processor's own
    // answer.
    static const int64_t supported = [] {
        hwy::SetSupportedTargetsForTest(0);
        return hwy::SupportedTargets();
    }();
    return supported;
}

void dispatchProfileLanesTo(int64_t target)
{
    profileLaneTargetsSupported();
    hwy::SetSupportedTargetsForTest(target != 0 ? target : HWY_EMU128);
}

int64_t profileLaneTargetDispatched()
{
    const int64_t target = tumbra::dispatchedLaneTarget();
    return (target & fallbackTargets) != 0 ? 0 : target;
}
#endif

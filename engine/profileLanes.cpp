// The profile sampling compiled once for every vector instruction set, and
// the table that picks one at run time.
#include "engine/profileLanes.h"

#include <cstdint>

// AVX3_DL adds nothing the sampling uses and SSSE3 only emulates the floor
// of the cell index: neither is built. The emulated 128-bit target, always
// built as the baseline, stays out of the table: it clamps infinities when it
// narrows doubles to floats, where the scalar code keeps them.
#ifndef HWY_DISABLED_TARGETS
#define HWY_DISABLED_TARGETS (HWY_AVX3_DL | HWY_SSSE3)
#endif

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "engine/profileLanes.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include "engine/profileLanes-inl.h"

#if HWY_ONCE
namespace {
using lineSampler = float (*)(const profileLine&, const terrainSurface&, float, std::vector<float>&);

struct lanePath
{
    lineSampler sampler;
    int64_t target;
};

lanePath lanePathOf(simdPath path)
{
    switch (path) {
#if HWY_ARCH_X86 && (HWY_TARGETS & HWY_SSE4)
    case simdPath::sse4:
        return {&tumbra::N_SSE4::sampleLine, HWY_SSE4};
#endif
#if HWY_ARCH_X86 && (HWY_TARGETS & HWY_AVX2)
    case simdPath::avx2:
        return {&tumbra::N_AVX2::sampleLine, HWY_AVX2};
#endif
#if HWY_ARCH_X86 && (HWY_TARGETS & HWY_AVX3)
    case simdPath::avx512:
        return {&tumbra::N_AVX3::sampleLine, HWY_AVX3};
#endif
    default:
        return {nullptr, 0};
    }
}
}  // namespace

bool profileLanesCanRead(const terrainSurface& surface)
{
    constexpr int64_t largestLaneGrid = int64_t(1) << 30;
    const int64_t rows = surface.dem.nrows;
    const int64_t cols = surface.dem.ncols;
    return rows > 0 && cols > 0 && rows * cols <= largestLaneGrid && surface.elevation.rows() == rows
           && surface.elevation.cols() == cols;
}

bool profileLanesAvailable(simdPath path)
{
    const lanePath lanes = lanePathOf(path);
    return lanes.sampler != nullptr && (hwy::SupportedTargets() & lanes.target) != 0;
}

float sampleLineOnLanes(simdPath path, const profileLine& line, const terrainSurface& surface, float zStart,
                        std::vector<float>& samples)
{
    return lanePathOf(path).sampler(line, surface, zStart, samples);
}
#endif

// Which instruction set the profile sampling runs on: the best one the
// processor has, unless TUMBRA_SIMD forces another for a test or benchmark.
#include "engine/simdPath.h"

#include <atomic>
#include <cstdlib>

#include "engine/profileLanes.h"

namespace {
constexpr simdPath fastestFirst[] = {simdPath::avx512, simdPath::avx2, simdPath::sse4, simdPath::scalar};

const char* requestedName() { return std::getenv("TUMBRA_SIMD"); }

simdPath initialPath()
{
    simdPath requested = simdPath::scalar;
    const char* name = requestedName();
    if (name && simdPathFromName(name, requested) && simdPathAvailable(requested))
        return requested;
    return bestSimdPath();
}

std::atomic<simdPath>& activePath()
{
    static std::atomic<simdPath> path{initialPath()};
    return path;
}
}  // namespace

const char* simdPathName(simdPath path)
{
    switch (path) {
    case simdPath::scalar:
        return "scalar";
    case simdPath::sse4:
        return "sse4";
    case simdPath::avx2:
        return "avx2";
    case simdPath::avx512:
        return "avx512";
    }
    return "scalar";
}

bool simdPathFromName(const std::string& name, simdPath& path)
{
    if (name == "sse2") {
        path = simdPath::sse4;
        return true;
    }
    for (const simdPath candidate : fastestFirst) {
        if (name == simdPathName(candidate)) {
            path = candidate;
            return true;
        }
    }
    return false;
}

bool simdPathAvailable(simdPath path) { return path == simdPath::scalar || profileLanesAvailable(path); }

simdPath bestSimdPath()
{
    for (const simdPath candidate : fastestFirst) {
        if (simdPathAvailable(candidate))
            return candidate;
    }
    return simdPath::scalar;
}

simdPath activeSimdPath() { return activePath().load(std::memory_order_relaxed); }

bool setActiveSimdPath(simdPath path)
{
    if (!simdPathAvailable(path))
        return false;
    activePath().store(path, std::memory_order_relaxed);
    return true;
}

std::string simdPathReport()
{
    std::string report = simdPathName(activeSimdPath());
    const char* name = requestedName();
    simdPath requested = simdPath::scalar;
    if (!name || !*name)
        return report;
    if (!simdPathFromName(name, requested))
        return report + " (TUMBRA_SIMD=" + name + " is not a path: scalar, sse2, sse4, avx2 or avx512)";
    if (!simdPathAvailable(requested))
        return report + " (TUMBRA_SIMD=" + name + " is not available on this processor)";
    return report + " (TUMBRA_SIMD)";
}

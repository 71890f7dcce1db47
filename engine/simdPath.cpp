// Which instruction set the profile sampling runs on: the best one the
// processor has, unless TUMBRA_SIMD forces another for a test or benchmark.
// The choice is handed to Highway's dispatch as its set of supported targets.
#include "engine/simdPath.h"

#include <hwy/targets.h>

#include <atomic>
#include <cstdlib>
#include <mutex>

#include "engine/profileLanes.h"

namespace {
struct namedTarget
{
    int64_t target;
    const char* name;
};

// The names TUMBRA_SIMD takes, on every build; a target this build lacks is
// known but not available.
constexpr namedTarget namedTargets[] = {
    {HWY_SSE4, "sse4"},           {HWY_AVX2, "avx2"},         {HWY_AVX3, "avx512"}, {HWY_AVX3_DL, "avx512dl"},
    {HWY_SSSE3, "ssse3"},         {HWY_NEON, "neon"},         {HWY_SVE, "sve"},     {HWY_SVE2, "sve2"},
    {HWY_SVE_256, "sve256"},      {HWY_SVE2_128, "sve2_128"}, {HWY_PPC8, "ppc8"},   {HWY_WASM, "wasm"},
    {HWY_WASM_EMU256, "wasm256"}, {HWY_RVV, "rvv"},
};

int64_t targetOf(simdPath path) { return static_cast<int64_t>(path); }

const char* requestedName() { return std::getenv("TUMBRA_SIMD"); }

// Guards the path and Highway's dispatch setting, which change together.
std::mutex& pathMutex()
{
    static std::mutex mutex;
    return mutex;
}

simdPath initialPath()
{
    simdPath requested = simdPath::scalar;
    const char* name = requestedName();
    const simdPath path =
        name && simdPathFromName(name, requested) && simdPathAvailable(requested) ? requested : bestSimdPath();
    dispatchProfileLanesTo(targetOf(path));
    return path;
}

std::atomic<simdPath>& activePath()
{
    static std::atomic<simdPath> path{initialPath()};
    return path;
}

// The names TUMBRA_SIMD takes on this build, for the message about one it
// does not: the x86 names always, then this build's other paths.
std::string knownNames()
{
    std::vector<std::string> names = {"scalar", "sse2", "sse4", "avx2", "avx512"};
    for (const simdPath path : builtSimdPaths()) {
        const std::string name = simdPathName(path);
        bool listed = false;
        for (const std::string& known : names)
            listed = listed || known == name;
        if (!listed)
            names.push_back(name);
    }
    std::string list;
    for (std::size_t i = 0; i < names.size(); ++i)
        list += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
    return list;
}
}  // namespace

const char* simdPathName(simdPath path)
{
    for (const namedTarget& named : namedTargets) {
        if (named.target == targetOf(path))
            return named.name;
    }
    return path == simdPath::scalar ? "scalar" : hwy::TargetName(targetOf(path));
}

bool simdPathFromName(const std::string& name, simdPath& path)
{
    if (name == "scalar" || name == "sse2") {
        path = name == "scalar" ? simdPath::scalar : static_cast<simdPath>(HWY_SSE4);
        return true;
    }
    for (const namedTarget& named : namedTargets) {
        if (name == named.name) {
            path = static_cast<simdPath>(named.target);
            return true;
        }
    }
    return false;
}

std::vector<simdPath> builtSimdPaths()
{
    // A lower bit is a better target: the highest bit first is slowest first.
    std::vector<simdPath> paths;
    for (int64_t targets = profileLaneTargetsBuilt(); targets != 0; targets &= targets - 1)
        paths.insert(paths.begin(), static_cast<simdPath>(targets & -targets));
    paths.insert(paths.begin(), simdPath::scalar);
    return paths;
}

bool simdPathAvailable(simdPath path)
{
    const int64_t target = targetOf(path);
    // One target bit, built and supported.
    return path == simdPath::scalar
           || ((target & (target - 1)) == 0
               && (target & profileLaneTargetsBuilt() & profileLaneTargetsSupported()) != 0);
}

simdPath bestSimdPath()
{
    const int64_t usable = profileLaneTargetsBuilt() & profileLaneTargetsSupported();
    return static_cast<simdPath>(usable & -usable);
}

simdPath activeSimdPath() { return activePath().load(std::memory_order_relaxed); }

bool setActiveSimdPath(simdPath path)
{
    if (!simdPathAvailable(path))
        return false;
    const std::lock_guard<std::mutex> lock(pathMutex());
    activePath().store(path, std::memory_order_relaxed);
    dispatchProfileLanesTo(targetOf(path));
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
        return report + " (TUMBRA_SIMD=" + name + " is not a path: " + knownNames() + ")";
    if (!simdPathAvailable(requested))
        return report + " (TUMBRA_SIMD=" + name + " is not available on this processor)";
    return report + " (TUMBRA_SIMD)";
}

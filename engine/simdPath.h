#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The instruction sets the profile sampling can run on: the scalar reference
// loop, or one of the Highway targets this build compiled the vector sampling
// for, held as that target's bit (HWY_SSE4, HWY_AVX2, HWY_AVX3, HWY_NEON,
// HWY_SVE, ...). Every path gives the scalar path's results bit for bit; they
// differ only in speed.
enum class simdPath : int64_t { scalar = 0 };

// "scalar", "sse4", "avx2", "avx512", "neon", "sve", "sve2", ...
const char* simdPathName(simdPath path);

// A path by its name; "sse2" names the 128-bit x86 path too, which on x86-64
// needs SSE4.1. False for a name no build knows.
bool simdPathFromName(const std::string& name, simdPath& path);

// The scalar path, then every vector path this build holds, slowest first.
std::vector<simdPath> builtSimdPaths();

// Whether this build has the path and this processor can run it.
bool simdPathAvailable(simdPath path);

// The fastest available path.
simdPath bestSimdPath();

// The path the engine uses: the one TUMBRA_SIMD names when it is available,
// the best one otherwise. Chosen on first use and kept for the process.
simdPath activeSimdPath();

// Switches the engine to an available path (tests and benchmarks compare
// paths in one process); false, and no change, for an unavailable one.
bool setActiveSimdPath(simdPath path);

// One line for the timings: the active path and why, when TUMBRA_SIMD asked
// for another.
std::string simdPathReport();

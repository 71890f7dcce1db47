#pragma once

#include <string>

// The instruction sets the profile sampling can run on. Every path gives the
// scalar path's results bit for bit; they differ only in speed.
enum class simdPath { scalar, sse4, avx2, avx512 };

const char* simdPathName(simdPath path);

// "scalar", "sse4", "avx2" or "avx512"; "sse2" names the 128-bit path too,
// which on x86-64 needs SSE4.1. False for any other name.
bool simdPathFromName(const std::string& name, simdPath& path);

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

#pragma once

#include <cstdint>

// Bytes a run holds for every DEM cell at its peak: the elevations (float),
// the aspect (double), the relief's grey level (byte), the passage counts,
// the reaching start cells and the result map (32-bit int). The result map
// is only filled once the aspect is released; counting both leaves a margin
// for buffers and trajectories.
constexpr std::uint64_t runBytesPerCell = 4 + 8 + 1 + 4 + 4 + 4;

// The bytes a run on an nrows x ncols DEM needs for its grids, with
// `extraBytesPerCell` for optional grids (intensityBytesPerCell); saturates
// instead of wrapping round for headers no machine could hold.
std::uint64_t estimatedRunBytes(int nrows, int ncols, std::uint64_t extraBytesPerCell = 0);

// The machine's physical memory in bytes, or 0 where it cannot be told.
std::uint64_t physicalMemoryBytes();

// True when a run needing `neededBytes` can be attempted on a machine with
// `physicalBytes` of memory (0: unknown, nothing is refused).
bool fitsInMemory(std::uint64_t neededBytes, std::uint64_t physicalBytes);

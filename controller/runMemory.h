#pragma once

#include <cstdint>

// Bytes a run holds for every DEM cell while its grids are alive together:
// the elevations (float), the shaded relief and the aspect (double), the
// passage counts, the reaching start cells and the result map (32-bit int)
// and the reach probability (double).
constexpr std::uint64_t runBytesPerCell = 4 + 8 + 8 + 4 + 4 + 4 + 8;

// The bytes a run on an nrows x ncols DEM needs for its grids; saturates
// instead of wrapping round for headers no machine could hold.
std::uint64_t estimatedRunBytes(int nrows, int ncols);

// The machine's physical memory in bytes, or 0 where it cannot be told.
std::uint64_t physicalMemoryBytes();

// True when a run needing `neededBytes` can be attempted on a machine with
// `physicalBytes` of memory (0: unknown, nothing is refused).
bool fitsInMemory(std::uint64_t neededBytes, std::uint64_t physicalBytes);

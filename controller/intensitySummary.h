#pragma once

#include <cstdint>
#include <vector>

#include <QStringList>

#include "engine/intensity.h"

// The run summary's lines on the intensity: the largest energy (kJ), or
// without a block volume the largest energy-line height (m), and with a
// volume the area (ha) of the reached cells (N > 0) in each energy class
// by their Energy_max; one cell is cellsize^2 / 10000 ha.
QStringList intensitySummaryLines(const intensitySettings& settings, const intensityGrids& grids,
                                  const grid<int32_t>& passageCounts, double cellSize);

// How many reached cells lie in each energy class by Energy_max: below the
// first limit, from each limit up to the next, from the last limit on.
std::vector<std::uint64_t> energyClassCellCounts(const intensitySettings& settings, const intensityGrids& grids,
                                                 const grid<int32_t>& passageCounts);

#pragma once

#include <cstdint>

#include "raster/grid.h"

// The result map: -255..-1 for reached cells, the relief's grey level
// (computeReliefGreyGrid) elsewhere; sized to the counts' size.
void aggregateDisplayGrid(const grid<int32_t>& passageCounts, const grid<uint8_t>& reliefGreys, uint64_t progressTotal,
                          grid<int32_t>& displayGrid);

// One row of the reach probability: a grid of a hundred million cells need
// never be held as doubles when each row is formed as it is written.
void reachProbabilityRow(const grid<int32_t>& passageCounts, const grid<int32_t>& reachingStartCells,
                         int numberOfSimulations, int row, double* probabilities);

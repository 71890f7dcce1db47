#pragma once

#include <cstdint>

#include "raster/grid.h"

// Turns the propagation's counts into the reach probability (percent) and
// the result map: -255..-1 for reached cells, 0..255 shaded-relief grey
// elsewhere. Both outputs are sized by the function to the counts' size.
void aggregateResults(const grid<int32_t>& passageCounts, const grid<int32_t>& reachingStartCells,
                      const grid<double>& hillshade, uint64_t progressTotal, int numberOfSimulations,
                      grid<double>& reachProbability, grid<int32_t>& displayGrid);

// The result map alone, over the relief's grey levels (computeReliefGreyGrid).
void aggregateDisplayGrid(const grid<int32_t>& passageCounts, const grid<uint8_t>& reliefGreys,
                          uint64_t progressTotal, grid<int32_t>& displayGrid);

// One row of the reach probability: a grid of a hundred million cells need
// never be held as doubles when each row is formed as it is written.
void reachProbabilityRow(const grid<int32_t>& passageCounts, const grid<int32_t>& reachingStartCells,
                         int numberOfSimulations, int row, double* probabilities);

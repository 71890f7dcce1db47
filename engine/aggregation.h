#pragma once

#include <cstdint>

#include "raster/grid.h"

// The result map: -255..-1 for reached cells, the relief's grey level
// (computeReliefGreyGrid) elsewhere; sized to the counts' size.
void aggregateDisplayGrid(const grid<int32_t>& passageCounts, const grid<uint8_t>& reliefGreys, uint64_t progressTotal,
                          grid<int32_t>& displayGrid);

// Reach probability in percent: the share of the trajectories from the start
// cells able to reach a cell (`reaching` of them, `simulations` each) that
// did reach it (`passages`); 0 where no start cell can reach it.
inline double reachProbabilityPercent(int32_t passages, int32_t reaching, int simulations)
{
    return reaching != 0 ? static_cast<double>(passages) / reaching / simulations * 100.0 : 0.0;
}

// One row of the reach probability: a grid of a hundred million cells need
// never be held as doubles when each row is formed as it is written.
void reachProbabilityRow(const grid<int32_t>& passageCounts, const grid<int32_t>& reachingStartCells,
                         int numberOfSimulations, int row, double* probabilities);

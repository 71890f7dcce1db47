#pragma once

#include <array>
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

// Upper bounds of the reach-probability classes in percent, as hazard maps
// commonly draw them: the map and its legend, the grids' styles and the
// areas per class in log.txt all count with these.
constexpr std::array<double, 6> reachProbabilityClassBounds = {1.0, 5.0, 10.0, 25.0, 50.0, 100.0};

// The class of a reached cell's reach probability (percent, above 0):
// 0 up to 1 %, 1 up to 5 %, 2 up to 10 %, 3 up to 25 %, 4 up to 50 %,
// 5 above 50 %. Each class holds its upper bound.
int reachProbabilityClass(double percent);

// One row of the reach probability: a grid of a hundred million cells need
// never be held as doubles when each row is formed as it is written.
void reachProbabilityRow(const grid<int32_t>& passageCounts, const grid<int32_t>& reachingStartCells,
                         int numberOfSimulations, int row, double* probabilities);

#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/intensity.h"
#include "raster/grid.h"

// Frequencies are counted in steps of 10^-12 events per year: integer sums
// do not depend on the order in which trajectories are added, so seeded runs
// give the same bytes on any number of threads and processes.
constexpr double frequencyUnitsPerEvent = 1e12;

// A start cell's frequency as the grids add it.
int64_t frequencyUnits(double eventsPerYear);

// How often a cell is reached, summed over the start cells s as
//     F = sum_s lambda_s x (trajectories from s reaching the cell) / simulations,
// once for any arrival and once per energy class limit for arrivals with
// at least that energy (the trajectory's largest energy in the cell, with
// its own block). Sized by the caller (assign).
struct frequencyGrids
{
    grid<int64_t> any;                   // frequency units x simulations
    std::vector<grid<int64_t>> atLeast;  // per energy class limit

    void assign(int rows, int cols, std::size_t energyClasses);
    bool empty() const { return any.empty(); }
    // One trajectory of a start cell with `units` (frequencyUnits), with the
    // cells it reached, and when energies are counted their heights and the
    // weight of its block (N, blockWeight).
    void addTrajectory(int64_t units, const std::vector<std::size_t>& reachedCells,
                       const std::vector<cellHeight>& heights, double weight,
                       const std::vector<double>& energyClassLimits);
};

// Events per year at one cell (flat index) of `sums`, as frequencyRow forms it.
inline double frequencyAt(const grid<int64_t>& sums, std::size_t cell, int numberOfSimulations)
{
    return static_cast<double>(sums.data()[cell]) / frequencyUnitsPerEvent / numberOfSimulations;
}

// Events per year of one row: `sums` (any or atLeast[k]) over the simulations.
void frequencyRow(const grid<int64_t>& sums, int numberOfSimulations, int row, double* values);

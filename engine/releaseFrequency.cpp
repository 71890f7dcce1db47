#include "engine/releaseFrequency.h"

#include <algorithm>
#include <cmath>

int64_t frequencyUnits(double eventsPerYear) { return std::llround(eventsPerYear * frequencyUnitsPerEvent); }

void frequencyGrids::assign(int rows, int cols, std::size_t energyClasses)
{
    any.assign(rows, cols, 0);
    atLeast.assign(energyClasses, grid<int64_t>(rows, cols, 0));
}

void frequencyGrids::addTrajectory(int64_t units, const std::vector<std::size_t>& reachedCells,
                                   const std::vector<cellHeight>& heights, double weight,
                                   const std::vector<double>& energyClassLimits)
{
    if (units == 0)
        return;
    int64_t* sums = any.data();
    for (const std::size_t cell : reachedCells)
        sums[cell] += units;
    const std::size_t classes = std::min(atLeast.size(), energyClassLimits.size());
    if (classes == 0)
        return;
    for (const cellHeight& reached : heights) {
        const double energy = blockEnergy(weight, reached.height);
        for (std::size_t k = 0; k < classes && energy >= energyClassLimits[k]; ++k)
            atLeast[k].data()[reached.cell] += units;
    }
}

void frequencyRow(const grid<int64_t>& sums, int numberOfSimulations, int row, double* values)
{
    const std::size_t first = static_cast<std::size_t>(row) * static_cast<std::size_t>(sums.cols());
    for (int c = 0; c < sums.cols(); ++c)
        values[c] = frequencyAt(sums, first + static_cast<std::size_t>(c), numberOfSimulations);
}

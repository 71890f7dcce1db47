#pragma once

#include <cstddef>
#include <vector>

#include "engine/intensity.h"
#include "raster/grid.h"
#include "raster/objectsAtRisk.h"

// How hard blocks arrive at one object: over the object's reached cells
// (a passage count above 0), the largest Height_max, Velocity_max and
// Energy_max and the 95th percentile of each, as those grids hold them.
// All 0 for an object no trajectory reached.
struct objectIntensity
{
    double heightMax = 0.0;  // m
    double heightPercentile95 = 0.0;
    double velocityMax = 0.0;  // m/s
    double velocityPercentile95 = 0.0;
    double energyMax = 0.0;  // kJ, with energies
    double energyPercentile95 = 0.0;
};

// The intensity of every object in the objects' order, and whether the run
// formed energies (a block volume, or blocks per release).
struct objectIntensityTable
{
    bool energies = false;
    std::vector<objectIntensity> objects;
};

// Formed from the run's grids once it is over: the same for any number of
// threads, since the grids are.
objectIntensityTable objectIntensities(const objectCells& objects, const intensityGrids& grids,
                                       const intensitySettings& settings, const grid<int32_t>& passageCounts);

// The nearest-rank percentile: the smallest value with at least `percent`
// of the values at or below it, that is the ceil(percent / 100 x n)-th
// smallest of the n values (one of the values itself, never an
// interpolation). Reorders `values`; 0 when there are none.
double nearestRankPercentile(std::vector<double>& values, int percent);

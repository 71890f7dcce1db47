#pragma once

#include <cstdint>
#include <vector>

#include <QString>

#include "raster/coordinateSystem.h"
#include "raster/outputFiles.h"
#include "raster/rasterTypes.h"

// Where a saved trajectory came from.
struct trajectoryOrigin
{
    int32_t row = 0;
    int32_t col = 0;
    int32_t simulation = 1;  // from 1 for each start cell
};

// From the work items the engine records beside each saved trajectory
// (start cell index x simulations per cell + simulation index).
std::vector<trajectoryOrigin> trajectoryOriginsOf(const std::vector<uint64_t>& items,
                                                  const std::vector<startCell>& startCells, int simulations);

// One 3D line per trajectory, its points in order, in layer "trajectories"
// with the fields trajectory (its number in trajectory_points.txt),
// start_row, start_col and simulation; in the DEM's coordinate system. A
// trajectory that never left its start point is no line: it is a 3D point
// with the same fields in layer "trajectories_stopped_at_start".
// Written under a temporary name and renamed once complete.
writeOutcome writeTrajectoryGeoPackage(const outputTarget& target, const trajectoryList& trajectories,
                                       const std::vector<trajectoryOrigin>& origins, const coordinateSystem& system,
                                       messageSink& sink);

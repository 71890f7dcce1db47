#pragma once

#include <cstdint>
#include <vector>

#include <QString>

#include "raster/coordinateSystem.h"
#include "raster/outputFiles.h"
#include "raster/rasterTypes.h"

// One 3D line per trajectory, its points in order, in layer "trajectories"
// with the fields trajectory (its number in trajectory_points.txt),
// start_row, start_col and simulation; in the DEM's coordinate system. A
// trajectory that never left its start point is no line: it is a 3D point
// with the same fields in layer "trajectories_stopped_at_start". With
// `heightsAsM` every vertex carries its energy-line height as M value.
// Written under a temporary name and renamed once complete.
writeOutcome writeTrajectoryGeoPackage(const outputTarget& target, const trajectoryList& trajectories,
                                       const std::vector<trajectoryOrigin>& origins, const coordinateSystem& system,
                                       messageSink& sink, bool heightsAsM = false);

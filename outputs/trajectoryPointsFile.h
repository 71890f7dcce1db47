#pragma once

#include "raster/messageSink.h"
#include "raster/outputFiles.h"
#include "raster/rasterTypes.h"

// trajectory_points.txt: a title line, a header line, then one line per
// point of every trajectory (its number from 1, x and y in map units, z in
// metres, one decimal each, tab-separated); an empty trajectory takes its
// number too, so numbers match positions in the list.
writeOutcome writeTrajectoryPoints(const outputTarget& target, const trajectoryList& trajectories, messageSink& sink);

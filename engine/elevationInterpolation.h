#pragma once

#include "engine/gridPosition.h"
#include "raster/rasterTypes.h"

// The elevations a trajectory runs over; the grid holds the header's
// nrows x ncols values.
struct terrainSurface
{
    const elevationGrid& elevation;
    const rasterHeader& dem;
};

// Inverse-distance weighting over the four cells whose centres surround the
// point; cells outside the grid or without data drop out. NaN when none is
// left. A point on a cell centre takes that cell's elevation.
float interpolateElevation(const gridPosition& position, const terrainSurface& surface);

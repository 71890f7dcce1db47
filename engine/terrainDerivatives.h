#pragma once

#include "raster/rasterTypes.h"

// Both read the elevations with range-checked access: an elevation grid with
// fewer than nrows x ncols cells raises std::out_of_range. Both return true.
bool computeHillshadeGrid(const elevationGrid& elevation, int nrows, int ncols, float cellSize, grid<double>& output);
bool computeAspectGrid(const elevationGrid& elevation, int nrows, int ncols, float cellSize, float nodataValue,
                       grid<double>& output);

#pragma once

#include <cstdint>
#include <functional>

#include "raster/rasterTypes.h"

// Told now and then how many rows of a terrain grid are done; called on the
// thread that started the computation.
using terrainProgress = std::function<void(int rowsDone, int rowsTotal)>;

// All of them need an elevation grid of at least nrows x ncols cells and
// raise std::out_of_range for a smaller one. Rows are computed in parallel;
// every cell comes out as the one-cell-at-a-time computation gives it. All
// return true.
bool computeAspectGrid(const elevationGrid& elevation, int nrows, int ncols, float cellSize, float nodataValue,
                       grid<double>& output, const terrainProgress& progress = {});

// The shaded relief is only ever shown as a grey level, so the run keeps
// that level (one byte a cell) instead of the value (eight bytes a cell).
uint8_t reliefGrey(double hillshade);
bool computeReliefGreyGrid(const elevationGrid& elevation, int nrows, int ncols, float cellSize, grid<uint8_t>& output,
                           const terrainProgress& progress = {});

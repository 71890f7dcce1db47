#pragma once

#include <cstdint>
#include <vector>

#include "raster/grid.h"
#include "raster/rasterTypes.h"

// Every cell's distance to the nearest start cell and which start cell that
// is, by the exact Euclidean distance transform of Felzenszwalb and
// Huttenlocher ("Distance Transforms of Sampled Functions", Theory of
// Computing 8, 2012): the lower envelope of parabolas along each column,
// then along each row, carrying each parabola's start cell.
struct nearestStartCells
{
    grid<float> distance;   // m, between cell centres
    grid<int32_t> nearest;  // index into the start-cell list; -1 without start cells
};

nearestStartCells nearestStartCellsOf(const std::vector<startCell>& startCells, int rows, int cols, double cellSize);

// The release areas: start cells that touch (the eight neighbours) form one.
// One number per start cell, from 0, numbered in the list's order; `count` is set to how many.
std::vector<int32_t> releaseAreasOf(const std::vector<startCell>& startCells, int rows, int cols, int32_t& count);

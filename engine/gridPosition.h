#pragma once

#include <cstdint>

#include "raster/rasterTypes.h"

// A point on the grid: a cell and the offsets of the point inside it.
// Offsets lie in [0, cellSize); a clamp at the southern or eastern grid edge
// sets them to cellSize.
struct gridPosition
{
    uint32_t row = 0;        // 0 = northernmost row
    uint32_t col = 0;        // 0 = westernmost column
    float rowOffset = 0.0f;  // from the cell's north edge, southward
    float colOffset = 0.0f;  // from the cell's west edge, eastward
    float cellSize = 0.0f;
};

gridPosition positionAtCell(uint32_t row, uint32_t col, float cellSize);

// From local coordinates: a southward from the grid's north edge, b eastward
// from its west edge. A point a hair north or west of the grid (rounding on a
// profile line that ends on the edge) stays in row or column 0 with a
// negative offset rather than wrapping round.
gridPosition positionAtLocal(double a, double b, float cellSize);

// Local coordinates of a position, formed in single precision.
double distanceFromNorthEdge(const gridPosition& position);
double distanceFromWestEdge(const gridPosition& position);

// 0 north-west, 1 north-east, 2 south-east, 3 south-west quarter of the cell.
int quadrant(const gridPosition& position);

// World coordinates of the position and the given elevation.
trajectoryPoint worldPoint(const gridPosition& position, float elevation, const rasterHeader& dem);

// Grid positions: a cell and the offsets inside it, and their local and
// world coordinates.
#include "engine/gridPosition.h"

#include <algorithm>
#include <cmath>

gridPosition positionAtCell(uint32_t row, uint32_t col, float cellSize)
{
    return gridPosition{row, col, 0.0f, 0.0f, cellSize};
}

namespace {
// One axis of positionAtLocal: the cell index and the offset inside it. The
// product index x cellSize is taken in single precision, the difference in
// double.
void splitLocal(double distance, float cellSize, uint32_t& index, float& offset)
{
    const double cells = std::floor(distance / static_cast<double>(cellSize));
    if (!(cells >= 0.0)) {
        index = 0;
        offset = static_cast<float>(distance);
        return;
    }
    index = static_cast<uint32_t>(std::min(cells, 4294967295.0));
    const float cellStart = static_cast<float>(index) * cellSize;
    offset = static_cast<float>(distance - static_cast<double>(cellStart));
}
}  // namespace

gridPosition positionAtLocal(double a, double b, float cellSize)
{
    gridPosition position;
    position.cellSize = cellSize;
    splitLocal(a, cellSize, position.row, position.rowOffset);
    splitLocal(b, cellSize, position.col, position.colOffset);
    return position;
}

double distanceFromNorthEdge(const gridPosition& position)
{
    return static_cast<float>(position.row) * position.cellSize + position.rowOffset;
}

double distanceFromWestEdge(const gridPosition& position)
{
    return static_cast<float>(position.col) * position.cellSize + position.colOffset;
}

int quadrant(const gridPosition& position)
{
    const float half = position.cellSize / 2.0f;
    const bool north = position.rowOffset < half;
    const bool west = position.colOffset < half;
    if (north)
        return west ? 0 : 1;
    return west ? 3 : 2;
}

trajectoryPoint worldPoint(const gridPosition& position, float elevation, const rasterHeader& dem)
{
    double xllCorner = dem.xll;
    double yllCorner = dem.yll;
    if (dem.spatialReference == rasterHeader::center) {
        xllCorner -= dem.cellsize / 2.0;
        yllCorner -= dem.cellsize / 2.0;
    }
    const double gridHeight = static_cast<double>(dem.nrows) * dem.cellsize;
    return trajectoryPoint{xllCorner + distanceFromWestEdge(position),
                           yllCorner + gridHeight - distanceFromNorthEdge(position), elevation};
}

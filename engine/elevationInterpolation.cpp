// Elevation at any point of the grid by inverse-distance weighting of the
// four surrounding cell centres (Shepard's method with power 1).
#include "engine/elevationInterpolation.h"

#include <cmath>
#include <cstdint>

float interpolateElevation(const gridPosition& position, const terrainSurface& surface)
{
    // First cell of the 2 x 2 block of centres around the point, by quadrant.
    static constexpr int blockRowShift[4] = {-1, -1, 0, 0};
    static constexpr int blockColShift[4] = {-1, 0, 0, -1};
    const int q = quadrant(position);
    const int64_t row = position.row;
    const int64_t col = position.col;
    const int64_t r0 = row + blockRowShift[q];
    const int64_t c0 = col + blockColShift[q];
    const int64_t blockRows[4] = {r0, r0, r0 + 1, r0 + 1};
    const int64_t blockCols[4] = {c0, c0 + 1, c0 + 1, c0};

    const double nodata = surface.dem.nodataValue;
    const double cellSize = position.cellSize;
    float sumZ = 0.0f;
    float sumW = 0.0f;
    for (int i = 0; i < 4; ++i) {
        const int64_t r = blockRows[i];
        const int64_t c = blockCols[i];
        if (r < 0 || r >= surface.dem.nrows || c < 0 || c >= surface.dem.ncols)
            continue;
        const float z = surface.elevation(static_cast<int>(r), static_cast<int>(c));
        if (static_cast<double>(z) == nodata)
            continue;
        const double dr = static_cast<double>(r - row) * cellSize + cellSize / 2.0 - position.rowOffset;
        const double dc = static_cast<double>(c - col) * cellSize + cellSize / 2.0 - position.colOffset;
        const float d = static_cast<float>(std::sqrt(dr * dr + dc * dc));
        if (d == 0.0f)
            return z;
        sumZ += z / d;
        sumW += 1.0f / d;
    }
    return sumZ / sumW;
}

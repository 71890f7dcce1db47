#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

// The cells a straight segment passes through, in order from its start, by
// the traversal of Amanatides and Woo ("A Fast Voxel Traversal Algorithm for
// Ray Tracing", Eurographics 1987). Coordinates are in cells: x the column
// and y the row, counted from the grid's north-west corner, so the cell of a
// point is (floor(y), floor(x)). `visit(row, col)` returns false to stop the
// walk. A segment through a corner passes to the diagonal cell without the two
// beside it. `visit(row, col, enter, leave)` also takes the parameters (0 at
// the start, 1 at the end) at which the segment enters and leaves the cell.
template <class Visit>
void walkCellSpans(double x0, double y0, double x1, double y1, Visit visit)
{
    int64_t col = static_cast<int64_t>(std::floor(x0));
    int64_t row = static_cast<int64_t>(std::floor(y0));
    const int64_t lastCol = static_cast<int64_t>(std::floor(x1));
    const int64_t lastRow = static_cast<int64_t>(std::floor(y1));
    const double dx = x1 - x0;
    const double dy = y1 - y0;
    const int stepCol = dx > 0.0 ? 1 : -1;
    const int stepRow = dy > 0.0 ? 1 : -1;
    const double infinite = INFINITY;
    // Parameter (0..1 along the segment) of the next column and row boundary, and the steps between them.
    const double deltaCol = dx != 0.0 ? std::abs(1.0 / dx) : infinite;
    const double deltaRow = dy != 0.0 ? std::abs(1.0 / dy) : infinite;
    double nextCol = dx != 0.0 ? ((stepCol > 0 ? std::floor(x0) + 1.0 : std::floor(x0)) - x0) / dx : infinite;
    double nextRow = dy != 0.0 ? ((stepRow > 0 ? std::floor(y0) + 1.0 : std::floor(y0)) - y0) / dy : infinite;
    const int64_t cells = std::abs(lastCol - col) + std::abs(lastRow - row);
    double enter = 0.0;
    for (int64_t k = 0; k <= cells; ++k) {
        const double leave = std::min(std::min(nextCol, nextRow), 1.0);
        if (!visit(row, col, enter, leave))
            return;
        if (col == lastCol && row == lastRow)
            return;
        enter = leave;
        if (nextCol < nextRow) {
            col += stepCol;
            nextCol += deltaCol;
        } else if (nextRow < nextCol) {
            row += stepRow;
            nextRow += deltaRow;
        } else {
            col += stepCol;
            row += stepRow;
            nextCol += deltaCol;
            nextRow += deltaRow;
            ++k;
        }
    }
}

// The cells alone, as walkCellSpans passes them.
template <class Visit>
void walkCells(double x0, double y0, double x1, double y1, Visit visit)
{
    walkCellSpans(x0, y0, x1, y1, [&visit](int64_t row, int64_t col, double, double) { return visit(row, col); });
}

#include "engine/terrainDerivatives.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/angles.h"

namespace {
// Elevations of the 3 x 3 window around a cell, widened to double.
struct window
{
    double nw, n, ne;
    double w, centre, e;
    double sw, s, se;
};

// Neighbours outside the grid take the centre's elevation, so the border
// cells are shaded as if the terrain went on level.
window windowClampedToCentre(const elevationGrid& elevation, int nrows, int ncols, int r, int c)
{
    const double centre = elevation.at(r, c);
    auto value = [&](int row, int col) {
        if (row < 0 || row >= nrows || col < 0 || col >= ncols)
            return centre;
        return static_cast<double>(elevation.at(row, col));
    };
    return window{value(r - 1, c - 1), value(r - 1, c), value(r - 1, c + 1),
                  value(r, c - 1),     centre,          value(r, c + 1),
                  value(r + 1, c - 1), value(r + 1, c), value(r + 1, c + 1)};
}

// Illumination from the north-west: 0.5 on level ground, about 0.2 to 0.8 on
// slopes. NODATA values take part as elevations.
double shadedRelief(const window& z, float cellSize)
{
    constexpr double k = 0.7071067811865476;
    const double g = 8.0f * cellSize;  // formed in single precision
    const double gx = ((z.nw + 2 * z.w + z.sw) - (z.ne + 2 * z.e + z.se)) / g;
    const double gy = ((z.nw + 2 * z.n + z.ne) - (z.sw + 2 * z.s + z.se)) / g;
    const double v = (gx - gy) * k;
    return 0.5 * v / (v * v + k) + 0.5;
}

// One side of the window with weights 1, 2, 1, leaving out NODATA
// neighbours and rescaled to the full weight of 4 as if they had data.
class edgeSum
{
public:
    explicit edgeSum(double nodata) : nodata_(nodata) {}
    void add(double elevation, double weight)
    {
        if (elevation == nodata_)
            return;
        sum_ += weight * elevation;
        weight_ += weight;
    }
    double rescaled() const { return sum_ * 4.0 / std::max(weight_, 1.0); }

private:
    double nodata_;
    double sum_ = 0.0;
    double weight_ = 0.0;
};

double sideSum(double nodata, double first, double middle, double last)
{
    edgeSum side(nodata);
    side.add(first, 1.0);
    side.add(middle, 2.0);
    side.add(last, 1.0);
    return side.rescaled();
}

// Azimuth of steepest descent, clockwise from north, or NODATA where the
// window is level. The centre's own value does not enter.
double downslopeDirection(double dzdx, double dzdy, double nodata)
{
    if (dzdx == 0.0) {
        if (dzdy == 0.0)
            return nodata;
        return dzdy > 0.0 ? 0.0 : pi;
    }
    if (dzdy == 0.0)
        return dzdx < 0.0 ? pi / 2.0 : 3.0 * pi / 2.0;
    const double theta = std::atan2(dzdy, -dzdx);
    return theta <= pi / 2.0 ? pi / 2.0 - theta : 5.0 * pi / 2.0 - theta;
}

double interiorAspect(const elevationGrid& elevation, int r, int c, float cellSize, double nodata)
{
    auto z = [&](int row, int col) { return static_cast<double>(elevation.at(row, col)); };
    const double east = sideSum(nodata, z(r - 1, c + 1), z(r, c + 1), z(r + 1, c + 1));
    const double west = sideSum(nodata, z(r + 1, c - 1), z(r, c - 1), z(r - 1, c - 1));
    const double south = sideSum(nodata, z(r + 1, c + 1), z(r + 1, c), z(r + 1, c - 1));
    const double north = sideSum(nodata, z(r - 1, c + 1), z(r - 1, c), z(r - 1, c - 1));
    const double g = 8.0f * cellSize;  // formed in single precision
    return downslopeDirection((east - west) / g, (south - north) / g, nodata);
}
}

bool computeHillshadeGrid(const elevationGrid& elevation, int nrows, int ncols, float cellSize, grid<double>& output)
{
    nrows = std::max(nrows, 0);
    ncols = std::max(ncols, 0);
    output.startRows(ncols, static_cast<std::size_t>(nrows));
    std::vector<double> row(static_cast<std::size_t>(ncols));
    for (int r = 0; r < nrows; ++r) {
        for (int c = 0; c < ncols; ++c)
            row[static_cast<std::size_t>(c)] =
                shadedRelief(windowClampedToCentre(elevation, nrows, ncols, r, c), cellSize);
        output.appendRow(row.data());
    }
    return true;
}

bool computeAspectGrid(const elevationGrid& elevation, int nrows, int ncols, float cellSize, float nodataValue,
                       grid<double>& output)
{
    nrows = std::max(nrows, 0);
    ncols = std::max(ncols, 0);
    const double nodata = nodataValue;
    output.startRows(ncols, static_cast<std::size_t>(nrows));
    std::vector<double> row(static_cast<std::size_t>(ncols));
    for (int r = 0; r < nrows; ++r) {
        for (int c = 0; c < ncols; ++c) {
            const bool border = r == 0 || r == nrows - 1 || c == 0 || c == ncols - 1;
            row[static_cast<std::size_t>(c)] = border ? 0.0 : interiorAspect(elevation, r, c, cellSize, nodata);
        }
        output.appendRow(row.data());
    }
    return true;
}

#include "engine/terrainDerivatives.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <stdexcept>

#include <omp.h>

#include "engine/angles.h"

namespace {
// Both derivatives take the slope from the 3 x 3 window around a cell by
// Horn's finite differences: the difference between two opposite sides of
// the window, the neighbours sharing an edge with the centre weighted 2 and
// the corners 1, divided by 8 cell sizes (a side weighs 4, and the two sides
// lie 2 cells apart).
//   Horn, B.K.P. (1981) "Hill shading and the reflectance map",
//   Proc. IEEE 69(1), 14-47.
constexpr double hornCornerWeight = 1.0;
constexpr double hornEdgeWeight = 2.0;
constexpr double hornSideWeight = hornCornerWeight + hornEdgeWeight + hornCornerWeight;
// In cell sizes; formed in single precision with the cell size.
constexpr float hornSpanCells = 8.0f;

// Elevations of the 3 x 3 window around a cell, widened to double.
struct window
{
    double nw, n, ne;
    double w, centre, e;
    double sw, s, se;
};

// The three rows around an interior row, read without range checks: the
// callers have made sure the grid covers nrows x ncols.
struct rowTriple
{
    const float* north;
    const float* middle;
    const float* south;

    window at(int c) const
    {
        return window{north[c - 1],  north[c],     north[c + 1], middle[c - 1], middle[c],
                      middle[c + 1], south[c - 1], south[c],     south[c + 1]};
    }
};

// Neighbours outside the grid take the centre's elevation, so the border
// cells are shaded as if the terrain went on level.
window windowClampedToCentre(const elevationGrid& elevation, int nrows, int ncols, int r, int c)
{
    const double centre = elevation(r, c);
    auto value = [&](int row, int col) {
        if (row < 0 || row >= nrows || col < 0 || col >= ncols)
            return centre;
        return static_cast<double>(elevation(row, col));
    };
    return window{value(r - 1, c - 1), value(r - 1, c),     value(r - 1, c + 1), value(r, c - 1),    centre,
                  value(r, c + 1),     value(r + 1, c - 1), value(r + 1, c),     value(r + 1, c + 1)};
}

// Illumination from the north-west: 0.5 on level ground, about 0.2 to 0.8 on
// slopes. NODATA values take part as elevations.
double shadedRelief(const window& z, float cellSize)
{
    constexpr double k = 0.7071067811865476;
    const double g = hornSpanCells * cellSize;  // formed in single precision
    const double gx = ((z.nw + hornEdgeWeight * z.w + z.sw) - (z.ne + hornEdgeWeight * z.e + z.se)) / g;
    const double gy = ((z.nw + hornEdgeWeight * z.n + z.ne) - (z.sw + hornEdgeWeight * z.s + z.se)) / g;
    const double v = (gx - gy) * k;
    return 0.5 * v / (v * v + k) + 0.5;
}

// One side of the window with Horn's weights 1, 2, 1, leaving out NODATA
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
    // A side without data keeps its sum of 0: its weight counts as 1.
    double rescaled() const { return sum_ * hornSideWeight / std::max(weight_, 1.0); }

private:
    double nodata_;
    double sum_ = 0.0;
    double weight_ = 0.0;
};

double sideSum(double nodata, double first, double middle, double last)
{
    edgeSum side(nodata);
    side.add(first, hornCornerWeight);
    side.add(middle, hornEdgeWeight);
    side.add(last, hornCornerWeight);
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

double interiorAspect(const window& z, float cellSize, double nodata)
{
    const double east = sideSum(nodata, z.ne, z.e, z.se);
    const double west = sideSum(nodata, z.sw, z.w, z.nw);
    const double south = sideSum(nodata, z.se, z.s, z.sw);
    const double north = sideSum(nodata, z.ne, z.n, z.nw);
    const double g = hornSpanCells * cellSize;  // formed in single precision
    return downslopeDirection((east - west) / g, (south - north) / g, nodata);
}

void requireElevations(const elevationGrid& elevation, int nrows, int ncols)
{
    if (nrows > 0 && ncols > 0 && (elevation.rows() < nrows || elevation.cols() < ncols))
        throw std::out_of_range("the elevation grid has fewer cells than nrows x ncols");
}

// Computes every row of `output` with rowValues(r, outputRow), the rows
// shared out over the OpenMP team. Only the thread that called reports
// progress, so a front end hears from the thread it expects.
template <typename T, typename RowValues>
void computeRows(int nrows, int ncols, grid<T>& output, const terrainProgress& progress, RowValues rowValues)
{
    nrows = std::max(nrows, 0);
    ncols = std::max(ncols, 0);
    output.assign(nrows, ncols, T{});
    if (nrows == 0 || ncols == 0)
        return;
    const int reportEvery = std::max(1, nrows / 100);
    std::atomic<int> rowsDone{0};
    int nextReport = reportEvery;  // touched by the calling thread only
#pragma omp parallel for schedule(dynamic, 16)
    for (int r = 0; r < nrows; ++r) {
        rowValues(r, output.row(r));
        const int done = rowsDone.fetch_add(1, std::memory_order_relaxed) + 1;
        if (progress && omp_get_thread_num() == 0 && done >= nextReport) {
            nextReport = done + reportEvery;
            progress(done, nrows);
        }
    }
    if (progress)
        progress(nrows, nrows);
}

template <typename Store>
void shadedReliefRow(const elevationGrid& elevation, int nrows, int ncols, float cellSize, int r, Store store)
{
    const bool interiorRow = r > 0 && r < nrows - 1;
    const rowTriple rows{interiorRow ? elevation.row(r - 1) : nullptr, elevation.row(r),
                         interiorRow ? elevation.row(r + 1) : nullptr};
    for (int c = 0; c < ncols; ++c) {
        const bool interior = interiorRow && c > 0 && c < ncols - 1;
        store(c, shadedRelief(interior ? rows.at(c) : windowClampedToCentre(elevation, nrows, ncols, r, c), cellSize));
    }
}
}  // namespace

uint8_t reliefGrey(double hillshade)
{
    const double grey = hillshade * 255.0;
    if (!(grey > 0.0))
        return 0;
    return static_cast<uint8_t>(std::min(grey, 255.0));
}

bool computeReliefGreyGrid(const elevationGrid& elevation, int nrows, int ncols, float cellSize, grid<uint8_t>& output,
                           const terrainProgress& progress)
{
    requireElevations(elevation, nrows, ncols);
    computeRows(nrows, ncols, output, progress, [&](int r, uint8_t* greys) {
        shadedReliefRow(elevation, nrows, ncols, cellSize, r,
                        [greys](int c, double shade) { greys[c] = reliefGrey(shade); });
    });
    return true;
}

bool computeAspectGrid(const elevationGrid& elevation, int nrows, int ncols, float cellSize, float nodataValue,
                       grid<double>& output, const terrainProgress& progress)
{
    requireElevations(elevation, nrows, ncols);
    const double nodata = nodataValue;
    computeRows(nrows, ncols, output, progress, [&](int r, double* aspects) {
        // Border cells keep the 0.0 the row starts with.
        if (r == 0 || r == nrows - 1)
            return;
        const rowTriple rows{elevation.row(r - 1), elevation.row(r), elevation.row(r + 1)};
        for (int c = 1; c < ncols - 1; ++c)
            aspects[c] = interiorAspect(rows.at(c), cellSize, nodata);
    });
    return true;
}

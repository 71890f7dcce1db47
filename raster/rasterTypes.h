#pragma once

#include <cstdint>
#include <vector>

#include <QString>

#include "raster/grid.h"

// Header of an ESRI ASCII grid. nrows is kept ahead of ncols although the
// file gives ncols first. All numeric fields are 0 until parsed. The origin
// is kept in double from reading to writing: national grids place their
// origins to the centimetre, beyond what a float holds at their distances.
struct rasterHeader
{
    enum spatialReferenceKind : int32_t { undefined = 0, corner = 1, center = 2 };

    int32_t nrows = 0;
    int32_t ncols = 0;
    double xll = 0.0;
    double yll = 0.0;
    float cellsize = 0.0f;
    float nodataValue = 0.0f;
    int32_t spatialReference = undefined;
};

// "undefined", "corner" or "center", indexed by rasterHeader::spatialReference;
// the writer builds the "xll..." and "yll..." keywords from it.
const char* spatialReferenceName(int32_t spatialReference);

// A start cell: zero-based row and column in the start-cells raster.
struct startCell
{
    int32_t row = 0;
    int32_t col = 0;
    bool operator==(const startCell& other) const { return row == other.row && col == other.col; }
};

// A recorded point of a trajectory: world x and y (in double, as the origin
// they are measured from), terrain elevation z, and the energy line's height
// above the ground h (0 unless intensity is on).
struct trajectoryPoint
{
    double x = 0.0;
    double y = 0.0;
    float z = 0.0f;
    float h = 0.0f;
    bool operator==(const trajectoryPoint& other) const
    {
        return x == other.x && y == other.y && z == other.z && h == other.h;
    }
};
using trajectoryList = std::vector<std::vector<trajectoryPoint>>;

// Where a saved trajectory came from: its start cell (the index in the
// start-cells list in file order, the cell's row and column) and its
// simulation, counted from 1 for each start cell.
struct trajectoryOrigin
{
    uint64_t startCellIndex = 0;
    int32_t row = -1;
    int32_t col = -1;
    int32_t simulation = 0;
};

// Elevations are parsed as 32-bit floats, so storing them as floats keeps
// every value exactly while halving the memory of a widened copy; readers of
// the grid widen to double where the arithmetic asks for it.
using elevationGrid = grid<float>;

// Decided from the DEM file's suffix, compared without regard to case.
enum inputFileType : int32_t { unsupportedFile = 0, esriAsciiGrid = 1, geoTiff = 2 };
int32_t inputFileTypeFromName(const QString& fileName);

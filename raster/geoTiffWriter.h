#pragma once

#include <QString>

#include "raster/coordinateSystem.h"
#include "raster/outputFiles.h"
#include "raster/rasterTypes.h"

// Where the output grids lie: the DEM's geotransform and coordinate system.
struct outputGeoreference
{
    double geoTransform[6] = {0, 1, 0, 0, 0, -1};
    coordinateSystem system;
};

// The geotransform of an ESRI ASCII header: its lower-left point is the
// corner of the grid, or the centre of the lower-left cell.
outputGeoreference georeferenceOfHeader(const rasterHeader& header, const coordinateSystem& system);

// GeoTIFF outputs, tiled and DEFLATE-compressed with a predictor. They are
// written under a temporary name and renamed once complete, and fail as the
// ESRI ASCII writers do: a file that cannot be made is skipped after the
// permission warning, a failed write is an error and leaves an earlier file
// of that name untouched. Cells where `elevations` holds the header's NODATA
// value are NODATA: the DEM's value where no result can take it, else -9999.
writeOutcome writeCountGeoTiff(const outputTarget& target, const rasterHeader& header,
                               const outputGeoreference& georeference, const grid<int32_t>& counts,
                               const elevationGrid& elevations, messageSink& sink);
// Rows of reals as Float32: the reach probability, and the intensity grids.
writeOutcome writeProbabilityGeoTiff(const outputTarget& target, const rasterHeader& header,
                                     const outputGeoreference& georeference, int rows, int cols,
                                     const probabilityRowSource& rowValues, const elevationGrid& elevations,
                                     messageSink& sink);
// Rows of small whole numbers (levels, classes; 0 to 254) as bytes, NODATA 255.
writeOutcome writeLevelGeoTiff(const outputTarget& target, const rasterHeader& header,
                               const outputGeoreference& georeference, int rows, int cols,
                               const probabilityRowSource& rowValues, const elevationGrid& elevations,
                               messageSink& sink);

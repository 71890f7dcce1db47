#pragma once

#include <QString>

#include "raster/coordinateSystem.h"
#include "raster/messageSink.h"
#include "raster/rasterTypes.h"

// True when the start-cells raster lies on the DEM's grid. When both rasters
// leave their spatial reference undefined, the DEM header becomes `corner`.
// Given the start-cells file name, a difference in the spatial reference
// names which file says which (a GeoTIFF always says `corner`).
bool checkRasterConsistency(rasterHeader& dem, const rasterHeader& startCells, const QString& demFileName,
                            messageSink& sink, const QString& startCellsFileName = QString());

// A raster in another coordinate system than the DEM's would put its cells
// on other ground: refused, naming both systems. A raster without a system
// is taken to share the DEM's, as it always was.
bool checkSameCoordinateSystem(const coordinateSystem& dem, const coordinateSystem& other, const QString& demFileName,
                               const QString& otherFileName, messageSink& sink);

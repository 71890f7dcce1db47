#pragma once

#include <QString>

#include "raster/messageSink.h"
#include "raster/rasterTypes.h"

// True when the start-cells raster lies on the DEM's grid. When both rasters
// leave their spatial reference undefined, the DEM header becomes `corner`.
bool checkRasterConsistency(rasterHeader& dem, const rasterHeader& startCells, const QString& demFileName,
                            messageSink& sink);

#pragma once

#include <optional>
#include <vector>

#include "raster/coordinateSystem.h"
#include "raster/messageSink.h"
#include "raster/rasterTypes.h"
#include "raster/vectorLayer.h"

// The start cells a vector layer gives on the DEM's grid (layerRasterizer
// says which cells a polygon, line or point takes), row by row from the
// north as the start-cells raster gives them, each cell once. A layer that
// lies wholly outside the DEM, or takes no cell of it, is refused as
// readLayerFeatures refuses an unusable layer: an error naming the file, and
// nothing returned. geoTransform: the DEM's.
std::optional<std::vector<startCell>> readStartCellsLayer(const vectorLayerSource& source, const rasterHeader& dem,
                                                          const double geoTransform[6],
                                                          const coordinateSystem& demSystem, messageSink& sink);

// True, after an error saying that the layer `what` lies wholly outside the
// DEM, when the layer's extent misses the grid.
bool layerMissesGrid(const layerFeatures& layer, const rasterHeader& dem, const double geoTransform[6],
                     const QString& what, messageSink& sink);

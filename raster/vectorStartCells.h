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

// How a number field of the start layer passes from a feature to its start
// cells. A cell in several features takes from each of them.
enum class featureValueSpread {
    sharedOut,   // the feature's value in equal parts over its cells, the parts of several features added
    perHectare,  // the value times the cell's area in hectares, added over the features
    largest,     // the feature's value itself, the largest of several features
};
struct startCellField
{
    QString name;
    featureValueSpread spread = featureValueSpread::largest;
};

// The start cells as above, and `values` (one list per field, one value per
// start cell in the list's order) from the fields of their features. A
// feature that takes no cell gives nothing; `featuresWithoutCells` counts them.
struct startCellsWithValues
{
    std::vector<startCell> cells;
    std::vector<std::vector<double>> values;
    std::size_t featuresWithoutCells = 0;
};
std::optional<startCellsWithValues> readStartCellsLayer(const vectorLayerSource& source, const rasterHeader& dem,
                                                        const double geoTransform[6], const coordinateSystem& demSystem,
                                                        const std::vector<startCellField>& fields, messageSink& sink);

// True, after an error saying that the layer `what` lies wholly outside the
// DEM, when the layer's extent misses the grid.
bool layerMissesGrid(const layerFeatures& layer, const rasterHeader& dem, const double geoTransform[6],
                     const QString& what, messageSink& sink);

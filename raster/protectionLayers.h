#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include <QString>

#include "raster/coordinateSystem.h"
#include "raster/grid.h"
#include "raster/messageSink.h"
#include "raster/rasterTypes.h"
#include "raster/vectorLayer.h"

// Forest from a polygon layer: each cell whose centre lies in a polygon
// takes the polygon's index in `field` (the largest of overlapping ones), 0
// elsewhere. An index above 1 is refused naming the feature, as are the
// refusals of readLayerFeatures and a layer off the DEM.
std::optional<grid<float>> readForestLayer(const vectorLayerSource& source, const QString& field,
                                           const rasterHeader& dem, const double geoTransform[6],
                                           const coordinateSystem& demSystem, messageSink& sink);

// Forest indices read from a raster on the DEM's grid: NODATA is no forest; a
// value outside 0 to 1 is refused naming the file and the cell.
bool checkForestIndices(grid<float>& values, float nodataValue, const QString& file, messageSink& sink);

// A barrier (net, dam, wall): its lines in the DEM's coordinates.
struct barrierLine
{
    int64_t id = 0;
    QString name;
    double capacity = 0.0;  // kJ the structure stops
    std::vector<std::vector<std::pair<double, double>>> lines;  // vertices (x, y) of each line
};

// Barriers from a line layer with the capacity in `capacityField` (> 0) and
// an optional "name" field. A feature that is no line, lies off the DEM or has
// no capacity above 0 is refused naming it.
std::optional<std::vector<barrierLine>> readBarriersLayer(const vectorLayerSource& source,
                                                          const QString& capacityField, const rasterHeader& dem,
                                                          const double geoTransform[6],
                                                          const coordinateSystem& demSystem, messageSink& sink);

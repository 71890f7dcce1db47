#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "raster/coordinateSystem.h"
#include "raster/grid.h"
#include "raster/messageSink.h"
#include "raster/rasterTypes.h"
#include "raster/vectorLayer.h"

// Mapped field evidence on the DEM's grid: the cells whose centres lie inside
// its polygons (the reach blocks are known to have had), and the cell of
// each of its points (observed blocks, impacts, silent witnesses).
struct observedCells
{
    grid<uint8_t> area;  // 1 inside a polygon
    std::size_t areaCells = 0;
    std::vector<std::size_t> points;  // flat row-major cell of each point on the grid
};

// `role` names the layer in messages ("observed run-out", "study area").
// A layer with lines, or (with `polygonsOnly`) with points, is refused, as
// are the refusals of readLayerFeatures, a layer wholly outside the DEM and
// one that takes no cell of it; each names the file.
std::optional<observedCells> readObservedLayer(const vectorLayerSource& source, const QString& role, bool polygonsOnly,
                                               const rasterHeader& dem, const double geoTransform[6],
                                               const coordinateSystem& demSystem, messageSink& sink);

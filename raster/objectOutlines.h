#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include <QString>

#include "raster/objectsAtRisk.h"
#include "raster/vectorLayer.h"

// What an object at risk looks like on a map, in the DEM's coordinates:
// the rings of its polygons, its lines and its points. Features that share
// an id are one object and one outline.
struct objectOutline
{
    using vertices = std::vector<std::pair<double, double>>;  // (x, y)
    int64_t id = 0;
    QString name;
    std::vector<vertices> rings;  // outer and inner rings of its polygons, each closed
    std::vector<vertices> lines;
    vertices points;
};

// The outlines of a layer's features, sorted by id as the objects are.
std::vector<objectOutline> objectOutlinesOf(const layerFeatures& layer);

// The outlines of objects given by cells (an objects raster): the edges of
// each object's cells that border no other cell of it, as lines, the
// neighbouring edges along a row joined. `cols` and `geoTransform` are the
// DEM's.
std::vector<objectOutline> objectOutlinesOfCells(const objectCells& objects, int cols, const double geoTransform[6]);

#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include <QString>
#include <QStringList>

#include "raster/coordinateSystem.h"
#include "raster/messageSink.h"

class OGRGeometry;

// Where a vector input comes from: the file, its layer (the first when
// empty) and an OGR SQL attribute filter (none when empty).
struct vectorLayerSource
{
    QString file;
    QString layerName;
    QString where;
};

// GeoPackage (.gpkg), Shapefile (.shp), GeoJSON (.geojson, .json) and
// FlatGeobuf (.fgb), told by the suffix without regard to case.
bool isVectorFileName(const QString& fileName);

// The names of the file's layers in their order; none when the file is no
// vector file or cannot be opened. Opens the file only, reads no feature
// (a GeoJSON file is parsed whole, so a large one takes its time).
QStringList vectorLayerNames(const QString& file);

struct geometryDeleter
{
    void operator()(OGRGeometry* geometry) const;
};
using geometryPointer = std::unique_ptr<OGRGeometry, geometryDeleter>;

// One feature, in the DEM's coordinate system, its parts split by the rule
// that gives their cells: areas (polygons) give the cells whose centres lie
// inside, tracks (lines and points) the cells they touch.
struct layerFeature
{
    int64_t id = 0;  // the feature id, or the id field's value when one is named
    QString name;    // the "name" field's text, when the layer has one
    std::vector<geometryPointer> areas;
    std::vector<geometryPointer> tracks;
    std::vector<double> numbers;  // the values of the number fields asked for, in their order
};

// The features of a layer and the extent they cover in the DEM's system.
struct layerFeatures
{
    std::vector<layerFeature> features;
    double minX = 0.0, minY = 0.0, maxX = 0.0, maxY = 0.0;
};

// Reads every selected feature with a polygon, line or point, transformed to
// the DEM's system. `role` names the input in messages ("start cells",
// "objects"); `idField`, when not empty, is the integer field that gives
// each feature's id. A missing or unreadable file, layer, filter or id field,
// an empty layer or selection, or a layer with no polygon, line or point is
// reported as an error naming the file, and nothing is returned. A layer
// without a coordinate system on a DEM with one is taken as the DEM's, with
// a warning. Each of `numberFields` gives every feature a number of at least
// 0: a field the layer lacks, and a feature whose value is missing, negative,
// not finite or no number, are refused naming the layer, the feature, the
// field and the value.
std::optional<layerFeatures> readLayerFeatures(const vectorLayerSource& source, const coordinateSystem& demSystem,
                                               const QString& role, const QString& idField, messageSink& sink,
                                               const QStringList& numberFields = {});

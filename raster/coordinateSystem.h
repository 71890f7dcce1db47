#pragma once

#include <QByteArray>
#include <QString>

#include "raster/messageSink.h"
#include "raster/rasterTypes.h"

class OGRSpatialReference;

// The coordinate reference system of a raster, kept as WKT so that it can
// travel from the reader to the writers without GDAL types.
struct coordinateSystem
{
    QByteArray wkt;  // empty: the raster has none
    QString name;    // "EPSG:2056" where an EPSG code is known, otherwise the system's own name
    bool geographic = false;
    double metresPerUnit = 1.0;  // of the projected system's linear unit
    QString unitName;

    bool isEmpty() const { return wkt.isEmpty(); }
};

coordinateSystem coordinateSystemOf(const OGRSpatialReference* reference);

// GDAL's spatial reference of `system` in `reference`, its axes in the order
// x (east), y that grids and layers give their coordinates in; false for no
// system or one GDAL cannot read.
bool spatialReferenceOf(const coordinateSystem& system, OGRSpatialReference& reference);

// Cell sizes in degrees would be taken as metres: a DEM in a geographic
// system is refused, with a metre cell size near its own to reproject to.
// A projected system in another unit than the metre is run with a warning
// that all lengths are taken in that unit.
bool checkElevationCoordinateSystem(const coordinateSystem& system, const rasterHeader& dem, const QString& demFile,
                                    messageSink& sink);

// Both systems describe the same coordinates; an empty one matches only an empty one.
bool sameCoordinateSystem(const coordinateSystem& a, const coordinateSystem& b);

// The line log.txt gives it.
QString coordinateSystemLogLine(const coordinateSystem& system);

#pragma once

#include <QByteArray>
#include <QString>

#include "raster/geoTiffWriter.h"
#include "raster/messageSink.h"
#include "raster/outputFiles.h"

// A picture of a grid placed where a GIS puts the grid: beside a PNG or JPEG
// a world file (map.pgw, map.jgw) and the coordinate system in GDAL's
// auxiliary file (map.png.aux.xml); a GeoTIFF carries both itself.

// "pgw" for "png", "jgw" for "jpg" and "jpeg", "tfw" for "tif": the first and
// last letter of the suffix and a w, where GDAL and QGIS look first.
QString worldFileSuffix(const QString& pictureSuffix);

// The six lines of a world file: pixel width, the two rotation terms, the
// negative pixel height, and the centre of the upper-left pixel.
QByteArray worldFileText(const double geoTransform[6]);

// The auxiliary file that gives a picture its coordinate system, as GDAL
// writes it; empty for no system.
QByteArray auxiliarySystemText(const coordinateSystem& system);

// A picture as a GeoTIFF: 8-bit red, green and blue bands from `rgb` (three
// bytes a pixel, `lineBytes` a row), placed by `placement`. Written under a
// temporary name and renamed once complete.
writeOutcome writePictureGeoTiff(const outputTarget& target, int width, int height, const unsigned char* rgb,
                                 int lineBytes, const outputGeoreference& placement, messageSink& sink);

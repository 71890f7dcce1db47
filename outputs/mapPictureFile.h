#pragma once

#include <optional>

#include <QString>

#include <QStringList>

#include "map/resultMapPicture.h"
#include "raster/outputFiles.h"

struct runResultGrids;

// The formats a result map is written in, told by the file's suffix.
enum class mapPictureFormat { png, jpeg, geoTiff };

// .png; .jpg or .jpeg; .tif or .tiff (in any case). None for another suffix.
std::optional<mapPictureFormat> mapPictureFormatOf(const QString& fileName);

// Empty where a map can be written under this name; otherwise why not and
// what to do, so that a request is refused before its run.
QString mapSuffixProblem(const QString& fileName);

// The files a map named `fileName` is written as: the picture first, then
// beside a PNG or JPEG its world file and its auxiliary file, and last its
// legend (map.png: map-legend.png), in the folder `fileName` names.
QStringList mapPictureFiles(const QString& fileName);

// The map alone, one pixel per cell, in the format its suffix names, placed
// exactly on the DEM's grid: a PNG or JPEG with its world file and, where
// the DEM has a coordinate system, GDAL's auxiliary file holding it; a
// GeoTIFF with both inside. Its legend goes to a PNG of its own beside it.
// Returns the error, empty once every file is written. Its files are
// written where `target.path` says (a run stages them with its other
// outputs) and named as `target.name` in messages.
QString writeResultMap(const outputTarget& target, const runResultGrids& result, mapColouring colouring);

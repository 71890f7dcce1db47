#pragma once

#include <optional>

#include <QString>

#include "map/resultMapPicture.h"

struct runResultGrids;

// The formats a result map is written in, told by the file's suffix.
enum class mapPictureFormat { png, jpeg, geoTiff };

// .png; .jpg or .jpeg; .tif or .tiff (in any case). None for another suffix.
std::optional<mapPictureFormat> mapPictureFormatOf(const QString& fileName);

// Empty where a map can be written under this name; otherwise why not and
// what to do, so that a request is refused before its run.
QString mapSuffixProblem(const QString& fileName);

// The map with its legend (resultMapPicture) in the format its suffix names,
// placed on the DEM's grid: a PNG or JPEG with its world file and, where the
// DEM has a coordinate system, GDAL's auxiliary file holding it; a GeoTIFF
// with both inside. The legend lies east of the grid. Returns the error,
// empty once every file is written.
QString writeResultMap(const QString& fileName, const runResultGrids& result, mapColouring colouring);

#pragma once

#include <functional>

#include <gdal.h>

#include "raster/geoTiffWriter.h"
#include "raster/messageSink.h"
#include "raster/outputFiles.h"

class GDALDataset;

// How every GeoTIFF output is made: under a temporary name beside the target,
// with `bands` bands of `type` and GDAL's creation `options` (null-ended),
// placed by `placement` (its geotransform and coordinate system), filled by
// `fill`, closed (which writes the last tiles) and renamed once complete. A
// failure anywhere, GDAL's errors included, leaves an earlier file of the
// target's name untouched.
writeOutcome writePlacedGeoTiff(const outputTarget& target, int width, int height, int bands, GDALDataType type,
                                const char* const* options, const outputGeoreference& placement,
                                const std::function<bool(GDALDataset&)>& fill, messageSink& sink);

#pragma once

#include <functional>

#include <QString>

#include "raster/messageSink.h"
#include "raster/outputFiles.h"

class GDALDataset;

// Files that GDAL writes are made under a temporary name beside the target
// and renamed once complete, as the ESRI ASCII outputs are (QSaveFile).

// Reserves a free temporary name beside the target ending in `suffix`; a
// missing folder is made first (silently skipped when that fails), and a
// target that may not be replaced is refused after the permission warning,
// so that the outcomes match those of the other writers.
bool reserveTemporaryName(const outputTarget& target, const QString& suffix, QString& temporaryName, messageSink& sink);

// Renames the complete temporary file to the target, or drops it and
// reports `reason` after a failed write.
writeOutcome commitTemporaryFile(const QString& temporaryName, const outputTarget& target, bool written, QString reason,
                                 messageSink& sink);

// A GeoPackage that `fill` writes into a dataset made under a temporary
// name, then placed as the target; GDAL's errors fail it with their text.
writeOutcome writeGeoPackageFile(const outputTarget& target, const std::function<bool(GDALDataset&)>& fill,
                                 messageSink& sink);

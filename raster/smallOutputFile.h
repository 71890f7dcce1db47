#pragma once

#include <QByteArray>

#include "raster/messageSink.h"
#include "raster/outputFiles.h"

// A small output made whole in memory (a style, a world file, a picture),
// written as atomically as the grids: under a temporary name, renamed once
// every byte is on disk. A file that cannot be made is skipped after the
// permission warning; a short write (a full disk) is an error and leaves an
// earlier file of that name untouched.
writeOutcome writeSmallOutputFile(const outputTarget& target, const QByteArray& contents, messageSink& sink);

#pragma once

#include <functional>
#include <vector>

#include <QString>

#include "raster/asciiGridStream.h"
#include "raster/messageSink.h"
#include "raster/rasterTypes.h"

// Opens the named file into the stream and reads the header lines by keyword,
// in any order and any case: ncols, nrows, xllcorner/xllcenter/xll,
// yllcorner/yllcenter/yll, cellsize and the optional NODATA_value; other
// header lines are ignored. Blank lines are passed over, and so is the
// indent of a keyword line. A missing or repeated keyword is refused, naming
// it, and so is a value that is not one number alone (a decimal comma,
// trailing letters), naming its line. Leaves the stream at the first data line.
bool readGridHeader(const QString& fileName, rasterHeader& header, asciiGridStream& stream, messageSink& sink);

// Told now and then how far reading has come, in bytes of the file.
using readProgress = std::function<void(qint64 bytesDone, qint64 bytesTotal)>;

// Appends complete rows of ncols values, at most nrows; the first row holding
// an unreadable value, and every row after it, is dropped. True if at least
// one row was stored.
bool readElevationRows(asciiGridStream& stream, elevationGrid& elevation, int nrows, int ncols,
                       const readProgress& progress = {});

// Appends the cells holding a value greater than 0, in file order.
bool readStartCells(asciiGridStream& stream, std::vector<startCell>& cells, int nrows, int ncols, messageSink& sink);

#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include <QDateTime>
#include <QString>
#include <QStringList>

#include "raster/messageSink.h"
#include "raster/rasterTypes.h"

// How writing one output file ended. Files are written through a temporary
// file that replaces the target only once everything was written, so a
// failed write leaves an earlier file of that name untouched.
enum class writeOutcome {
    written,
    notOpened,  // could not be opened (warning box requested) or its folder made: skipped
    failed,     // opened but not completely written: an error naming the file was reported
    notNeeded   // nothing was due: no file is written and none of the name belongs to the result
};

// Where an output file is written and the name messages give it. A run
// writes into the folder it captured when it began, never by a name relative
// to the current directory, and its messages name the file alone, as the
// folder is stated once in its log; any other path names itself.
struct outputTarget
{
    outputTarget(const QString& path) : path(path), name(path) {}
    outputTarget(const QString& folder, const QString& fileName);
    QString path;
    QString name;
};

// Told as the rows of a grid are written, in increasing order, on the
// calling thread; all rows are reported once the file is complete.
using rowProgress = std::function<void(int rowsDone, int rowsTotal)>;

// Fills the `values` of one grid row. Called for different rows from two
// threads at once.
using probabilityRowSource = std::function<void(int row, double* values)>;

// An ESRI ASCII grid with the given header; counts as plain integers,
// probabilities (percent) with one decimal.
writeOutcome writeCountGrid(const outputTarget& target, const rasterHeader& header, const grid<int32_t>& counts,
                            messageSink& sink, const rowProgress& progress = {});
writeOutcome writeProbabilityGrid(const outputTarget& target, const rasterHeader& header,
                                  const grid<double>& probability, messageSink& sink, const rowProgress& progress = {});
// The same file from rows formed while it is written, so that the grid of
// probabilities never has to be held whole.
writeOutcome writeProbabilityGrid(const outputTarget& target, const rasterHeader& header, int rows, int cols,
                                  const probabilityRowSource& rowValues, messageSink& sink,
                                  const rowProgress& progress = {});
// Any real grid formed row by row as it is written, with `decimals` decimals.
writeOutcome writeRealGrid(const outputTarget& target, const rasterHeader& header, int rows, int cols,
                           const probabilityRowSource& rowValues, int decimals, messageSink& sink,
                           const rowProgress& progress = {});
// Reals spanning many orders of magnitude (frequencies) with `digits`
// significant digits, in the C locale's shortest form ("0", "0.0125",
// "3.7e-05").
writeOutcome writeSignificantGrid(const outputTarget& target, const rasterHeader& header, int rows, int cols,
                                  const probabilityRowSource& rowValues, int digits, messageSink& sink,
                                  const rowProgress& progress = {});
// A number as log.txt writes it (six decimals).
QString logValueText(double value);

// A small file written whole, as atomically as the grids.
writeOutcome writeWholeFile(const outputTarget& target, const QByteArray& contents, messageSink& sink);
// A .prj file beside an ESRI ASCII grid: the coordinate system's text as it is.
writeOutcome writeProjectionFile(const outputTarget& target, const QByteArray& projectionText, messageSink& sink);

#pragma once

#include <functional>
#include <vector>

#include <QString>
#include <QStringList>

#include "outputs/outputStaging.h"
#include "outputs/outputTable.h"

struct runProducts;

// How far writing a file has come: its phase ("Writing N.asc") with the
// rows done of all; 0 of 1 as it starts, 1 of 1 once it is complete.
using writingProgress = std::function<void(const QString& phase, int64_t done, int64_t total)>;

// What writing a run's files came to.
struct writtenOutputs
{
    QStringList written;     // staged, complete: names as planned
    QStringList notWritten;  // could not be written, or left out after a stop
    bool complete() const { return notWritten.isEmpty(); }
};

// "Writing N.asc": each file's phase is named for the file, so progress
// lines and timings name the files actually written.
QString writingPhase(const QString& name);

// Writes every planned output into `staging`, in order; once `stopped`
// says so, or once one could not be written, the rest are left out. An output with nothing due (a .prj for a
// DEM without a system) is neither.
writtenOutputs writeStagedOutputs(const std::vector<plannedOutput>& outputs, const runProducts& products,
                                  outputStaging& staging, messageSink& sink, const writingProgress& progress,
                                  const std::function<bool()>& stopped);

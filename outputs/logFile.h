#pragma once

#include <cstdint>
#include <optional>

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include "raster/messageSink.h"
#include "raster/outputFiles.h"
#include "raster/rasterTypes.h"

// What log.txt reports about a run.
struct logReport
{
    QDateTime startTime;
    QDateTime endTime;
    QString demFile;
    QString startCellsFile;
    rasterHeader dem;
    // The simulation settings, one line each: label and value as written.
    QList<QPair<QString, QString>> settings;
    QString resultsFolder;         // absolute path
    QString coordinateSystemLine;  // appended as the last line when not empty
    std::optional<uint64_t> seed;  // a seeded run: one line more at the end
    // Lines of the run summary that follows the lines above ("Start cells:
    // 12" and so on); none, and the summary is left out.
    QStringList summary;
    // What the run warned of, in order; none, and the section is left out.
    QStringList warnings;
};

// log.txt: the program and the times, the inputs and the DEM's header, the
// settings, the folder, the random numbers, the coordinate system, then the
// run summary and the warnings.
writeOutcome writeLogFile(const outputTarget& target, const logReport& report, messageSink& sink);

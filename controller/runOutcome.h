#pragma once

#include <memory>

#include <QMetaType>
#include <QStringList>

#include "controller/resultCode.h"
#include "outputs/objectsTable.h"

struct runReportContent;
struct runResultGrids;

// How a run ended, reported once at its end.
struct runOutcome
{
    int code = resultCode::failed;  // a resultCode value
    // The grids of the result map: set only for a completed run, moved out
    // of the run, never copied.
    std::shared_ptr<const runResultGrids> grids;
    // What the run's report tells besides the grids: set with them.
    std::shared_ptr<const runReportContent> report;
    QStringList filesWritten;     // names in the output folder, as written
    QStringList filesNotWritten;  // names of the outputs that could not be written
    QStringList summary;          // the run summary of log.txt, line by line
    // With objects at risk, a completed run's rows of objects.csv, for the window.
    objectsTable objects;
    // The last line of the run's messages, which says how it ended ("Done.");
    // the front end shows it after its own lines about the outcome.
    QString closingLine;
};

Q_DECLARE_METATYPE(runOutcome)

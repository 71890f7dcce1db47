#pragma once

#include <vector>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "engine/calibrationScores.h"
#include "raster/messageSink.h"
#include "raster/outputFiles.h"

// The runs of a calibration (one run when there is none) against the field
// evidence, best first.
struct calibrationRow
{
    QStringList settings;  // as log.txt writes them, in calibrationReport::settingNames' order
    runScores scores;
    double seconds = 0.0;  // simulating it
};

struct calibrationReport
{
    QStringList settingNames;  // column headers: the settings' labels with units
    std::vector<calibrationRow> rows;
    QString criterion;  // what ranked them ("balanced"); empty for one run
    bool empty() const { return rows.empty(); }
};

// calibration.csv as RFC 4180 has it (CRLF line ends): rank, the settings,
// every score (empty where a score has no value), the duration.
QByteArray calibrationTableText(const calibrationReport& report);

writeOutcome writeCalibrationTable(const outputTarget& target, const calibrationReport& report, messageSink& sink);

// log.txt's lines: the evidence, the number of runs and the criterion, and
// the scores of the run whose files these are (the best).
QStringList calibrationLogLines(const QString& observedFile, const calibrationReport& report);

#pragma once

#include <cstdint>
#include <optional>

#include <QString>
#include <QStringList>

#include "raster/outputFormat.h"

// What a headless run was asked to do.
struct runnerOptions
{
    QString demFile;
    QString startCellsFile;
    QString outputDir;
    QString mapFile;
    QString mapColouring = QStringLiteral("probability");  // or "share", as the window offers
    int simulations = 100;
    double segmentLength = 10.0;
    double profileStep = 1.0;
    int maxAngle = 22;
    double fallHeight = 0.0;
    int probabilityClass = 0;  // high 0, medium 1, low 2
    bool saveTrajectories = false;
    outputFormat format = outputFormat::esriAscii;
    int threads = 0;  // 0: the OpenMP runtime's default
    bool overwrite = false;
    bool quiet = false;
    bool timings = false;          // print how long each phase took
    std::optional<uint64_t> seed;  // reproducible on any number of threads and processes
};

enum class parseOutcome { run, exitSuccess, exitFailure };

// Parses the command line; prints help, version or the reason of a refusal.
parseOutcome parseRunnerOptions(const QStringList& arguments, runnerOptions& options);

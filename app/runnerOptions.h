#pragma once

#include <QStringList>

#include "controller/runRequest.h"

// What a headless run was asked to do: the run itself, and how it reports.
struct runnerOptions
{
    runRequest request;  // the settings table's defaults until options say otherwise
    bool quiet = false;
    bool timings = false;        // print how long each phase took
    bool progressLines = false;  // "progress <percent> <phase>" lines on stdout instead of the terminal's bar
    bool filesWritten = false;   // the paths of the files placed, on stdout
};

enum class parseOutcome { run, exitSuccess, exitFailure };

// Parses the command line; prints help, version, the settings table or the
// reason of a refusal.
parseOutcome parseRunnerOptions(const QStringList& arguments, runnerOptions& options);

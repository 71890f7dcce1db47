#pragma once

#include <QDateTime>
#include <QString>

// The date and time in ISO 8601 form with every character removed that some
// file system refuses in a folder name: 5 December 2026, 05:24:21 gives
// "2026-12-05T052421".
QString runTimeStamp(const QDateTime& time);

// The name of a run's output folder, "%1sims_%2deg_%3m_%4": the number of
// simulations and the maximum deviation angle as the choice lists show them
// (0 when a text is not an integer), the segment length in its shortest form
// and the time stamp. Two runs with equal settings in the same second share it.
QString runFolderName(const QString& simulationsText, const QString& maxAngleText, double segmentLength,
                      const QDateTime& time);

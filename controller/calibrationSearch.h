#pragma once

#include <cstddef>
#include <vector>

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "controller/runRequest.h"
#include "engine/calibrationScores.h"

// The values one run of a calibration takes: (settings row name, value).
using settingValues = QList<QPair<QString, QVariant>>;

// Every combination of the request's calibration lists, the first list
// changing slowest; one empty combination without lists.
std::vector<settingValues> calibrationCombinations(const runRequest& request);

// Writes a combination's values into the request through the table's rows.
void applySettingValues(runRequest& request, const settingValues& values);

// The rows calibration.csv names: the settings that shape a run's reach, and
// every listed one besides.
QStringList calibrationSettingRows(const runRequest& request);

// The criterion's figure of a run: higher is better; NaN ranks last.
double criterionValue(const runScores& scores, calibrationCriterion criterion);
QString criterionName(calibrationCriterion criterion);

// The runs' indices, best first; equal figures keep their order.
std::vector<std::size_t> rankedRuns(const std::vector<runScores>& scores, calibrationCriterion criterion);

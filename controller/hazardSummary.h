#pragma once

#include <QStringList>

struct runResultGrids;

// The run summary's lines on the hazard map: the area (ha) of each hazard
// level (the matrix and return periods are among the settings' lines).
QStringList hazardSummaryLines(const runResultGrids& grids);

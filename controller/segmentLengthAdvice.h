#pragma once

#include <QString>

// A segment much shorter than a cell rarely carries a trajectory out of its
// start cell: on such a grid most trajectories stop there. Empty where the
// segment length is at least a quarter of the DEM's cell size; otherwise the
// warning, with the settings that avoid it.
QString segmentLengthWarning(double segmentLength, double cellSize);

struct runOutStatistics;

// After the simulation: a run in which more than half of the trajectories
// never left their start cell, or whose longest run-out is under one cell,
// says nothing of where masses go. Empty for any other run; otherwise the
// warning naming the figure and the fix: a segment length of the cell size
// where it is shorter, else a finer DEM.
QString degenerateRunWarning(const runOutStatistics& runOuts, double segmentLength, double cellSize);

// The run summary's mark on the figures of such a run.
QString notMeaningfulLine();

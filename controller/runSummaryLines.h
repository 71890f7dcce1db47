#pragma once

#include <cstdint>

#include <QStringList>

#include "raster/grid.h"

struct runOutStatistics;

// The lines of the run summary that tell where the masses went: the area
// reached in each reach-probability class of the map, the longest run-out
// and the travel angle's 5th, 50th and 95th percentiles.
QStringList reachSummaryLines(const grid<int32_t>& passageCounts, const grid<int32_t>& reachingStartCells,
                              int numberOfSimulations, double cellSize, const runOutStatistics& runOuts);

// "Threads: n" for one process; processes and threads per process for a
// run shared among several.
QStringList parallelismLines(int processes, int threadsPerProcess);

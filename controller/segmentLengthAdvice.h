#pragma once

#include <QString>

// A segment much shorter than a cell rarely carries a trajectory out of its
// start cell: on such a grid most trajectories stop there. Empty where the
// segment length is at least a quarter of the DEM's cell size; otherwise the
// warning, with the settings that avoid it.
QString segmentLengthWarning(double segmentLength, double cellSize);

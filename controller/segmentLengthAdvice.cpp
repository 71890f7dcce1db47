#include "controller/segmentLengthAdvice.h"

namespace {
QString metres(double value) { return QString::number(value, 'g', 6) + QStringLiteral(" m"); }
}  // namespace

QString segmentLengthWarning(double segmentLength, double cellSize)
{
    if (!(segmentLength > 0.0) || !(segmentLength < cellSize / 4.0))
        return QString();
    return QStringLiteral("The segment length (%1) is under a quarter of the DEM's cell size (%2): on such a grid most "
                          "trajectories stop in their start cell. Use a segment length of at least %3, or a DEM with "
                          "cells of at most %4.")
        .arg(metres(segmentLength), metres(cellSize), metres(cellSize / 4.0), metres(4.0 * segmentLength));
}

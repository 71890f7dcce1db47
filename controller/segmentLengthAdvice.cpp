#include "controller/segmentLengthAdvice.h"

#include <cmath>

#include "engine/runOutStatistics.h"

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

QString degenerateRunWarning(const runOutStatistics& runOuts, double segmentLength, double cellSize)
{
    if (runOuts.trajectories == 0)
        return QString();
    const bool mostStayed = 2 * runOuts.stayedInStartCell > runOuts.trajectories;
    const bool shortRunOut = runOuts.longestRunOut < cellSize;
    if (!mostStayed && !shortRunOut)
        return QString();
    const double share = static_cast<double>(runOuts.stayedInStartCell) / static_cast<double>(runOuts.trajectories);
    QString figure = QStringLiteral("%1 of %2 trajectories (%3 %) never left their start cell")
                         .arg(runOuts.stayedInStartCell)
                         .arg(runOuts.trajectories)
                         .arg(share * 100.0, 0, 'f', 1);
    if (shortRunOut)
        figure += QStringLiteral(" and the longest run-out (%1) is under one cell (%2)")
                      .arg(metres(std::round(runOuts.longestRunOut * 10.0) / 10.0), metres(cellSize));
    // A segment shorter than the cell ends near the cell's centre, where the
    // interpolated surface is flattest; a segment of the cell size reaches
    // the slope between cell centres. Where it already does, the grid itself
    // is too coarse to show the slope's steep parts.
    const QString fix =
        segmentLength < cellSize
            ? QStringLiteral("Use a segment length of the cell size (--segment-length %1, profile step %2 or less), "
                             "or a DEM with finer cells.")
                  .arg(QString::number(cellSize, 'g', 6), QString::number(cellSize / 10.0, 'g', 6))
            : QStringLiteral("Check that the start cells lie above ground steep enough for rockfall, and where the "
                             "DEM's cells are coarser than a few metres, use a finer DEM that shows the steep parts.");
    return QStringLiteral("%1: the areas, run-outs and travel angles of this run are not meaningful. %2")
        .arg(figure, fix);
}

QString notMeaningfulLine()
{
    return QStringLiteral("Not meaningful: the areas, run-out and travel angles above (see Warnings)");
}

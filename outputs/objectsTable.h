#pragma once

#include <cstdint>
#include <vector>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "raster/outputFormat.h"
#include "engine/objectReach.h"
#include "outputs/objectIntensity.h"

// What a column of the objects' table holds, so that a view can pick the
// columns it shows; the frequencies', hazard levels' and measures' columns
// are all `other`.
enum class objectsColumn
{
    id,
    name,
    cells,
    trajectories,
    share,
    largestReachProbability,
    startCells,
    heightMax,
    heightPercentile95,
    velocityMax,
    velocityPercentile95,
    energyMax,
    energyPercentile95,
    other
};

// The objects' table, formed once for objects.csv, the window and a report:
// each column's header (its unit in brackets) and kind, then one row of
// texts per object, numbers as objects.csv writes them.
struct objectsTable
{
    QStringList headers;
    std::vector<objectsColumn> columns;
    std::vector<QStringList> rows;
};

// The rows in the order of `reports`. The share is of `totalTrajectories`,
// in percent. Reports with frequencies add their columns, the energy
// classes' named by `energyClassLimits`, and the hazard level's when they
// have one; with `intensity` (null: a run without intensity) the largest
// height, velocity and (with energies) energy over each object's reached
// cells and their 95th percentiles come last.
objectsTable objectsTableRows(const std::vector<objectReport>& reports, uint64_t totalTrajectories,
                              const std::vector<double>& energyClassLimits = {},
                              const objectIntensityTable* intensity = nullptr);

// objects.csv as RFC 4180 has it (CRLF line ends; a field with a comma,
// quote or line break quoted, its quotes doubled): the header row, then
// the rows of objectsTableRows.
QByteArray objectsTableText(const std::vector<objectReport>& reports, uint64_t totalTrajectories,
                            const std::vector<double>& energyClassLimits = {},
                            const objectIntensityTable* intensity = nullptr);
QByteArray objectsTableText(const objectsTable& table);

// The lines log.txt gives the objects: the file (and layer, when named), how
// many objects it holds and how many of them a trajectory reached.
QStringList objectsLogLines(const QString& objectsFile, const QString& layerName,
                            const std::vector<objectReport>& reports);

// "Source_share.asc" or "Source_share.tif".
inline QString sourceShareGridName(outputFormat format)
{
    return format == outputFormat::geoTiff ? QStringLiteral("Source_share.tif") : QStringLiteral("Source_share.asc");
}

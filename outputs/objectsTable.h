#pragma once

#include <cstdint>
#include <vector>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "raster/messageSink.h"
#include "raster/outputFiles.h"
#include "raster/outputFormat.h"
#include "engine/objectReach.h"

// objects.csv as RFC 4180 has it (CRLF line ends; a field with a comma,
// quote or line break quoted, its quotes doubled): a header row naming each
// column and its unit, then one row per report in the order given. The share
// is of `totalTrajectories`, in percent. Reports with frequencies add their
// columns, the energy classes' named by `energyClassLimits`, and the
// hazard level's when they have one.
QByteArray objectsTableText(const std::vector<objectReport>& reports, uint64_t totalTrajectories,
                            const std::vector<double>& energyClassLimits = {});

writeOutcome writeObjectsTable(const outputTarget& target, const std::vector<objectReport>& reports,
                               uint64_t totalTrajectories, const std::vector<double>& energyClassLimits,
                               messageSink& sink);

// The lines log.txt gives the objects: the file (and layer, when named), how
// many objects it holds and how many of them a trajectory reached.
QStringList objectsLogLines(const QString& objectsFile, const QString& layerName,
                            const std::vector<objectReport>& reports);

// "Source_share.asc" or "Source_share.tif".
inline QString sourceShareGridName(outputFormat format)
{
    return format == outputFormat::geoTiff ? QStringLiteral("Source_share.tif") : QStringLiteral("Source_share.asc");
}

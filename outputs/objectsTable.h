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
// is of `totalTrajectories`, in percent.
QByteArray objectsTableText(const std::vector<objectReport>& reports, uint64_t totalTrajectories);

writeOutcome writeObjectsTable(const outputTarget& target, const std::vector<objectReport>& reports,
                               uint64_t totalTrajectories, messageSink& sink);

// The lines log.txt gives the objects: the file (and layer, when named), how
// many objects it holds and how many of them a trajectory reached.
QStringList objectsLogLines(const QString& objectsFile, const QString& layerName,
                            const std::vector<objectReport>& reports);

// "Source_share.asc" or "Source_share.tif".
inline QString sourceShareGridName(outputFormat format)
{
    return format == outputFormat::geoTiff ? QStringLiteral("Source_share.tif") : QStringLiteral("Source_share.asc");
}

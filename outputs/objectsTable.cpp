#include "outputs/objectsTable.h"

#include <algorithm>

#include "raster/fixedNotation.h"

namespace {

constexpr int shareDecimals = 3;
constexpr int probabilityDecimals = 1;  // as the Reach_prob grid

QByteArray csvField(const QString& text)
{
    QByteArray field = text.toUtf8();
    if (!field.contains(',') && !field.contains('"') && !field.contains('\n') && !field.contains('\r'))
        return field;
    field.replace("\"", "\"\"");
    return '"' + field + '"';
}

QByteArray integerField(uint64_t value) { return QByteArray::number(static_cast<qulonglong>(value)); }

}  // namespace

QByteArray objectsTableText(const std::vector<objectReport>& reports, uint64_t totalTrajectories)
{
    QByteArray text = "id,name,cells (count),trajectories (count),share of all trajectories (%),"
                      "largest reach probability (%),start cells (count)\r\n";
    for (const objectReport& report : reports) {
        const double share =
            totalTrajectories > 0 ? static_cast<double>(report.trajectories) / totalTrajectories * 100.0 : 0.0;
        text += QByteArray::number(static_cast<qlonglong>(report.id)) + ',' + csvField(report.name) + ','
                + QByteArray::number(static_cast<qlonglong>(report.cells)) + ',' + integerField(report.trajectories)
                + ',' + fixedText(share, shareDecimals) + ','
                + fixedText(report.largestReachProbability, probabilityDecimals) + ',' + integerField(report.startCells)
                + "\r\n";
    }
    return text;
}

writeOutcome writeObjectsTable(const outputTarget& target, const std::vector<objectReport>& reports,
                               uint64_t totalTrajectories, messageSink& sink)
{
    return writeWholeFile(target, objectsTableText(reports, totalTrajectories), sink);
}

QStringList objectsLogLines(const QString& objectsFile, const QString& layerName,
                            const std::vector<objectReport>& reports)
{
    const auto reached = std::count_if(reports.begin(), reports.end(),
                                       [](const objectReport& report) { return report.trajectories > 0; });
    return {QStringLiteral("Objects at risk: %1%2")
                .arg(objectsFile, layerName.isEmpty() ? QString() : QStringLiteral(" (layer %1)").arg(layerName)),
            QStringLiteral("Objects: %1, reached: %2").arg(reports.size()).arg(reached)};
}

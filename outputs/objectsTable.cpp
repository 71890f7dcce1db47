#include "outputs/objectsTable.h"

#include <algorithm>

#include "outputs/csvField.h"
#include "raster/fixedNotation.h"

namespace {

constexpr int shareDecimals = 3;
constexpr int probabilityDecimals = 1;  // as the Reach_prob grid
constexpr int frequencyDigits = 6;      // significant: frequencies span many orders of magnitude

QByteArray integerField(uint64_t value) { return QByteArray::number(static_cast<qulonglong>(value)); }

}  // namespace

QByteArray objectsTableText(const std::vector<objectReport>& reports, uint64_t totalTrajectories,
                            const std::vector<double>& energyClassLimits)
{
    QByteArray text = "id,name,cells (count),trajectories (count),share of all trajectories (%),"
                      "largest reach probability (%),start cells (count)";
    const bool frequencies = !reports.empty() && !reports.front().largestFrequencies.empty();
    const bool hazard = !reports.empty() && reports.front().highestHazardLevel >= 0;
    if (frequencies) {
        text += ",largest frequency (1/year)";
        for (std::size_t k = 0; k + 1 < reports.front().largestFrequencies.size(); ++k)
            text += ",largest frequency at least "
                    + QByteArray::number(k < energyClassLimits.size() ? energyClassLimits[k] : 0.0, 'g', 12)
                    + " kJ (1/year)";
    }
    if (hazard)
        text += ",highest hazard level (0 to 4)";
    const bool measures = !reports.empty() && reports.front().trajectoriesUnprotected >= 0;
    if (measures) {
        text += ",trajectories without measures (count),largest reach probability without measures (%)";
        if (hazard)
            text += ",highest hazard level without measures (0 to 4)";
    }
    text += "\r\n";
    for (const objectReport& report : reports) {
        const double share =
            totalTrajectories > 0 ? static_cast<double>(report.trajectories) / totalTrajectories * 100.0 : 0.0;
        text += QByteArray::number(static_cast<qlonglong>(report.id)) + ',' + csvField(report.name) + ','
                + QByteArray::number(static_cast<qlonglong>(report.cells)) + ',' + integerField(report.trajectories)
                + ',' + fixedText(share, shareDecimals) + ','
                + fixedText(report.largestReachProbability, probabilityDecimals) + ','
                + integerField(report.startCells);
        for (const double frequency : report.largestFrequencies)
            text += ',' + QByteArray::number(frequency, 'g', frequencyDigits);
        if (hazard)
            text += ',' + QByteArray::number(report.highestHazardLevel);
        if (measures) {
            text += ',' + QByteArray::number(static_cast<qlonglong>(report.trajectoriesUnprotected)) + ','
                    + fixedText(report.largestReachProbabilityUnprotected, probabilityDecimals);
            if (hazard)
                text += ',' + QByteArray::number(report.highestHazardLevelUnprotected);
        }
        text += "\r\n";
    }
    return text;
}

writeOutcome writeObjectsTable(const outputTarget& target, const std::vector<objectReport>& reports,
                               uint64_t totalTrajectories, const std::vector<double>& energyClassLimits,
                               messageSink& sink)
{
    return writeWholeFile(target, objectsTableText(reports, totalTrajectories, energyClassLimits), sink);
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

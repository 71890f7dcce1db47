#include "controller/runSummaryLines.h"

#include <array>
#include <cmath>
#include <vector>

#include "map/resultMapPicture.h"
#include "engine/aggregation.h"
#include "engine/runOutStatistics.h"

QStringList reachSummaryLines(const grid<int32_t>& passageCounts, const grid<int32_t>& reachingStartCells,
                              int numberOfSimulations, double cellSize, const runOutStatistics& runOuts)
{
    const QList<legendEntry> classes = resultMapLegend(mapColouring::reachProbability).entries;
    std::vector<uint64_t> cellsInClass(static_cast<std::size_t>(classes.size()), 0);
    for (int r = 0; r < passageCounts.rows(); ++r) {
        const int32_t* passages = passageCounts.row(r);
        const int32_t* reaching = reachingStartCells.row(r);
        for (int c = 0; c < passageCounts.cols(); ++c)
            if (passages[c] > 0)
                ++cellsInClass[static_cast<std::size_t>(
                    reachProbabilityClass(reachProbabilityPercent(passages[c], reaching[c], numberOfSimulations)))];
    }
    const double hectaresPerCell = cellSize * cellSize / 10000.0;
    QStringList lines;
    for (qsizetype i = 0; i < classes.size(); ++i) {
        if (classes[i].upTo <= 0.0)
            continue;  // the unreached cells
        lines << QStringLiteral("Area reached, reach probability %1 (ha): %2")
                     .arg(classes[i].label)
                     .arg(QString::number(
                         static_cast<double>(cellsInClass[static_cast<std::size_t>(i)]) * hectaresPerCell, 'f', 2));
    }
    lines << QStringLiteral("Longest run-out (m): %1").arg(QString::number(runOuts.longestRunOut, 'f', 1));
    const auto angle = [&](double percent) {
        const double value = runOuts.travelAnglePercentile(percent);
        return std::isnan(value) ? QStringLiteral("-") : QString::number(value, 'f', 2);
    };
    lines << QStringLiteral("Travel angle 5th / 50th / 95th percentile (degrees, in bins of 0.1): %1 / %2 / %3")
                 .arg(angle(5.0), angle(50.0), angle(95.0));
    return lines;
}

QStringList parallelismLines(int processes, int threadsPerProcess)
{
    if (processes <= 1)
        return {QStringLiteral("Threads: %1").arg(threadsPerProcess)};
    return {QStringLiteral("Processes: %1").arg(processes),
            QStringLiteral("Threads per process: %1").arg(threadsPerProcess)};
}

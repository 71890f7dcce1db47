#include "controller/hazardSummary.h"

#include <array>
#include <vector>

#include "map/runResultGrids.h"

namespace {
const char* const levelNames[] = {"not reached", "residual", "yellow", "blue", "red"};
}  // namespace

QStringList hazardSummaryLines(const runResultGrids& grids)
{
    const hazardSettings& hazard = grids.hazard;
    if (grids.frequencies.atLeast.size() != 2)
        return {};
    std::array<qulonglong, 5> cells{};
    std::vector<hazardCell> row(static_cast<std::size_t>(grids.header.ncols));
    for (int r = 0; r < grids.header.nrows; ++r) {
        hazardRow(hazard, grids.frequencies, grids.passageCounts, grids.numberOfSimulations, r, row.data());
        for (const hazardCell& cell : row)
            ++cells[cell.level];
    }
    QStringList lines;
    const double hectaresPerCell = static_cast<double>(grids.header.cellsize) * grids.header.cellsize / 10000.0;
    for (int level = 4; level >= 1; --level)
        lines << QStringLiteral("Hazard %1 (ha): %2")
                     .arg(QLatin1String(levelNames[level]))
                     .arg(QString::number(static_cast<double>(cells[static_cast<std::size_t>(level)]) * hectaresPerCell,
                                          'f', 4));
    return lines;
}

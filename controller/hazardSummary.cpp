#include "controller/hazardSummary.h"

#include <array>
#include <algorithm>

#include "map/runResultGrids.h"

QStringList hazardSummaryLines(const runResultGrids& grids)
{
    const grid<uint8_t>& levels = grids.hazardLevels;
    std::array<qulonglong, 5> cells{};
    for (std::size_t k = 0; k < levels.size(); ++k)
        ++cells[std::min<std::size_t>(levels.data()[k], 4)];
    QStringList lines;
    const double hectaresPerCell = static_cast<double>(grids.header.cellsize) * grids.header.cellsize / 10000.0;
    for (int level = 4; level >= 1; --level)
        lines << QStringLiteral("Hazard %1 (ha): %2")
                     .arg(QLatin1String(hazardLevelName(static_cast<uint8_t>(level))))
                     .arg(QString::number(static_cast<double>(cells[static_cast<std::size_t>(level)]) * hectaresPerCell,
                                          'f', 4));
    return lines;
}

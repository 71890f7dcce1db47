#include "controller/intensitySummary.h"

#include <algorithm>

namespace {

QString limitText(double limit) { return QString::number(limit, 'g', 12); }

// "below 30 kJ", "from 30 to 300 kJ", "from 300 kJ".
QString classText(const std::vector<double>& limits, std::size_t energyClass)
{
    if (limits.empty())
        return QStringLiteral("reached");
    if (energyClass == 0)
        return QStringLiteral("below %1 kJ").arg(limitText(limits.front()));
    if (energyClass == limits.size())
        return QStringLiteral("from %1 kJ").arg(limitText(limits.back()));
    return QStringLiteral("from %1 to %2 kJ").arg(limitText(limits[energyClass - 1]), limitText(limits[energyClass]));
}

}  // namespace

std::vector<std::uint64_t> energyClassCellCounts(const intensitySettings& settings, const intensityGrids& grids,
                                                 const grid<int32_t>& passageCounts)
{
    const std::vector<double>& limits = settings.energyClassLimits;
    std::vector<std::uint64_t> counts(limits.size() + 1, 0);
    std::vector<double> energies(static_cast<std::size_t>(std::max(grids.heightMax.cols(), 0)));
    for (int r = 0; r < grids.heightMax.rows(); ++r) {
        energyMaxRow(grids, settings, r, energies.data());
        const int32_t* passages = passageCounts.row(r);
        for (int c = 0; c < grids.heightMax.cols(); ++c)
            if (passages[c] > 0)
                ++counts[std::upper_bound(limits.begin(), limits.end(), energies[c]) - limits.begin()];
    }
    return counts;
}

QStringList intensitySummaryLines(const intensitySettings& settings, const intensityGrids& grids,
                                  const grid<int32_t>& passageCounts, double cellSize)
{
    if (!settings.enabled || grids.empty())
        return {};
    const double* heights = grids.heightMax.data();
    const double largest =
        grids.heightMax.size() == 0 ? 0.0 : *std::max_element(heights, heights + grids.heightMax.size());
    if (!settings.energiesWanted())
        return {QStringLiteral("Largest energy-line height (m): %1").arg(QString::number(largest, 'f', 2))};
    const double* energies = grids.energyMax.data();
    const double largestEnergy = grids.energyMax.empty()
                                     ? energyOfHeight(settings, largest)
                                     : *std::max_element(energies, energies + grids.energyMax.size());
    QStringList lines{QStringLiteral("Largest energy (kJ): %1").arg(QString::number(largestEnergy, 'f', 1))};
    const double hectaresPerCell = cellSize * cellSize / 10000.0;
    const std::vector<std::uint64_t> counts = energyClassCellCounts(settings, grids, passageCounts);
    for (std::size_t k = 0; k < counts.size(); ++k)
        lines << QStringLiteral("Area %1 (ha): %2")
                     .arg(classText(settings.energyClassLimits, k),
                          QString::number(static_cast<double>(counts[k]) * hectaresPerCell, 'f', 4));
    return lines;
}

#include "outputs/resultGridStyles.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "map/hazardColours.h"
#include "map/resultMapPicture.h"

namespace {

// The legend's entries as stops, their percentages scaled into the grid's
// unit; the unreached cells (0) are left transparent by the style.
layerStyle styleOfLegend(mapColouring colouring, layerStyle::ramp kind, double unitsPerPercent,
                         const std::vector<double>& energyClassLimits = {})
{
    layerStyle style;
    style.kind = kind;
    for (const legendEntry& entry : resultMapLegend(colouring, energyClassLimits).entries)
        if (entry.upTo > 0.0)
            style.stops.push_back({entry.upTo * unitsPerPercent, entry.colour, entry.label});
    return style;
}

}  // namespace

layerStyle reachProbabilityStyle(const resultStyleInputs&)
{
    return styleOfLegend(mapColouring::reachProbability, layerStyle::ramp::classes, 1.0);
}

layerStyle passageCountStyle(const resultStyleInputs& run)
{
    const double trajectories = static_cast<double>(std::max<uint64_t>(run.trajectories, 1));
    return styleOfLegend(mapColouring::passageShare, layerStyle::ramp::gradient, trajectories / 100.0);
}

layerStyle energyLineHeightStyle(const resultStyleInputs&)
{
    return styleOfLegend(mapColouring::energyLineHeight, layerStyle::ramp::classes, 1.0);
}

layerStyle energyClassStyle(const resultStyleInputs& run)
{
    return styleOfLegend(mapColouring::energyClass, layerStyle::ramp::classes, 1.0, run.intensity.energyClassLimits);
}

layerStyle frequencyStyle(const resultStyleInputs& run)
{
    // A class ends just under the next limit, as a frequency on a limit counts in the higher class.
    const auto below = [](double years) { return std::nextafter(1.0 / years, 0.0); };
    const std::array<double, 3>& t = run.returnPeriods;
    const auto rate = [](double years) { return QStringLiteral("1/%1").arg(years, 0, 'g', 12); };
    layerStyle style;
    style.stops = {{below(t[2]), hazardColours::veryLow, QStringLiteral("very low, below %1 per year").arg(rate(t[2]))},
                   {below(t[1]), hazardColours::low, QStringLiteral("low, %1 to %2").arg(rate(t[2]), rate(t[1]))},
                   {below(t[0]), hazardColours::medium, QStringLiteral("medium, %1 to %2").arg(rate(t[1]), rate(t[0]))},
                   {1e12, hazardColours::high, QStringLiteral("high, %1 per year and more").arg(rate(t[0]))}};
    return style;
}

layerStyle hazardLevelStyle(const resultStyleInputs&)
{
    layerStyle style;
    for (const hazardLegendEntry& entry : hazardLegend())
        style.stops.push_back({static_cast<double>(entry.level), entry.colour, entry.label});
    return style;
}

layerStyle velocityStyle(const resultStyleInputs&)
{
    // The reach probability's six colours from light to dark; a block of 1 m3 at 2700 kg/m3 has
    // 34 kJ at 5 m/s and 304 kJ at 15 m/s (E = rho V v^2 / 2), so the classes span the energy classes.
    static constexpr std::array<double, 6> upperBounds = {5.0, 10.0, 15.0, 20.0, 30.0,
                                                          std::numeric_limits<double>::infinity()};
    const QList<legendEntry> ramp = resultMapLegend(mapColouring::reachProbability).entries;
    layerStyle style;
    double lower = 0.0;
    for (std::size_t k = 0; k < upperBounds.size(); ++k) {
        const QString label = k + 1 < upperBounds.size()
                                  ? QStringLiteral("%1 – %2 m/s").arg(lower).arg(upperBounds[k])
                                  : QStringLiteral("above %1 m/s").arg(lower);
        style.stops.push_back({upperBounds[k], ramp[static_cast<int>(k)].colour, label});
        lower = upperBounds[k];
    }
    return style;
}

layerStyle hazardMatrixCellStyle(const resultStyleInputs& run)
{
    static const char* const intensities[] = {"strong", "medium", "weak"};
    static const char* const probabilities[] = {"high", "medium", "low"};
    layerStyle style;
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column) {
            // A matrix value v (1 yellow, 2 blue, 3 red) is the hazard level v + 1.
            const int level = run.hazardMatrix[row][column] + 1;
            const auto entry = std::find_if(hazardLegend().begin(), hazardLegend().end(),
                                            [level](const hazardLegendEntry& e) { return e.level == level; });
            const uint32_t colour = entry != hazardLegend().end() ? entry->colour : hazardColours::residual;
            const QString levelName = entry != hazardLegend().end() ? entry->label : QStringLiteral("no level");
            style.stops.push_back({static_cast<double>(row * 3 + column + 1), colour,
                                   QStringLiteral("%1: %2 intensity, %3 probability – %4")
                                       .arg(row * 3 + column + 1)
                                       .arg(QLatin1String(intensities[row]), QLatin1String(probabilities[column]),
                                            levelName)});
        }
    return style;
}

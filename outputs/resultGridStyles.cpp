#include "outputs/resultGridStyles.h"

#include <algorithm>
#include <cmath>

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

#include "outputs/resultGridStyles.h"

#include <algorithm>

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

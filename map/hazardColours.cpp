#include "map/hazardColours.h"

const std::vector<hazardLegendEntry>& hazardLegend()
{
    static const std::vector<hazardLegendEntry> entries = {
        {1, hazardColours::residual, QStringLiteral("residual hazard (yellow-white)")},
        {2, hazardColours::yellow, QStringLiteral("low hazard (yellow)")},
        {3, hazardColours::blue, QStringLiteral("medium hazard (blue)")},
        {4, hazardColours::red, QStringLiteral("high hazard (red)")},
    };
    return entries;
}

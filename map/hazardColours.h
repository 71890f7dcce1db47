#pragma once

#include <cstdint>
#include <vector>

#include <QString>

// The colours of hazard maps in Swiss practice (red, blue, yellow, and
// yellow-white hatching for residual hazard), and of the frequencies'
// probability classes, as 0xAARRGGBB.
namespace hazardColours {
constexpr uint32_t residual = 0xfffff3b0;  // the pale yellow a raster shows for the hatching
constexpr uint32_t yellow = 0xffffe600;
constexpr uint32_t blue = 0xff1e64ff;
constexpr uint32_t red = 0xffe60000;

constexpr uint32_t veryLow = 0xfffff3b0;
constexpr uint32_t low = 0xffffe600;
constexpr uint32_t medium = 0xffff9600;
constexpr uint32_t high = 0xffe60000;
}  // namespace hazardColours

struct hazardLegendEntry
{
    int level;  // as Hazard_level holds it
    uint32_t colour;
    QString label;
};

// Residual to red, the order of Hazard_level's values.
const std::vector<hazardLegendEntry>& hazardLegend();

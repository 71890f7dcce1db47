#include "raster/featureCells.h"

#include <algorithm>

#include <ogr_geometry.h>

namespace {
std::vector<const OGRGeometry*> pointersOf(const std::vector<geometryPointer>& geometries)
{
    std::vector<const OGRGeometry*> pointers;
    for (const geometryPointer& geometry : geometries)
        pointers.push_back(geometry.get());
    return pointers;
}
}  // namespace

cellWindow windowOfFeature(const layerFeature& feature, const layerRasterizer& rasterizer)
{
    OGREnvelope extent;
    for (const auto* parts : {&feature.areas, &feature.tracks})
        for (const geometryPointer& part : *parts) {
            OGREnvelope envelope;
            part->getEnvelope(&envelope);
            extent.Merge(envelope);
        }
    return rasterizer.windowOf(extent.MinX, extent.MinY, extent.MaxX, extent.MaxY);
}

bool appendFeatureCells(const layerFeature& feature, const cellWindow& window, const layerRasterizer& rasterizer,
                        int ncols, bool touchWhenEmpty, std::vector<uint8_t>& mask, std::vector<std::size_t>& cells)
{
    if (window.empty())
        return true;
    const std::size_t size = static_cast<std::size_t>(window.rows) * static_cast<std::size_t>(window.cols);
    if (mask.size() < size)
        mask.resize(size);
    std::fill_n(mask.begin(), size, uint8_t(0));
    const std::size_t before = cells.size();
    const auto collect = [&] {
        for (int r = 0; r < window.rows; ++r) {
            const uint8_t* row = mask.data() + static_cast<std::size_t>(r) * window.cols;
            const std::size_t rowStart =
                static_cast<std::size_t>(window.row0 + r) * static_cast<std::size_t>(ncols) + window.col0;
            for (int c = 0; c < window.cols; ++c)
                if (row[c] != 0)
                    cells.push_back(rowStart + c);
        }
    };
    const std::vector<const OGRGeometry*> areas = pointersOf(feature.areas);
    const std::vector<const OGRGeometry*> tracks = pointersOf(feature.tracks);
    if (!rasterizer.burn(areas, tracks, window, mask.data()))
        return false;
    collect();
    if (touchWhenEmpty && cells.size() == before && !areas.empty()) {
        if (!rasterizer.burn({}, areas, window, mask.data()))
            return false;
        collect();
    }
    return true;
}

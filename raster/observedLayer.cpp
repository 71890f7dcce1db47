#include "raster/observedLayer.h"

#include <algorithm>

#include <ogr_geometry.h>

#include "raster/layerRasterizer.h"
#include "raster/vectorStartCells.h"

std::optional<observedCells> readObservedLayer(const vectorLayerSource& source, const QString& role, bool polygonsOnly,
                                               const rasterHeader& dem, const double geoTransform[6],
                                               const coordinateSystem& demSystem, messageSink& sink)
{
    const QString what = QStringLiteral("%1 layer %2").arg(role, source.file);
    const std::optional<layerFeatures> layer = readLayerFeatures(source, demSystem, role, QString(), sink);
    if (!layer || layerMissesGrid(*layer, dem, geoTransform, what, sink))
        return std::nullopt;
    std::vector<const OGRGeometry*> areas;
    std::vector<const OGRGeometry*> points;
    for (const layerFeature& feature : layer->features) {
        for (const geometryPointer& area : feature.areas)
            areas.push_back(area.get());
        for (const geometryPointer& track : feature.tracks) {
            if (wkbFlatten(track->getGeometryType()) != wkbPoint || polygonsOnly) {
                sink.error(QStringLiteral("Feature %1 of the %2 is a %3: give %4.")
                               .arg(feature.id)
                               .arg(what, QString::fromUtf8(OGRGeometryTypeToName(track->getGeometryType())).toLower(),
                                    polygonsOnly ? QStringLiteral("polygons")
                                                 : QStringLiteral("polygons (the mapped reach) or points (observed "
                                                                  "blocks or impacts)")));
                return std::nullopt;
            }
            points.push_back(track.get());
        }
    }
    const layerRasterizer rasterizer(dem.nrows, dem.ncols, geoTransform);
    observedCells result;
    result.area.assign(dem.nrows, dem.ncols, 0);
    if (!rasterizer.burn(areas, {}, rasterizer.wholeGrid(), result.area.data())) {
        sink.error(QStringLiteral("The %1 could not be placed on the DEM's grid.").arg(what));
        return std::nullopt;
    }
    result.areaCells =
        static_cast<std::size_t>(std::count(result.area.data(), result.area.data() + result.area.size(), 1));
    // Each point on its own: two blocks in one cell are two observations.
    for (const OGRGeometry* point : points) {
        const OGRPoint& at = *point->toPoint();
        const cellWindow window = rasterizer.windowOf(at.getX(), at.getY(), at.getX(), at.getY());
        if (window.empty())
            continue;
        std::vector<uint8_t> mask(static_cast<std::size_t>(window.rows) * window.cols, 0);
        if (!rasterizer.burn({}, {point}, window, mask.data()))
            continue;
        const auto hit = std::find(mask.begin(), mask.end(), 1);
        if (hit == mask.end())
            continue;
        const auto offset = static_cast<int>(hit - mask.begin());
        result.points.push_back(static_cast<std::size_t>(window.row0 + offset / window.cols) * dem.ncols + window.col0
                                + offset % window.cols);
    }
    if (result.areaCells == 0 && result.points.empty()) {
        sink.error(QStringLiteral("The %1 takes no cell of the DEM: its polygons enclose no cell centre and its points "
                                  "lie outside the grid.")
                       .arg(what));
        return std::nullopt;
    }
    return result;
}

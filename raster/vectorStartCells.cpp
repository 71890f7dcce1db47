#include "raster/vectorStartCells.h"

#include <algorithm>

#include <ogr_geometry.h>

#include "raster/featureCells.h"
#include "raster/grid.h"
#include "raster/layerRasterizer.h"

bool layerMissesGrid(const layerFeatures& layer, const rasterHeader& dem, const double geoTransform[6],
                     const QString& what, messageSink& sink)
{
    const double west = geoTransform[0];
    const double north = geoTransform[3];
    const double east = west + dem.ncols * geoTransform[1];
    const double south = north + dem.nrows * geoTransform[5];
    if (layer.maxX >= west && layer.minX <= east && layer.maxY >= south && layer.minY <= north)
        return false;
    sink.error(QStringLiteral("The %1 lies wholly outside the DEM: it spans x %2 to %3, y %4 to %5, the DEM x %6 to "
                              "%7, y %8 to %9. Check that the layer belongs to this DEM and that its coordinate "
                              "system is set.")
                   .arg(what)
                   .arg(layer.minX, 0, 'f', 2)
                   .arg(layer.maxX, 0, 'f', 2)
                   .arg(layer.minY, 0, 'f', 2)
                   .arg(layer.maxY, 0, 'f', 2)
                   .arg(west, 0, 'f', 2)
                   .arg(east, 0, 'f', 2)
                   .arg(south, 0, 'f', 2)
                   .arg(north, 0, 'f', 2));
    return true;
}

namespace {
QString startLayerName(const vectorLayerSource& source)
{
    return QStringLiteral("start cells layer %1").arg(source.file);
}

std::optional<std::vector<startCell>> startCellsOfLayer(const layerFeatures& layer, const rasterHeader& dem,
                                                        const double geoTransform[6], const QString& what,
                                                        messageSink& sink)
{
    std::vector<const OGRGeometry*> areas;
    std::vector<const OGRGeometry*> tracks;
    for (const layerFeature& feature : layer.features) {
        for (const geometryPointer& area : feature.areas)
            areas.push_back(area.get());
        for (const geometryPointer& track : feature.tracks)
            tracks.push_back(track.get());
    }
    const layerRasterizer rasterizer(dem.nrows, dem.ncols, geoTransform);
    grid<uint8_t> mask(dem.nrows, dem.ncols, 0);
    if (!rasterizer.burn(areas, tracks, rasterizer.wholeGrid(), mask.data())) {
        sink.error(QStringLiteral("The %1 could not be placed on the DEM's grid.").arg(what));
        return std::nullopt;
    }
    std::vector<startCell> cells;
    cells.reserve(static_cast<std::size_t>(mask.size() - std::count(mask.data(), mask.data() + mask.size(), 0)));
    for (int r = 0; r < dem.nrows; ++r) {
        const uint8_t* row = mask.row(r);
        for (int c = 0; c < dem.ncols; ++c)
            if (row[c] != 0)
                cells.push_back({r, c});
    }
    if (cells.empty()) {
        sink.error(QStringLiteral("The %1 gives no start cell: its polygons enclose no cell centre and its lines and "
                                  "points touch no cell of the DEM.")
                       .arg(what));
        return std::nullopt;
    }
    return cells;
}

// Each feature's cells again, one feature at a time, their values handed to
// the start cells among them (all of them: the list is the union of the
// features' cells, by the same rule).
bool spreadFeatureValues(const layerFeatures& layer, const rasterHeader& dem, const double geoTransform[6],
                         const std::vector<startCellField>& fields, startCellsWithValues& result)
{
    const layerRasterizer rasterizer(dem.nrows, dem.ncols, geoTransform);
    std::vector<std::size_t> flat;
    flat.reserve(result.cells.size());
    for (const startCell& cell : result.cells)
        flat.push_back(static_cast<std::size_t>(cell.row) * static_cast<std::size_t>(dem.ncols) + cell.col);
    result.values.assign(fields.size(), std::vector<double>(result.cells.size(), 0.0));
    const double hectaresPerCell = static_cast<double>(dem.cellsize) * static_cast<double>(dem.cellsize) / 10000.0;
    std::vector<uint8_t> mask;
    std::vector<std::size_t> cells;
    for (const layerFeature& feature : layer.features) {
        cells.clear();
        if (!appendFeatureCells(feature, windowOfFeature(feature, rasterizer), rasterizer, dem.ncols, false, mask,
                                cells))
            return false;
        if (cells.empty()) {
            ++result.featuresWithoutCells;
            continue;
        }
        for (const std::size_t cell : cells) {
            const auto found = std::lower_bound(flat.begin(), flat.end(), cell);
            if (found == flat.end() || *found != cell)
                continue;
            const auto index = static_cast<std::size_t>(found - flat.begin());
            for (std::size_t k = 0; k < fields.size(); ++k) {
                const double value = feature.numbers[k];
                double& target = result.values[k][index];
                switch (fields[k].spread) {
                case featureValueSpread::sharedOut:
                    target += value / static_cast<double>(cells.size());
                    break;
                case featureValueSpread::perHectare:
                    target += value * hectaresPerCell;
                    break;
                case featureValueSpread::largest:
                    target = std::max(target, value);
                    break;
                }
            }
        }
    }
    return true;
}
}  // namespace

std::optional<std::vector<startCell>> readStartCellsLayer(const vectorLayerSource& source, const rasterHeader& dem,
                                                          const double geoTransform[6],
                                                          const coordinateSystem& demSystem, messageSink& sink)
{
    std::optional<startCellsWithValues> read = readStartCellsLayer(source, dem, geoTransform, demSystem, {}, sink);
    if (!read)
        return std::nullopt;
    return std::move(read->cells);
}

std::optional<startCellsWithValues> readStartCellsLayer(const vectorLayerSource& source, const rasterHeader& dem,
                                                        const double geoTransform[6], const coordinateSystem& demSystem,
                                                        const std::vector<startCellField>& fields, messageSink& sink)
{
    const QString what = startLayerName(source);
    QStringList names;
    for (const startCellField& field : fields)
        names << field.name;
    const std::optional<layerFeatures> layer =
        readLayerFeatures(source, demSystem, QStringLiteral("start cells"), QString(), sink, names);
    if (!layer || layerMissesGrid(*layer, dem, geoTransform, what, sink))
        return std::nullopt;
    std::optional<std::vector<startCell>> cells = startCellsOfLayer(*layer, dem, geoTransform, what, sink);
    if (!cells)
        return std::nullopt;
    startCellsWithValues result;
    result.cells = std::move(*cells);
    if (!fields.empty() && !spreadFeatureValues(*layer, dem, geoTransform, fields, result)) {
        sink.error(QStringLiteral("The %1 could not be placed on the DEM's grid.").arg(what));
        return std::nullopt;
    }
    return result;
}

#include "raster/protectionLayers.h"

#include <algorithm>
#include <cmath>

#include <ogr_geometry.h>

#include "raster/featureCells.h"
#include "raster/layerRasterizer.h"
#include "raster/vectorStartCells.h"

std::optional<grid<float>> readForestLayer(const vectorLayerSource& source, const QString& field,
                                           const rasterHeader& dem, const double geoTransform[6],
                                           const coordinateSystem& demSystem, messageSink& sink)
{
    const QString what = QStringLiteral("forest layer %1").arg(source.file);
    const std::optional<layerFeatures> layer =
        readLayerFeatures(source, demSystem, QStringLiteral("forest"), QString(), sink, {field});
    if (!layer || layerMissesGrid(*layer, dem, geoTransform, what, sink))
        return std::nullopt;
    const layerRasterizer rasterizer(dem.nrows, dem.ncols, geoTransform);
    grid<float> forest(dem.nrows, dem.ncols, 0.0f);
    std::vector<uint8_t> mask;
    std::vector<std::size_t> cells;
    for (const layerFeature& feature : layer->features) {
        const double index = feature.numbers.front();
        if (index > 1.0) {
            sink.error(QStringLiteral("Feature %1 of the %2 has the forest index %3 in field \"%4\": give indices "
                                      "from 0 (no forest) to 1 (dense).")
                           .arg(feature.id)
                           .arg(what)
                           .arg(index)
                           .arg(field));
            return std::nullopt;
        }
        cells.clear();
        if (!appendFeatureCells(feature, windowOfFeature(feature, rasterizer), rasterizer, dem.ncols, false, mask,
                                cells)) {
            sink.error(QStringLiteral("The %1 could not be placed on the DEM's grid.").arg(what));
            return std::nullopt;
        }
        for (const std::size_t cell : cells)
            forest.data()[cell] = std::max(forest.data()[cell], static_cast<float>(index));
    }
    return forest;
}

bool checkForestIndices(grid<float>& values, float nodataValue, const QString& file, messageSink& sink)
{
    for (int r = 0; r < values.rows(); ++r) {
        float* row = values.row(r);
        for (int c = 0; c < values.cols(); ++c) {
            if (row[c] == nodataValue || std::isnan(row[c])) {
                row[c] = 0.0f;
            } else if (!(row[c] >= 0.0f && row[c] <= 1.0f)) {
                sink.error(QStringLiteral("The forest raster %1 holds %2 at row %3, column %4: forest indices lie "
                                          "from 0 (no forest) to 1 (dense).")
                               .arg(file)
                               .arg(static_cast<double>(row[c]), 0, 'g', 9)
                               .arg(r + 1)
                               .arg(c + 1));
                return false;
            }
        }
    }
    return true;
}

namespace {
void appendLines(const OGRGeometry& geometry, std::vector<std::vector<std::pair<double, double>>>& lines)
{
    const OGRLineString& line = *geometry.toLineString();
    std::vector<std::pair<double, double>> vertices;
    for (int k = 0; k < line.getNumPoints(); ++k)
        vertices.emplace_back(line.getX(k), line.getY(k));
    lines.push_back(std::move(vertices));
}
}  // namespace

std::optional<std::vector<barrierLine>> readBarriersLayer(const vectorLayerSource& source,
                                                          const QString& capacityField, const rasterHeader& dem,
                                                          const double geoTransform[6],
                                                          const coordinateSystem& demSystem, messageSink& sink)
{
    const QString what = QStringLiteral("barriers layer %1").arg(source.file);
    const std::optional<layerFeatures> layer =
        readLayerFeatures(source, demSystem, QStringLiteral("barriers"), QString(), sink, {capacityField});
    if (!layer)
        return std::nullopt;
    const double west = geoTransform[0];
    const double north = geoTransform[3];
    const double east = west + dem.ncols * geoTransform[1];
    const double south = north + dem.nrows * geoTransform[5];
    std::vector<barrierLine> barriers;
    for (const layerFeature& feature : layer->features) {
        const auto refuse = [&](const QString& problem) {
            sink.error(QStringLiteral("Barrier %1 of the %2 %3.").arg(feature.id).arg(what, problem));
            return std::nullopt;
        };
        barrierLine barrier{feature.id, feature.name, feature.numbers.front(), {}};
        if (!(barrier.capacity > 0.0))
            return refuse(QStringLiteral("has the capacity %1 in field \"%2\": give the energy it stops, above 0 kJ")
                              .arg(barrier.capacity)
                              .arg(capacityField));
        if (!feature.areas.empty())
            return refuse(QStringLiteral("is a polygon: give barriers as lines"));
        for (const geometryPointer& track : feature.tracks) {
            if (wkbFlatten(track->getGeometryType()) != wkbLineString)
                return refuse(QStringLiteral("is a point: give barriers as lines"));
            OGREnvelope envelope;
            track->getEnvelope(&envelope);
            if (envelope.MinX < west || envelope.MaxX > east || envelope.MinY < south || envelope.MaxY > north)
                return refuse(QStringLiteral("reaches beyond the DEM (x %1 to %2, y %3 to %4): cut it to the DEM")
                                  .arg(west, 0, 'f', 2)
                                  .arg(east, 0, 'f', 2)
                                  .arg(south, 0, 'f', 2)
                                  .arg(north, 0, 'f', 2));
            appendLines(*track, barrier.lines);
        }
        barriers.push_back(std::move(barrier));
    }
    return barriers;
}

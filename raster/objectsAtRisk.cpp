#include "raster/objectsAtRisk.h"

#include <algorithm>
#include <cmath>
#include <map>

#include <ogr_geometry.h>

#include "raster/layerRasterizer.h"
#include "raster/vectorStartCells.h"

objectCells::objectCells(std::vector<objectAtRisk> objects, std::vector<std::pair<std::size_t, uint32_t>> memberships)
    : objects_(std::move(objects))
{
    std::sort(memberships.begin(), memberships.end());
    memberships.erase(std::unique(memberships.begin(), memberships.end()), memberships.end());
    for (objectAtRisk& object : objects_)
        object.cells = 0;
    objectIndices_.reserve(memberships.size());
    for (const auto& [cell, object] : memberships) {
        if (cells_.empty() || cells_.back() != cell) {
            if (!cells_.empty())
                offsets_.push_back(objectIndices_.size());
            cells_.push_back(cell);
        }
        objectIndices_.push_back(object);
        ++objects_[object].cells;
    }
    if (!cells_.empty())
        offsets_.push_back(objectIndices_.size());
}

namespace {

std::vector<const OGRGeometry*> pointersOf(const std::vector<geometryPointer>& geometries)
{
    std::vector<const OGRGeometry*> pointers;
    for (const geometryPointer& geometry : geometries)
        pointers.push_back(geometry.get());
    return pointers;
}

// The cells one feature takes, as flat indices of the DEM's grid.
bool cellsOfFeature(const layerFeature& feature, const layerRasterizer& rasterizer, int ncols,
                    std::vector<std::size_t>& cells)
{
    OGREnvelope extent;
    for (const auto* parts : {&feature.areas, &feature.tracks})
        for (const geometryPointer& part : *parts) {
            OGREnvelope envelope;
            part->getEnvelope(&envelope);
            extent.Merge(envelope);
        }
    cells.clear();
    const cellWindow window = rasterizer.windowOf(extent.MinX, extent.MinY, extent.MaxX, extent.MaxY);
    if (window.empty())
        return true;
    std::vector<uint8_t> mask(static_cast<std::size_t>(window.rows) * static_cast<std::size_t>(window.cols), 0);
    const auto collect = [&] {
        for (int r = 0; r < window.rows; ++r)
            for (int c = 0; c < window.cols; ++c)
                if (mask[static_cast<std::size_t>(r) * window.cols + c] != 0)
                    cells.push_back(static_cast<std::size_t>(window.row0 + r) * static_cast<std::size_t>(ncols)
                                    + static_cast<std::size_t>(window.col0 + c));
    };
    const std::vector<const OGRGeometry*> areas = pointersOf(feature.areas);
    const std::vector<const OGRGeometry*> tracks = pointersOf(feature.tracks);
    if (!rasterizer.burn(areas, tracks, window, mask.data()))
        return false;
    collect();
    // A polygon between cell centres takes the cells it touches instead.
    if (cells.empty() && !areas.empty()) {
        if (!rasterizer.burn({}, areas, window, mask.data()))
            return false;
        collect();
    }
    return true;
}

}  // namespace

std::optional<objectCells> readObjectsLayer(const vectorLayerSource& source, const QString& idField,
                                            const rasterHeader& dem, const double geoTransform[6],
                                            const coordinateSystem& demSystem, messageSink& sink)
{
    const QString what = QStringLiteral("objects layer %1").arg(source.file);
    const std::optional<layerFeatures> layer =
        readLayerFeatures(source, demSystem, QStringLiteral("objects"), idField, sink);
    if (!layer || layerMissesGrid(*layer, dem, geoTransform, what, sink))
        return std::nullopt;

    std::map<int64_t, QString> names;
    for (const layerFeature& feature : layer->features) {
        QString& name = names[feature.id];
        if (name.isEmpty())
            name = feature.name;
    }
    std::vector<objectAtRisk> objects;
    std::map<int64_t, uint32_t> indexOfId;
    for (const auto& [id, name] : names) {
        indexOfId.emplace(id, static_cast<uint32_t>(objects.size()));
        objects.push_back({id, name, 0});
    }

    const layerRasterizer rasterizer(dem.nrows, dem.ncols, geoTransform);
    std::vector<std::pair<std::size_t, uint32_t>> memberships;
    std::vector<std::size_t> cells;
    for (const layerFeature& feature : layer->features) {
        if (!cellsOfFeature(feature, rasterizer, dem.ncols, cells)) {
            sink.error(
                QStringLiteral("Object %1 of the %2 could not be placed on the DEM's grid.").arg(feature.id).arg(what));
            return std::nullopt;
        }
        const uint32_t object = indexOfId.at(feature.id);
        for (const std::size_t cell : cells)
            memberships.emplace_back(cell, object);
    }
    objectCells result(std::move(objects), std::move(memberships));
    const auto missing = std::count_if(result.objects().begin(), result.objects().end(),
                                       [](const objectAtRisk& object) { return object.cells == 0; });
    if (missing == static_cast<long>(result.objects().size())) {
        sink.error(QStringLiteral("The %1 lies on no cell of the DEM.").arg(what));
        return std::nullopt;
    }
    if (missing > 0)
        sink.warning(QStringLiteral("%1 of the %2 objects in the %3 lie outside the DEM; they are listed with no "
                                    "cells.")
                         .arg(missing)
                         .arg(result.objects().size())
                         .arg(what));
    return result;
}

std::optional<objectCells> objectsFromGrid(const elevationGrid& values, float nodataValue, const QString& file,
                                           messageSink& sink)
{
    constexpr float largestId = 16777216.0f;  // 2^24: the float's last exact neighbour of a whole number
    std::map<int64_t, uint32_t> indexOfId;
    std::vector<std::pair<std::size_t, int64_t>> cellIds;
    for (int r = 0; r < values.rows(); ++r) {
        const float* row = values.row(r);
        for (int c = 0; c < values.cols(); ++c) {
            const float value = row[c];
            if (!(value > 0.0f) || value == nodataValue)
                continue;
            if (value != std::floor(value) || value > largestId) {
                sink.error(QStringLiteral("The objects raster %1 holds %2 at row %3, column %4: object ids must be "
                                          "whole numbers from 1 to 16777216.")
                               .arg(file)
                               .arg(static_cast<double>(value), 0, 'g', 9)
                               .arg(r + 1)
                               .arg(c + 1));
                return std::nullopt;
            }
            const auto id = static_cast<int64_t>(value);
            indexOfId.emplace(id, 0);
            cellIds.emplace_back(values.index(r, c), id);
        }
    }
    if (cellIds.empty()) {
        sink.error(QStringLiteral("The objects raster %1 holds no object: no cell has a value above 0.").arg(file));
        return std::nullopt;
    }
    std::vector<objectAtRisk> objects;
    for (auto& [id, index] : indexOfId) {
        index = static_cast<uint32_t>(objects.size());
        objects.push_back({id, QString(), 0});
    }
    std::vector<std::pair<std::size_t, uint32_t>> memberships;
    memberships.reserve(cellIds.size());
    for (const auto& [cell, id] : cellIds)
        memberships.emplace_back(cell, indexOfId.at(id));
    return objectCells(std::move(objects), std::move(memberships));
}

#include "raster/objectsAtRisk.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <type_traits>
#include <utility>

#include <ogr_geometry.h>

#include "raster/featureCells.h"
#include "raster/layerRasterizer.h"
#include "raster/objectOutlines.h"
#include "raster/vectorStartCells.h"

namespace {

// Sorts keys below 2^bits by least-significant-digit radix passes of at
// most 14 bits: millions of memberships sort in two to four linear passes
// instead of n log n comparisons.
void radixSort(std::vector<uint64_t>& keys, int bits)
{
    const int passes = std::max(1, (bits + 13) / 14);
    const int digitBits = (bits + passes - 1) / passes;
    const uint64_t digitMask = (uint64_t(1) << digitBits) - 1;
    std::vector<uint64_t> spare(keys.size());
    std::vector<std::size_t> starts(std::size_t(1) << digitBits);
    for (int shift = 0; shift < bits; shift += digitBits) {
        std::fill(starts.begin(), starts.end(), 0);
        for (const uint64_t key : keys)
            ++starts[(key >> shift) & digitMask];
        std::size_t next = 0;
        for (std::size_t& start : starts)
            next += std::exchange(start, next);
        for (const uint64_t key : keys)
            spare[starts[(key >> shift) & digitMask]++] = key;
        keys.swap(spare);
    }
}

// The cells, compacted at the front of the keys' buffer, become the list of
// cells without another allocation where a cell index is a 64-bit number.
template <typename Cell>
void takeCells(std::vector<Cell>& cells, std::vector<uint64_t>& compacted, std::size_t count)
{
    compacted.resize(count);
    if constexpr (std::is_same_v<Cell, uint64_t>)
        cells.swap(compacted);
    else
        cells.assign(compacted.begin(), compacted.end());
}

}  // namespace

int objectCells::bitsForObjects(std::size_t objectCount)
{
    int bits = 1;
    while (bits < 32 && (std::size_t(1) << bits) < objectCount)
        ++bits;
    return bits;
}

objectCells::objectCells(std::vector<objectAtRisk> objects, std::vector<std::pair<std::size_t, uint32_t>> memberships)
{
    const int objectBits = bitsForObjects(objects.size());
    std::vector<uint64_t> keys;
    keys.reserve(memberships.size());
    for (const auto& [cell, object] : memberships)
        keys.push_back(packMembership(cell, object, objectBits));
    *this = objectCells(std::move(objects), std::move(keys), objectBits);
}

objectCells::objectCells(std::vector<objectAtRisk> objects, std::vector<uint64_t> packedMemberships, int objectBits)
    : objects_(std::move(objects))
{
    uint64_t largest = 0;
    for (const uint64_t key : packedMemberships)
        largest = std::max(largest, key);
    int bits = 0;
    while (bits < 64 && (largest >> bits) != 0)
        ++bits;
    radixSort(packedMemberships, bits);
    packedMemberships.erase(std::unique(packedMemberships.begin(), packedMemberships.end()), packedMemberships.end());
    for (objectAtRisk& object : objects_)
        object.cells = 0;
    const uint64_t objectMask = (uint64_t(1) << objectBits) - 1;
    // Exact sizes up front: growing vectors of millions of cells would copy
    // them and touch fresh memory several times over.
    std::size_t cellCount = 0;
    for (std::size_t k = 0; k < packedMemberships.size(); ++k)
        cellCount += k == 0 || (packedMemberships[k] >> objectBits) != (packedMemberships[k - 1] >> objectBits);
    offsets_.reserve(cellCount + 1);
    objectIndices_.reserve(packedMemberships.size());
    // Cell j is written over key j, already read (j <= k).
    std::size_t cellsDone = 0;
    for (const uint64_t key : packedMemberships) {
        const uint64_t cell = key >> objectBits;
        const auto object = static_cast<uint32_t>(key & objectMask);
        if (cellsDone == 0 || packedMemberships[cellsDone - 1] != cell) {
            if (cellsDone != 0)
                offsets_.push_back(objectIndices_.size());
            packedMemberships[cellsDone++] = cell;
        }
        objectIndices_.push_back(object);
        ++objects_[object].cells;
    }
    takeCells(cells_, packedMemberships, cellsDone);
    if (!cells_.empty())
        offsets_.push_back(objectIndices_.size());
}

namespace {

std::size_t cellsIn(const cellWindow& window)
{
    return window.empty() ? 0 : static_cast<std::size_t>(window.rows) * static_cast<std::size_t>(window.cols);
}

// Appends the memberships of one feature's cells in object `object`, as keys
// packed by objectCells::packMembership; `cells` is scratch space.
bool addFeatureCells(const layerFeature& feature, const cellWindow& window, uint32_t object,
                     const layerRasterizer& rasterizer, int ncols, int objectBits, std::vector<uint8_t>& mask,
                     std::vector<std::size_t>& cells, std::vector<uint64_t>& keys)
{
    cells.clear();
    if (!appendFeatureCells(feature, window, rasterizer, ncols, true, mask, cells))
        return false;
    for (const std::size_t cell : cells)
        keys.push_back(objectCells::packMembership(cell, object, objectBits));
    return true;
}

}  // namespace

std::optional<objectCells> readObjectsLayer(const vectorLayerSource& source, const QString& idField,
                                            const rasterHeader& dem, const double geoTransform[6],
                                            const coordinateSystem& demSystem, messageSink& sink,
                                            std::vector<objectOutline>* outlines)
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
    const int objectBits = objectCells::bitsForObjects(objects.size());
    const auto gridCells = static_cast<uint64_t>(dem.nrows) * static_cast<uint64_t>(dem.ncols);
    if ((gridCells >> (64 - objectBits)) != 0) {
        sink.error(QStringLiteral("The DEM has too many cells to place the %1 objects of the %2 on it.")
                       .arg(objects.size())
                       .arg(what));
        return std::nullopt;
    }
    std::vector<cellWindow> windows;
    windows.reserve(layer->features.size());
    std::size_t windowCells = 0;
    for (const layerFeature& feature : layer->features)
        windowCells += cellsIn(windows.emplace_back(windowOfFeature(feature, rasterizer)));
    // The windows hold every membership and a few more: room reserved but
    // never touched costs no memory, while growing would copy millions of
    // keys. Bounded, so that a road across a huge grid asks for no more
    // than 128 MB up front.
    std::vector<uint64_t> memberships;
    memberships.reserve(std::min(windowCells, std::size_t(1) << 24));
    std::vector<uint8_t> mask;
    std::vector<std::size_t> cells;
    for (std::size_t i = 0; i < layer->features.size(); ++i) {
        const layerFeature& feature = layer->features[i];
        if (!addFeatureCells(feature, windows[i], indexOfId.at(feature.id), rasterizer, dem.ncols, objectBits, mask,
                             cells, memberships)) {
            sink.error(
                QStringLiteral("Object %1 of the %2 could not be placed on the DEM's grid.").arg(feature.id).arg(what));
            return std::nullopt;
        }
    }
    objectCells result(std::move(objects), std::move(memberships), objectBits);
    if (outlines)
        *outlines = objectOutlinesOf(*layer);
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

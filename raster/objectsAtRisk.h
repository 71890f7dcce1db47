#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include <QString>

#include "raster/coordinateSystem.h"
#include "raster/messageSink.h"
#include "raster/rasterTypes.h"
#include "raster/vectorLayer.h"

struct objectOutline;

// An object at risk: a building, a road, a stretch of railway.
struct objectAtRisk
{
    int64_t id = 0;
    QString name;
    int64_t cells = 0;  // cells of the DEM it lies on
};

// Which objects lie on which cells. Objects may overlap (a bridge over a
// road, two buildings drawn over one cell), so a single id per cell cannot
// hold them: every cell lists each object on it, and a trajectory that
// crosses the cell counts for each of them, once per object however many of
// its cells it crosses.
class objectCells
{
public:
    objectCells() = default;
    // objects: sorted by id, each id once; memberships: (flat cell index,
    // index into objects), in any order, repeats allowed. Sets each object's
    // cell count.
    objectCells(std::vector<objectAtRisk> objects, std::vector<std::pair<std::size_t, uint32_t>> memberships);
    // The same from memberships packed by packMembership with objectBits
    // = bitsForObjects(objects.size()); sorts and thins the keys in place.
    objectCells(std::vector<objectAtRisk> objects, std::vector<uint64_t> packedMemberships, int objectBits);

    // The bits an object index takes in a packed membership.
    static int bitsForObjects(std::size_t objectCount);
    // One 64-bit key per membership: the cell above the object, so that keys
    // sort by cell, then object.
    static uint64_t packMembership(std::size_t cell, uint32_t object, int objectBits)
    {
        return (static_cast<uint64_t>(cell) << objectBits) | object;
    }

    const std::vector<objectAtRisk>& objects() const { return objects_; }
    // The flat row-major indices of the cells holding an object, increasing.
    const std::vector<std::size_t>& cells() const { return cells_; }
    // The objects (indices into objects()) on cells()[k], increasing.
    const uint32_t* objectsBegin(std::size_t k) const { return objectIndices_.data() + offsets_[k]; }
    const uint32_t* objectsEnd(std::size_t k) const { return objectIndices_.data() + offsets_[k + 1]; }

private:
    std::vector<objectAtRisk> objects_;
    std::vector<std::size_t> cells_;
    std::vector<std::size_t> offsets_{0};
    std::vector<uint32_t> objectIndices_;
};

// Objects from a vector layer: each feature is one object, its id the
// feature id or the integer field named `idField`; features that share an id
// are one object. A "name" text field travels along. Polygons take the cells
// whose centres lie inside them, and a polygon too small to enclose a centre
// the cells it touches, so that no building is lost between cell centres;
// lines and points take the cells they touch. Refusals as for start cells.
// With `outlines` (null: none wanted) the objects' shapes are kept too, for a map.
std::optional<objectCells> readObjectsLayer(const vectorLayerSource& source, const QString& idField,
                                            const rasterHeader& dem, const double geoTransform[6],
                                            const coordinateSystem& demSystem, messageSink& sink,
                                            std::vector<objectOutline>* outlines = nullptr);

// Objects from a raster on the DEM's grid: every value above 0 other than
// NODATA is the id of the object on that cell. An id that is no whole number,
// or above 16777216 where a float no longer tells neighbouring whole numbers
// apart, is refused naming the file and the cell.
std::optional<objectCells> objectsFromGrid(const elevationGrid& values, float nodataValue, const QString& file,
                                           messageSink& sink);

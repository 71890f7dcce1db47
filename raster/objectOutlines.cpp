#include "raster/objectOutlines.h"

#include <algorithm>
#include <map>

#include <ogr_geometry.h>

namespace {

objectOutline::vertices verticesOf(const OGRSimpleCurve& curve)
{
    objectOutline::vertices vertices;
    vertices.reserve(static_cast<std::size_t>(curve.getNumPoints()));
    for (int k = 0; k < curve.getNumPoints(); ++k)
        vertices.emplace_back(curve.getX(k), curve.getY(k));
    return vertices;
}

}  // namespace

std::vector<objectOutline> objectOutlinesOf(const layerFeatures& layer)
{
    std::map<int64_t, objectOutline> byId;
    for (const layerFeature& feature : layer.features) {
        objectOutline& outline = byId[feature.id];
        outline.id = feature.id;
        if (outline.name.isEmpty())
            outline.name = feature.name;
        // The parts are split already: areas are polygons, tracks lines or points.
        for (const geometryPointer& area : feature.areas)
            for (const OGRLinearRing* ring : *area->toPolygon())
                outline.rings.push_back(verticesOf(*ring));
        for (const geometryPointer& track : feature.tracks) {
            if (wkbFlatten(track->getGeometryType()) == wkbPoint)
                outline.points.emplace_back(track->toPoint()->getX(), track->toPoint()->getY());
            else
                outline.lines.push_back(verticesOf(*track->toLineString()));
        }
    }
    std::vector<objectOutline> outlines;
    outlines.reserve(byId.size());
    for (auto& [id, outline] : byId)
        outlines.push_back(std::move(outline));
    return outlines;
}

namespace {

// A corner of the grid (column, row from the top-left) in map coordinates.
std::pair<double, double> cornerAt(const double g[6], double col, double row)
{
    return {g[0] + col * g[1] + row * g[2], g[3] + col * g[4] + row * g[5]};
}

}  // namespace

std::vector<objectOutline> objectOutlinesOfCells(const objectCells& objects, int cols, const double geoTransform[6])
{
    const std::size_t count = objects.objects().size();
    std::vector<std::vector<std::size_t>> cellsOf(count);  // increasing, as objects.cells() are
    for (std::size_t k = 0; k < objects.cells().size(); ++k)
        for (const uint32_t* object = objects.objectsBegin(k); object != objects.objectsEnd(k); ++object)
            cellsOf[*object].push_back(objects.cells()[k]);
    const auto width = static_cast<std::size_t>(cols);
    std::vector<objectOutline> outlines(count);
    for (std::size_t i = 0; i < count; ++i) {
        objectOutline& outline = outlines[i];
        outline.id = objects.objects()[i].id;
        outline.name = objects.objects()[i].name;
        const std::vector<std::size_t>& cells = cellsOf[i];
        const auto holds = [&cells](std::size_t cell) { return std::binary_search(cells.begin(), cells.end(), cell); };
        const auto addEdge = [&](double col0, double row0, double col1, double row1) {
            outline.lines.push_back({cornerAt(geoTransform, col0, row0), cornerAt(geoTransform, col1, row1)});
        };
        // Top and bottom edges run along a row: an edge that continues the
        // previous cell's lengthens its line.
        for (const bool top : {true, false}) {
            std::size_t runEnd = 0;  // the column after the line last added, plus one; 0: none
            std::size_t runRow = 0;
            for (const std::size_t cell : cells) {
                const std::size_t row = cell / width;
                const std::size_t col = cell % width;
                const bool border = top ? row == 0 || !holds(cell - width) : !holds(cell + width);
                if (!border)
                    continue;
                const double edgeRow = static_cast<double>(top ? row : row + 1);
                if (runEnd != 0 && runRow == row && runEnd == col + 1) {
                    outline.lines.back().back() = cornerAt(geoTransform, static_cast<double>(col + 1), edgeRow);
                } else {
                    addEdge(static_cast<double>(col), edgeRow, static_cast<double>(col + 1), edgeRow);
                    runRow = row;
                }
                runEnd = col + 2;
            }
        }
        for (const std::size_t cell : cells) {
            const std::size_t row = cell / width;
            const std::size_t col = cell % width;
            if (col == 0 || !holds(cell - 1))
                addEdge(static_cast<double>(col), static_cast<double>(row), static_cast<double>(col),
                        static_cast<double>(row + 1));
            if (col + 1 == width || !holds(cell + 1))
                addEdge(static_cast<double>(col + 1), static_cast<double>(row), static_cast<double>(col + 1),
                        static_cast<double>(row + 1));
        }
    }
    return outlines;
}

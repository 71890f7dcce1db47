#include "raster/objectOutlines.h"

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

#include "ui/objectOverlay.h"

#include <QTransform>

#include "map/runResultGrids.h"

QList<mapOverlayShape> objectOverlayShapes(const runResultGrids& result)
{
    // The geotransform takes a pixel (column, row) to map coordinates: x =
    // g0 + column g1 + row g2, y = g3 + column g4 + row g5 (GDAL's
    // convention); its inverse places the outlines on the picture.
    const double* g = result.placement.geoTransform;
    bool invertible = false;
    const QTransform toPicture = QTransform(g[1], g[4], g[2], g[5], g[0], g[3]).inverted(&invertible);
    QList<mapOverlayShape> shapes;
    if (!invertible)
        return shapes;
    const auto polygon = [&toPicture](const objectOutline::vertices& vertices) {
        QPolygonF points;
        points.reserve(static_cast<qsizetype>(vertices.size()));
        for (const auto& [x, y] : vertices)
            points << toPicture.map(QPointF(x, y));
        return points;
    };
    for (const objectOutline& outline : result.objectOutlines) {
        mapOverlayShape shape;
        shape.label = outline.name.isEmpty() ? QString::number(outline.id) : outline.name;
        for (const auto& ring : outline.rings)
            shape.rings << polygon(ring);
        for (const auto& line : outline.lines)
            shape.lines << polygon(line);
        for (const auto& [x, y] : outline.points)
            shape.points << toPicture.map(QPointF(x, y));
        shapes << shape;
    }
    return shapes;
}

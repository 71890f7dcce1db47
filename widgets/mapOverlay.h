#pragma once

#include <QList>
#include <QPointF>
#include <QPolygonF>
#include <QRectF>
#include <QString>

// A labelled shape drawn over a mapView's picture, in the picture's pixel
// coordinates (x along a row, y down the rows, (0, 0) the top-left corner
// of the first pixel): closed rings, open lines and points.
struct mapOverlayShape
{
    bool empty() const { return rings.isEmpty() && lines.isEmpty() && points.isEmpty(); }

    QString label;
    QList<QPolygonF> rings;
    QList<QPolygonF> lines;
    QList<QPointF> points;

    // The smallest rectangle holding every vertex (of no size for one point);
    // a null rectangle without any.
    QRectF bounds() const
    {
        QRectF united;
        bool any = false;
        const auto take = [&](const QRectF& part) {
            united = any ? united.united(part) : part;
            any = true;
        };
        for (const QList<QPolygonF>* parts : {&rings, &lines})
            for (const QPolygonF& part : *parts)
                if (!part.isEmpty())
                    take(part.boundingRect());
        for (const QPointF& point : points)
            take(QRectF(point, point));
        return united;
    }
};

#pragma once

#include <cstdint>
#include <vector>

#include <QFont>
#include <QList>
#include <QRectF>
#include <QString>
#include <QStringList>

#include "map/mapColourings.h"

class QPainter;
struct coordinateSystem;
struct runResultGrids;

// The pieces the run report's pages are painted from, each in an area given
// in device units of the page.

// Device units per millimetre of the page painted, for lengths on paper.
struct pageUnits
{
    double perMillimetre = 1.0;
    double mm(double millimetres) const { return millimetres * perMillimetre; }
    QRectF rect(double left, double top, double width, double height) const
    {
        return {mm(left), mm(top), mm(width), mm(height)};
    }
};

// The report's sans-serif font at `points`, as the page's device sizes it.
QFont reportFont(double points, bool bold = false);

// `text` in the painter's font, wrapped to `width` at spaces or, for a path
// without one, anywhere; its height, drawn from `topLeft` only when `draw`.
double wrappedText(QPainter& painter, const QString& text, const QPointF& topLeft, double width, bool draw = true);

// The map at the largest round scale at which the DEM's extent fits
// `mapArea`, its neat line around it, the north arrow and the legend in
// `sideArea` beside it, and under the map the scale, a scale bar, the
// coordinate system and the map's extent in `footArea`, moved up to just
// under the map where it leaves room.
void paintReportMap(QPainter& painter, const pageUnits& units, const QRectF& mapArea, const QRectF& sideArea,
                    const QRectF& footArea, const runResultGrids& grids, const coordinateSystem& system,
                    mapColouring colouring);

// A histogram of fixed bins (the first from `from`, each `binWidth` wide in
// `unit`) regrouped into at most 30 bars over the range that holds counts,
// with a count axis and the range along the other.
void paintHistogram(QPainter& painter, const pageUnits& units, const QRectF& area, const QString& title,
                    const QString& unit, const std::vector<uint64_t>& counts, double from, double binWidth);

// A table whose first row is its header, each column as wide as its widest
// cell would have it within `area`'s width; the rows that fit in its height,
// then a line telling how many are left out. Its height.
double paintTable(QPainter& painter, const pageUnits& units, const QRectF& area, const QList<QStringList>& rows,
                  const QString& leftOutText);

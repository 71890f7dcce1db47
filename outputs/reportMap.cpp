#include <algorithm>
#include <cmath>

#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QTransform>

#include "map/resultMapPicture.h"
#include "map/runResultGrids.h"
#include "outputs/reportFigures.h"
#include "outputs/reportPainting.h"
#include "raster/coordinateSystem.h"

namespace {

// Finer than this on paper a map's pixels would not show.
constexpr double finestDotsPerInch = 300.0;

QString coordinateText(double value) { return QLocale::c().toString(value, 'f', QLocale::FloatingPointShortest); }

// An arrow pointing up with an N above it; the grids' rows run north to south.
void paintNorthArrow(QPainter& painter, const pageUnits& units, const QPointF& top, double height)
{
    painter.save();
    painter.setFont(reportFont(9, true));
    const double letter = painter.fontMetrics().height();
    painter.drawText(QRectF(top.x() - units.mm(5), top.y(), units.mm(10), letter), Qt::AlignCenter,
                     QStringLiteral("N"));
    const QPointF tip(top.x(), top.y() + letter);
    const double half = units.mm(3.0);
    const double length = height - letter;
    QPainterPath left;
    left.moveTo(tip);
    left.lineTo(tip.x() - half, tip.y() + length);
    left.lineTo(tip.x(), tip.y() + length * 0.72);
    left.closeSubpath();
    QPainterPath right;
    right.moveTo(tip);
    right.lineTo(tip.x() + half, tip.y() + length);
    right.lineTo(tip.x(), tip.y() + length * 0.72);
    right.closeSubpath();
    painter.setPen(QPen(Qt::black, units.mm(0.2)));
    painter.fillPath(left, Qt::black);
    painter.fillPath(right, Qt::white);
    painter.drawPath(left);
    painter.drawPath(right);
    painter.restore();
}

// The legend of the colouring shown, swatches and labels down `area`.
void paintLegend(QPainter& painter, const pageUnits& units, const QRectF& area, const mapLegend& legend)
{
    painter.save();
    painter.setFont(reportFont(9, true));
    double top = area.top() + wrappedText(painter, legend.caption, area.topLeft(), area.width());
    top += units.mm(1.5);
    painter.setFont(reportFont(8));
    const double swatchWidth = units.mm(6);
    const double swatchHeight = units.mm(3.6);
    const double textLeft = area.left() + swatchWidth + units.mm(2);
    const double textWidth = area.right() - textLeft;
    for (const legendEntry& entry : legend.entries) {
        const double height =
            std::max(swatchHeight, wrappedText(painter, entry.label, QPointF(textLeft, top), textWidth, false));
        const QRectF swatch(area.left(), top + (painter.fontMetrics().height() - swatchHeight) / 2, swatchWidth,
                            swatchHeight);
        painter.fillRect(swatch, QColor::fromRgb(entry.colour));
        painter.setPen(QPen(QColor(90, 90, 90), units.mm(0.15)));
        painter.drawRect(swatch);
        painter.setPen(Qt::black);
        wrappedText(painter, entry.label, QPointF(textLeft, top), textWidth);
        top += height + units.mm(1.2);
    }
    painter.restore();
}

// A bar of `length` metres on the ground in two halves, black and white,
// with 0, the half and the whole length under it.
void paintScaleBar(QPainter& painter, const pageUnits& units, const QPointF& left, double scale, double length)
{
    const double paper = units.mm(length / scale * 1000.0);
    const double height = units.mm(1.6);
    painter.save();
    painter.setPen(QPen(Qt::black, units.mm(0.2)));
    painter.fillRect(QRectF(left.x(), left.y(), paper / 2, height), Qt::black);
    painter.drawRect(QRectF(left.x(), left.y(), paper, height));
    painter.setFont(reportFont(7));
    const bool kilometres = length >= 1000.0;
    const auto label = [&](double metres) { return QString::number(kilometres ? metres / 1000.0 : metres, 'g', 6); };
    const double line = painter.fontMetrics().height();
    const double below = left.y() + height + units.mm(0.5);
    const double labelWidth = units.mm(20);
    painter.drawText(QRectF(left.x() - labelWidth / 2, below, labelWidth, line), Qt::AlignHCenter | Qt::AlignTop,
                     QStringLiteral("0"));
    painter.drawText(QRectF(left.x() + paper / 2 - labelWidth / 2, below, labelWidth, line),
                     Qt::AlignHCenter | Qt::AlignTop, label(length / 2));
    painter.drawText(QRectF(left.x() + paper - labelWidth / 2, below, labelWidth, line),
                     Qt::AlignHCenter | Qt::AlignTop, label(length));
    painter.drawText(QRectF(left.x() + paper + labelWidth / 2, below, labelWidth, line), Qt::AlignLeft | Qt::AlignTop,
                     kilometres ? QStringLiteral("km") : QStringLiteral("m"));
    painter.restore();
}

// The objects at risk over the map, in the window's blue, each labelled by
// its name: GDAL's geotransform (x = g0 + column g1 + row g2, y = g3 +
// column g4 + row g5) inverted takes them to cells, then to the map's frame.
void paintObjects(QPainter& painter, const pageUnits& units, const QRectF& map, const runResultGrids& grids)
{
    const double* g = grids.placement.geoTransform;
    bool invertible = false;
    const QTransform toCells = QTransform(g[1], g[4], g[2], g[5], g[0], g[3]).inverted(&invertible);
    if (!invertible || grids.objectOutlines.empty())
        return;
    const QTransform toPage = toCells * QTransform::fromScale(map.width() / grids.displayGrid.cols(),
                                                              map.height() / grids.displayGrid.rows())
                              * QTransform::fromTranslate(map.left(), map.top());
    const auto polygon = [&toPage](const objectOutline::vertices& vertices) {
        QPolygonF points;
        for (const auto& [x, y] : vertices)
            points << toPage.map(QPointF(x, y));
        return points;
    };
    painter.save();
    painter.setClipRect(map);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setFont(reportFont(6.5));
    const QColor blue(0x1f, 0x3f, 0x9f);
    for (const objectOutline& outline : grids.objectOutlines) {
        painter.setPen(QPen(blue, units.mm(0.35)));
        painter.setBrush(Qt::NoBrush);
        QPolygonF drawn;  // every vertex drawn, for the label's place
        for (const auto& ring : outline.rings) {
            const QPolygonF points = polygon(ring);
            painter.drawPolygon(points);
            drawn << points;
        }
        for (const auto& line : outline.lines) {
            const QPolygonF points = polygon(line);
            painter.drawPolyline(points);
            drawn << points;
        }
        painter.setBrush(blue);
        for (const auto& [x, y] : outline.points) {
            const QPointF at = toPage.map(QPointF(x, y));
            painter.drawEllipse(at, units.mm(0.8), units.mm(0.8));
            drawn << at;
        }
        if (drawn.isEmpty())
            continue;
        const QRectF bounds = drawn.boundingRect();
        const QString label = outline.name.isEmpty() ? QString::number(outline.id) : outline.name;
        painter.drawText(QRectF(bounds.center().x() - units.mm(20), bounds.top() - units.mm(4), units.mm(40),
                                units.mm(3.5)),
                         Qt::AlignHCenter | Qt::AlignBottom, label);
    }
    painter.restore();
}

}  // namespace

void paintReportMap(QPainter& painter, const pageUnits& units, const QRectF& mapArea, const QRectF& sideArea,
                    const QRectF& footArea, const runResultGrids& grids, const coordinateSystem& system,
                    mapColouring colouring)
{
    const int rows = grids.displayGrid.rows();
    const int cols = grids.displayGrid.cols();
    const double* geoTransform = grids.placement.geoTransform;
    // Lengths in the DEM's unit, taken in metres where its system names no other.
    const double metresPerUnit = system.isEmpty() ? 1.0 : system.metresPerUnit;
    const double groundWidth = cols * std::abs(geoTransform[1]) * metresPerUnit;
    const double groundHeight = rows * std::abs(geoTransform[5]) * metresPerUnit;
    const double areaWidthMetres = mapArea.width() / units.mm(1000.0);
    const double areaHeightMetres = mapArea.height() / units.mm(1000.0);
    const double scale = roundScaleDenominator(groundWidth, groundHeight, areaWidthMetres, areaHeightMetres);
    const mapColouring shown = shownColouring(grids, colouring);
    double mapBottom = mapArea.top();
    if (scale > 0.0) {
        const QRectF map(mapArea.topLeft(),
                         QSizeF(units.mm(groundWidth / scale * 1000.0), units.mm(groundHeight / scale * 1000.0)));
        QImage picture = resultMapImage(grids, shown);
        const double finest = map.width() / units.mm(25.4) * finestDotsPerInch;
        if (picture.width() > 2 * finest)
            picture = picture.scaled(QSize(int(finest), int(finest * rows / cols) + 1), Qt::IgnoreAspectRatio,
                                     Qt::FastTransformation);
        painter.save();
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(map, picture);
        paintObjects(painter, units, map, grids);
        painter.setPen(QPen(Qt::black, units.mm(0.3)));
        painter.drawRect(map);
        painter.restore();
        mapBottom = map.bottom();
    }

    paintNorthArrow(painter, units, QPointF(sideArea.left() + units.mm(6), sideArea.top()), units.mm(16));
    paintLegend(painter, units, sideArea.adjusted(0, units.mm(22), 0, 0),
                resultMapLegend(shown, grids.intensityOptions.energyClassLimits));

    painter.save();
    painter.setFont(reportFont(8, true));
    const double line = painter.fontMetrics().height();
    // Right under the map, so that the scale is read beside it.
    double top = std::min(footArea.top(), mapBottom + units.mm(4));
    painter.drawText(QRectF(footArea.left(), top, footArea.width(), line), Qt::AlignLeft | Qt::AlignVCenter,
                     scale > 0.0 ? QStringLiteral("Scale %1").arg(scaleText(scale)) : QStringLiteral("No scale"));
    if (scale > 0.0) {
        const double barLength =
            roundLengthUpTo(std::min(groundWidth, footArea.width() / 2 / units.mm(1000.0) * scale));
        paintScaleBar(painter, units, QPointF(footArea.left() + units.mm(30), top + units.mm(0.8)), scale, barLength);
    }
    top += line + units.mm(3.5);
    painter.setFont(reportFont(7.5));
    const QString systemName =
        system.isEmpty() ? QStringLiteral("none given (the DEM has no coordinate system)") : system.name;
    top += wrappedText(painter, QStringLiteral("Coordinate system: %1").arg(systemName), QPointF(footArea.left(), top),
                       footArea.width());
    const double west = geoTransform[0];
    const double north = geoTransform[3];
    const double east = west + cols * geoTransform[1];
    const double south = north + rows * geoTransform[5];
    wrappedText(painter,
                QStringLiteral("Extent: x %1 to %2, y %3 to %4; north up, cells of %5 x %6 %7")
                    .arg(coordinateText(west), coordinateText(east), coordinateText(std::min(south, north)),
                         coordinateText(std::max(south, north)), coordinateText(std::abs(geoTransform[1])),
                         coordinateText(std::abs(geoTransform[5])),
                         system.unitName.isEmpty() ? QStringLiteral("m") : system.unitName),
                QPointF(footArea.left(), top), footArea.width());
    painter.restore();
}

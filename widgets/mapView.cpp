#include "widgets/mapView.h"

#include <algorithm>
#include <cmath>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

namespace {
constexpr double zoomStep = 1.25;
constexpr double largestZoom = 64.0;  // screen pixels per cell
constexpr double panStep = 40.0;      // screen pixels per arrow key
constexpr double zoomMargin = 0.25;   // of the area's size, on each side, when zoomed to it
constexpr double smallestZoomArea = 8.0;  // cells across, for a point or a short line
const QColor overlayColour(0x10, 0x40, 0xc0);  // blue: apart from the yellows, reds and greys of the map
}  // namespace

mapView::mapView(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::WheelFocus);
    setMinimumSize(1, 1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void mapView::setPicture(const QImage& picture)
{
    const bool sameGrid = !picture_.isNull() && picture.size() == picture_.size();
    picture_ = picture;
    if (!sameGrid || fitted_)
        fitToView();
    update();
}

void mapView::setPlaceholderText(const QString& text)
{
    placeholder_ = text;
    update();
}

void mapView::setNote(const QString& text)
{
    note_ = text;
    update();
}

void mapView::setOverlay(const QList<mapOverlayShape>& shapes)
{
    overlay_ = shapes;
    update();
}

double mapView::fitScale() const
{
    if (picture_.isNull())
        return 1.0;
    return std::min(width() / static_cast<double>(picture_.width()), height() / static_cast<double>(picture_.height()));
}

void mapView::fitToView()
{
    fitted_ = true;
    scale_ = fitScale();
    origin_ = QPointF((width() - picture_.width() * scale_) / 2.0, (height() - picture_.height() * scale_) / 2.0);
    update();
}

void mapView::zoomToArea(const QRectF& area)
{
    if (picture_.isNull())
        return;
    const QPointF centre = area.center();
    const double across = std::max({area.width(), area.height(), smallestZoomArea});
    const double shown = across * (1.0 + 2.0 * zoomMargin);
    const double scale = std::min(largestZoom, std::min(width(), height()) / shown);
    if (!(scale > 0.0))
        return;
    scale_ = scale;
    origin_ = QPointF(width() / 2.0, height() / 2.0) - centre * scale_;
    fitted_ = false;
    update();
}

// The point under the anchor stays where it is.
void mapView::zoomBy(double factor, const QPointF& anchor)
{
    if (picture_.isNull())
        return;
    const double smallest = std::min(fitScale(), 1.0) / 4.0;
    const double scale = std::clamp(scale_ * factor, smallest, std::max(largestZoom, fitScale() * 4.0));
    origin_ = anchor - (anchor - origin_) * (scale / scale_);
    scale_ = scale;
    fitted_ = false;
    update();
}

QPoint mapView::cellAt(const QPointF& position) const
{
    if (picture_.isNull() || scale_ <= 0.0)
        return {-1, -1};
    const QPointF cell = (position - origin_) / scale_;
    const int col = static_cast<int>(std::floor(cell.x()));
    const int row = static_cast<int>(std::floor(cell.y()));
    if (col < 0 || row < 0 || col >= picture_.width() || row >= picture_.height())
        return {-1, -1};
    return {col, row};
}

void mapView::reportHover(const QPointF& position)
{
    const QPoint cell = cellAt(position);
    if (cell == hovered_)
        return;
    hovered_ = cell;
    if (cell.x() < 0)
        emit hoverLeft();
    else
        emit cellHovered(cell.y(), cell.x());
}

void mapView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    if (picture_.isNull()) {
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(rect().adjusted(20, 20, -20, -20), Qt::AlignCenter | Qt::TextWordWrap, placeholder_);
        return;
    }
    // Cells enlarged stay sharp squares; a reduced map is smoothed.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, scale_ < 1.0);
    painter.drawImage(QRectF(origin_, QSizeF(picture_.size()) * scale_), picture_);
    paintOverlay(painter);
    if (!note_.isEmpty()) {
        const QSize text = painter.fontMetrics().size(Qt::TextSingleLine, note_);
        const QRect placed(8, 8, text.width() + 12, text.height() + 8);
        painter.fillRect(placed, QColor(255, 255, 255, 220));
        painter.setPen(Qt::black);
        painter.drawRect(placed.adjusted(0, 0, -1, -1));
        painter.drawText(placed, Qt::AlignCenter, note_);
    }
}

void mapView::paintOverlay(QPainter& painter) const
{
    if (overlay_.isEmpty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    const auto onScreen = [this](const QPointF& pixel) { return origin_ + pixel * scale_; };
    const auto screenPolygon = [&onScreen](const QPolygonF& pixels) {
        QPolygonF screen;
        screen.reserve(pixels.size());
        for (const QPointF& pixel : pixels)
            screen << onScreen(pixel);
        return screen;
    };
    QPen pen(overlayColour, 2.0);
    pen.setCosmetic(true);
    constexpr double markerRadius = 4.0;
    for (const mapOverlayShape& shape : overlay_) {
        painter.setPen(pen);
        painter.setBrush(QColor(overlayColour.red(), overlayColour.green(), overlayColour.blue(), 40));
        // One path of all rings, filled odd-even, so that a polygon's holes stay open.
        QPainterPath area;
        for (const QPolygonF& ring : shape.rings)
            area.addPolygon(screenPolygon(ring));
        area.setFillRule(Qt::OddEvenFill);
        painter.drawPath(area);
        painter.setBrush(Qt::NoBrush);
        for (const QPolygonF& line : shape.lines)
            painter.drawPolyline(screenPolygon(line));
        painter.setBrush(overlayColour);
        for (const QPointF& point : shape.points)
            painter.drawEllipse(onScreen(point), markerRadius, markerRadius);
        if (shape.label.isEmpty())
            continue;
        // The name above the shape, on a pale box so that it reads over any colour.
        const QRectF bounds = shape.bounds();
        const QPointF top = onScreen(QPointF(bounds.center().x(), bounds.top()));
        const QSize text = painter.fontMetrics().size(Qt::TextSingleLine, shape.label);
        const QRectF box(top.x() - text.width() / 2.0 - 3.0, top.y() - text.height() - markerRadius - 2.0,
                         text.width() + 6.0, text.height() + 2.0);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(255, 255, 255, 200));
        painter.drawRect(box);
        painter.setPen(overlayColour.darker(150));
        painter.drawText(box, Qt::AlignCenter, shape.label);
    }
    painter.restore();
}

void mapView::resizeEvent(QResizeEvent*)
{
    if (fitted_)
        fitToView();
}

void mapView::wheelEvent(QWheelEvent* event)
{
    const int steps = event->angleDelta().y();
    if (steps == 0)
        return;
    zoomBy(std::pow(zoomStep, steps / 120.0), event->position());
    reportHover(event->position());
    event->accept();
}

void mapView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    dragging_ = true;
    dragStart_ = event->position();
    originAtDragStart_ = origin_;
    setCursor(Qt::ClosedHandCursor);
}

void mapView::mouseMoveEvent(QMouseEvent* event)
{
    if (dragging_) {
        origin_ = originAtDragStart_ + (event->position() - dragStart_);
        fitted_ = false;
        update();
    }
    reportHover(event->position());
}

void mapView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && dragging_) {
        dragging_ = false;
        unsetCursor();
    }
}

void mapView::mouseDoubleClickEvent(QMouseEvent*) { fitToView(); }

void mapView::keyPressEvent(QKeyEvent* event)
{
    const QPointF centre(width() / 2.0, height() / 2.0);
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        zoomBy(zoomStep, centre);
        break;
    case Qt::Key_Minus:
        zoomBy(1.0 / zoomStep, centre);
        break;
    case Qt::Key_0:
    case Qt::Key_F:
        fitToView();
        break;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down: {
        const double dx = event->key() == Qt::Key_Left ? panStep : event->key() == Qt::Key_Right ? -panStep : 0.0;
        const double dy = event->key() == Qt::Key_Up ? panStep : event->key() == Qt::Key_Down ? -panStep : 0.0;
        origin_ += QPointF(dx, dy);
        fitted_ = false;
        update();
        break;
    }
    default:
        QWidget::keyPressEvent(event);
    }
}

void mapView::leaveEvent(QEvent*)
{
    hovered_ = QPoint(-1, -1);
    emit hoverLeft();
}

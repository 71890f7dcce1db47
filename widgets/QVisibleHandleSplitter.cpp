#include "widgets/QVisibleHandleSplitter.h"

#include <QBrush>
#include <QColor>
#include <QEnterEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QPen>
#include <QRect>
#include <algorithm>

QVisibleGripSplitterHandle::QVisibleGripSplitterHandle(Qt::Orientation orientation, QSplitter* parent)
    : QSplitterHandle(orientation, parent)
{
    // Without tracking, enter and leave would only arrive while a button is held.
    setAttribute(Qt::WA_MouseTracking);
}

void QVisibleGripSplitterHandle::enterEvent(QEnterEvent* event)
{
    QSplitterHandle::enterEvent(event);
    hovered_ = true;
    repaint();
}

void QVisibleGripSplitterHandle::leaveEvent(QEvent* event)
{
    QSplitterHandle::leaveEvent(event);
    hovered_ = false;
    repaint();
}

void QVisibleGripSplitterHandle::paintEvent(QPaintEvent* event)
{
    QBrush gripBrush = palette().brush(QPalette::Light);
    QPen linePen(palette().color(QPalette::Mid));

    if (highlightOnHover_ && hovered_) {
        QPainter painter(this);
        painter.fillRect(event->rect(), palette().brush(QPalette::Highlight));
        const QColor lighter = palette().color(QPalette::Highlight).lighter(150);
        gripBrush = QBrush(lighter);
        linePen.setColor(lighter.darker(200));
    } else {
        QSplitterHandle::paintEvent(event);
    }

    if (!gripVisible_)
        return;

    QPainter painter(this);
    const QRect r = event->rect();
    painter.setPen(linePen);
    if (orientation() == Qt::Horizontal) {
        // A vertical strip: the grip spans its width, stripes run across it.
        const int top = (r.top() + r.bottom()) / 2 - gripLength_ / 2;
        const int bottom = top + gripLength_ - 1;
        painter.fillRect(QRect(QPoint(r.left(), top), QPoint(r.right(), bottom)), gripBrush);
        for (int y = top; y < bottom; y += 2)
            painter.drawLine(r.left(), y, r.right(), y);
    } else {
        const int left = (r.left() + r.right()) / 2 - gripLength_ / 2;
        const int right = left + gripLength_ - 1;
        painter.fillRect(QRect(QPoint(left, r.top()), QPoint(right, r.bottom())), gripBrush);
        for (int x = left; x < right; x += 2)
            painter.drawLine(x, r.top(), x, r.bottom());
    }
}

QVisibleHandleSplitter::QVisibleHandleSplitter(QWidget* parent) : QSplitter(parent) {}

QVisibleHandleSplitter::QVisibleHandleSplitter(Qt::Orientation orientation, QWidget* parent)
    : QSplitter(orientation, parent)
{
}

QSplitterHandle* QVisibleHandleSplitter::createHandle() { return new QVisibleGripSplitterHandle(orientation(), this); }

template <typename Change>
void QVisibleHandleSplitter::forEachGripHandle(Change change)
{
    for (int index = 0; index < count(); ++index) {
        if (auto* gripHandle = qobject_cast<QVisibleGripSplitterHandle*>(handle(index)))
            change(*gripHandle);
    }
}

void QVisibleHandleSplitter::setGripVisible(bool visible)
{
    forEachGripHandle([visible](QVisibleGripSplitterHandle& h) { h.setGripVisible(visible); });
}

void QVisibleHandleSplitter::setHighlightOnHover(bool highlight)
{
    forEachGripHandle([highlight](QVisibleGripSplitterHandle& h) { h.setHighlightOnHover(highlight); });
}

void QVisibleHandleSplitter::setGripLength(int length)
{
    forEachGripHandle([length](QVisibleGripSplitterHandle& h) { h.setGripLength(length); });
}

// Handle 1 sits between the first and the second widget; moving it needs both.
void QVisibleHandleSplitter::collapseFirstWidget()
{
    if (hasSecondWidget())
        moveSplitter(0, 1);
}

void QVisibleHandleSplitter::collapseSecondWidget()
{
    if (!hasSecondWidget())
        return;
    // Any position past the far end is clamped to it. The parent's width is
    // usually beyond it; the splitter's own length along its orientation
    // covers a splitter without a parent, or one longer than its parent.
    const int ownLength = orientation() == Qt::Horizontal ? width() : height();
    const int parentWidth = parentWidget() != nullptr ? parentWidget()->width() : 0;
    moveSplitter(std::max(parentWidth, ownLength), 1);
}

void QVisibleHandleSplitter::expandSecondWidget()
{
    if (!hasSecondWidget() || sizes().at(1) != 0)
        return;
    int minimum = 0;
    int maximum = 0;
    getRange(1, &minimum, &maximum);
    moveSplitter(maximum / 2, 1);
}

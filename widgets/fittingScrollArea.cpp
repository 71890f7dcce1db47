#include "widgets/fittingScrollArea.h"

#include <QEvent>
#include <QScrollBar>
#include <QStyle>

namespace {
constexpr int smallestHeight = 60;  // pixels: room for a few rows while the window is very short
}

fittingScrollArea::fittingScrollArea(QWidget* parent) : QScrollArea(parent)
{
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

QSize fittingScrollArea::sizeHint() const
{
    if (!widget())
        return QScrollArea::sizeHint();
    const int frame = 2 * frameWidth();
    return widget()->sizeHint() + QSize(frame, frame);
}

QSize fittingScrollArea::minimumSizeHint() const
{
    if (!widget())
        return QScrollArea::minimumSizeHint();
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    return {widget()->minimumSizeHint().width() + scrollBar + 2 * frameWidth(), smallestHeight};
}

// The scroll area watches its widget already; a change of the widget's
// layout (rows shown or hidden) renews the hints.
bool fittingScrollArea::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::LayoutRequest && watched == widget())
        updateGeometry();
    return QScrollArea::eventFilter(watched, event);
}

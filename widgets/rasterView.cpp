#include "widgets/rasterView.h"

#include <QResizeEvent>
#include <limits>

rasterView::rasterView(QWidget* parent) : QLabel(parent)
{
    // An explicit minimum lets layouts shrink the view below the size of the
    // pixmap on display.
    setMinimumSize(1, 1);
    setScaledContents(false);
}

void rasterView::setPixmap(const QPixmap& picture)
{
    sourcePicture_ = picture;
    QLabel::setPixmap(scaledPixmap());
}

QPixmap rasterView::scaledPixmap() const
{
    if (sourcePicture_.isNull())
        return sourcePicture_;
    return sourcePicture_.scaled(size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

int rasterView::heightForWidth(int width) const
{
    if (sourcePicture_.isNull())
        return height();
    const double scaledHeight = static_cast<double>(sourcePicture_.height()) * width / sourcePicture_.width();
    // Converting a double beyond int's range is undefined; a tall picture
    // asked about a huge width gets the largest height an int holds.
    if (scaledHeight >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (scaledHeight <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(scaledHeight);
}

QSize rasterView::sizeHint() const { return QSize(width(), heightForWidth(width())); }

void rasterView::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    if (!sourcePicture_.isNull())
        QLabel::setPixmap(scaledPixmap());
}

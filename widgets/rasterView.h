#pragma once

#include <QLabel>
#include <QPixmap>
#include <QSize>

class QResizeEvent;

// Shows a picture scaled to the label's size with its aspect ratio kept.
// Every display is scaled from the full-resolution picture, so shrinking and
// enlarging the view never blurs it.
class rasterView : public QLabel
{
    Q_OBJECT

public:
    explicit rasterView(QWidget* parent = nullptr);

    // Hides QLabel::setPixmap: keeps the picture and shows a scaled copy.
    void setPixmap(const QPixmap& picture);
    QPixmap scaledPixmap() const;

    QSize sizeHint() const override;
    int heightForWidth(int width) const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QPixmap sourcePicture_;
};

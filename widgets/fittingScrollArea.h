#pragma once

#include <QScrollArea>

// A scroll area that asks for the whole of its widget's size, so that it
// scrolls only when its window is too small to show the widget, and that
// needs no more width than the widget's own minimum beside a vertical
// scroll bar: it never scrolls sideways.
class fittingScrollArea : public QScrollArea
{
    Q_OBJECT

public:
    explicit fittingScrollArea(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

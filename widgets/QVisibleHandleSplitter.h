#pragma once

#include <QSplitter>
#include <QSplitterHandle>

class QEnterEvent;
class QEvent;
class QPaintEvent;

// A splitter handle that paints a striped grip in its middle and can light up
// while the mouse is over it.
class QVisibleGripSplitterHandle : public QSplitterHandle
{
    Q_OBJECT

public:
    QVisibleGripSplitterHandle(Qt::Orientation orientation, QSplitter* parent);

    void setGripLength(int length) { gripLength_ = length; }
    int gripLength() const { return gripLength_; }
    void setHighlightOnHover(bool highlight) { highlightOnHover_ = highlight; }
    bool highlightOnHover() const { return highlightOnHover_; }
    void setGripVisible(bool visible) { gripVisible_ = visible; }
    bool gripVisible() const { return gripVisible_; }
    bool hovered() const { return hovered_; }

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int gripLength_ = 96;
    bool hovered_ = false;
    bool highlightOnHover_ = true;
    bool gripVisible_ = true;
};

// A splitter whose handles show a grip, with shortcuts to collapse either
// side and to bring a collapsed second side back.
class QVisibleHandleSplitter : public QSplitter
{
    Q_OBJECT

public:
    explicit QVisibleHandleSplitter(QWidget* parent = nullptr);
    explicit QVisibleHandleSplitter(Qt::Orientation orientation, QWidget* parent = nullptr);

    // These change the flags only; each handle shows them at its next repaint.
    void setGripVisible(bool visible);
    void setHighlightOnHover(bool highlight);
    void setGripLength(int length);

    void collapseFirstWidget();
    void collapseSecondWidget();
    // Brings a collapsed second widget back with the handle halfway along.
    void expandSecondWidget();

protected:
    QSplitterHandle* createHandle() override;

private:
    template <typename Change>
    void forEachGripHandle(Change change);
    bool hasSecondWidget() const { return count() > 1; }
};

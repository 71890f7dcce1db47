#pragma once

#include <QImage>
#include <QList>
#include <QRectF>
#include <QPoint>
#include <QPointF>
#include <QString>
#include <QWidget>

#include "widgets/mapOverlay.h"

// Shows a raster picture, one pixel per cell, that can be zoomed (wheel,
// + and - keys), panned (drag, arrow keys) and fitted to the view (0 key,
// double click). Tells which cell is under the mouse. Without a picture it
// shows a placeholder text; a note and labelled shapes can be laid over the
// picture, the shapes drawn in screen pixels so that they stay thin at any
// zoom.
class QPainter;

class mapView : public QWidget
{
    Q_OBJECT

public:
    explicit mapView(QWidget* parent = nullptr);

    void setPicture(const QImage& picture);  // fitted to the view unless it keeps the size of the last one
    bool hasPicture() const { return !picture_.isNull(); }
    const QImage& picture() const { return picture_; }
    void setPlaceholderText(const QString& text);
    void setNote(const QString& text);
    QString note() const { return note_; }
    void setOverlay(const QList<mapOverlayShape>& shapes);
    const QList<mapOverlayShape>& overlay() const { return overlay_; }

    // Screen pixels per cell.
    double zoom() const { return scale_; }
    void zoomBy(double factor, const QPointF& anchor);
    void fitToView();
    // Shows `area` (picture pixels) whole and centred, with a margin, no
    // closer than the largest zoom; a point or a line gets a few cells around it.
    void zoomToArea(const QRectF& area);
    // The cell (x column, y row) under a point of the widget; (-1, -1) outside the picture.
    QPoint cellAt(const QPointF& position) const;

signals:
    void cellHovered(int row, int col);
    void hoverLeft();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    double fitScale() const;
    void reportHover(const QPointF& position);
    void paintOverlay(QPainter& painter) const;

    QImage picture_;
    QString placeholder_;
    QString note_;
    QList<mapOverlayShape> overlay_;
    double scale_ = 1.0;
    QPointF origin_;  // where the picture's top-left corner lies in the widget
    bool fitted_ = true;
    bool dragging_ = false;
    QPointF dragStart_;
    QPointF originAtDragStart_;
    QPoint hovered_{-1, -1};
};

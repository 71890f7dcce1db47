#pragma once

#include <QString>
#include <QVector>
#include <QWidget>

// A small bar chart of a distribution, painted directly: a title, the bars
// scaled to the highest, and the values at both ends of the axis.
class histogramChart : public QWidget
{
    Q_OBJECT

public:
    explicit histogramChart(QWidget* parent = nullptr);

    // Bars of equal width, the first starting at `from`, each `width` wide,
    // in `unit`. No bars (or all empty) show "no data".
    void setBars(const QString& title, const QVector<double>& heights, double from, double width, const QString& unit);
    void clear();

    QVector<double> bars() const { return heights_; }
    QSize sizeHint() const override { return {220, 120}; }
    QSize minimumSizeHint() const override { return {160, 90}; }

    // Fixed bins regrouped into at most `most` bars over the range that holds
    // counts: the bars and the first edge and width of the new bins.
    struct regrouped
    {
        QVector<double> heights;
        double from = 0.0;
        double width = 0.0;
    };
    static regrouped regroup(const QVector<double>& counts, double from, double width, int most);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString title_;
    QVector<double> heights_;
    double from_ = 0.0;
    double width_ = 0.0;
    QString unit_;
};

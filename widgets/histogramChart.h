#pragma once

#include <QString>
#include <QtNumeric>
#include <QVector>
#include <QWidget>

// A small bar chart of a distribution, painted directly: a title, the bars
// scaled to the highest, a count axis (0 and the highest count) and the
// values at both ends and the middle of the value axis.
class histogramChart : public QWidget
{
    Q_OBJECT

public:
    explicit histogramChart(QWidget* parent = nullptr);

    // Bars of equal width over `from` to `to`, in `unit`. No bars (or all
    // empty) show "no data".
    void setBars(const QString& title, const QVector<double>& heights, double from, double to, const QString& unit);
    void clear();

    QVector<double> bars() const { return heights_; }
    double from() const { return from_; }
    double to() const { return to_; }
    QSize sizeHint() const override { return {220, 130}; }
    QSize minimumSizeHint() const override { return {160, 100}; }

    // Fixed bins (the first from `from`, each `width` wide) regrouped into
    // at most `most` bars over the bins that hold counts. The range ends at
    // `largest` where that lies inside the last bin with counts (the largest
    // value is known, the bins are coarser): the bars, and where they begin
    // and end.
    struct regrouped
    {
        QVector<double> heights;
        double from = 0.0;
        double to = 0.0;
    };
    static regrouped regroup(const QVector<double>& counts, double from, double width, int most,
                             double largest = qInf());

    // The digits after the point that tell the ends of a range apart.
    static int decimalsFor(double from, double to);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString title_;
    QVector<double> heights_;
    double from_ = 0.0;
    double to_ = 0.0;
    QString unit_;
};

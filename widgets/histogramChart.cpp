#include "widgets/histogramChart.h"

#include <algorithm>
#include <cmath>

#include <QPainter>

histogramChart::histogramChart(QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setMinimumHeight(minimumSizeHint().height());
}

void histogramChart::setBars(const QString& title, const QVector<double>& heights, double from, double to,
                             const QString& unit)
{
    title_ = title;
    heights_ = heights;
    from_ = from;
    to_ = to;
    unit_ = unit;
    update();
}

void histogramChart::clear() { setBars(title_, {}, 0.0, 0.0, unit_); }

histogramChart::regrouped histogramChart::regroup(const QVector<double>& counts, double from, double width, int most,
                                                  double largest)
{
    regrouped result;
    qsizetype first = 0;
    qsizetype last = counts.size() - 1;
    while (first <= last && counts[first] <= 0.0)
        ++first;
    while (last >= first && counts[last] <= 0.0)
        --last;
    if (first > last || most <= 0)
        return result;
    const qsizetype span = last - first + 1;
    const qsizetype perBar = (span + most - 1) / most;
    result.from = from + static_cast<double>(first) * width;
    for (qsizetype i = first; i <= last; i += perBar) {
        double sum = 0.0;
        for (qsizetype j = i; j < std::min(i + perBar, last + 1); ++j)
            sum += counts[j];
        result.heights.append(sum);
    }
    result.to = result.from + static_cast<double>(result.heights.size() * perBar) * width;
    // The last bin with counts holds the largest value: the range ends there.
    const double lastBinStart = from + static_cast<double>(last) * width;
    if (largest >= lastBinStart && largest < result.to)
        result.to = std::max(largest, result.from);
    return result;
}

int histogramChart::decimalsFor(double from, double to)
{
    const double span = std::abs(to - from);
    if (!(span > 0.0) || span >= 10.0)
        return 0;
    return span >= 1.0 ? 1 : 2;
}

void histogramChart::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    const QFontMetrics metrics(font());
    const int line = metrics.height();
    const QColor text = palette().text().color();
    painter.setPen(text);
    painter.drawText(QRect(4, 2, width() - 8, line), Qt::AlignLeft | Qt::AlignVCenter, title_);
    const double highest = heights_.isEmpty() ? 0.0 : *std::max_element(heights_.begin(), heights_.end());
    // The count axis on the left, as wide as its largest label.
    const QString top = QString::number(highest, 'f', 0);
    const int countAxis = metrics.horizontalAdvance(top) + 6;
    const QRect plot(countAxis + 4, line + 6, width() - countAxis - 10, height() - 2 * line - 12);
    if (!(highest > 0.0) || plot.width() <= 0 || plot.height() <= 0) {
        painter.drawText(rect().adjusted(4, line + 6, -4, -4), Qt::AlignCenter, tr("no data"));
        return;
    }
    const double barWidth = static_cast<double>(plot.width()) / static_cast<double>(heights_.size());
    for (qsizetype i = 0; i < heights_.size(); ++i) {
        const double h = heights_[i] / highest * plot.height();
        const QRectF bar(plot.left() + barWidth * static_cast<double>(i), plot.bottom() + 1 - h,
                         std::max(1.0, barWidth - 1.0), h);
        painter.fillRect(bar, QColor(0xbd, 0x00, 0x26));
    }
    painter.setPen(text);
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());
    painter.drawLine(plot.bottomLeft(), plot.topLeft());
    // Counts: 0 at the foot, the highest bar's at its top.
    const QRect counts(0, plot.top(), countAxis, plot.height() + 1);
    painter.drawText(counts, Qt::AlignRight | Qt::AlignTop, top);
    painter.drawText(counts, Qt::AlignRight | Qt::AlignBottom, QStringLiteral("0"));
    painter.drawLine(plot.left() - 3, plot.top(), plot.left(), plot.top());
    // Values: both ends and the middle, ticked, the unit after the last.
    const int digits = decimalsFor(from_, to_);
    const QRect axis(plot.left(), plot.bottom() + 3, plot.width(), line);
    painter.drawText(axis, Qt::AlignLeft | Qt::AlignVCenter, QString::number(from_, 'f', digits));
    painter.drawText(axis, Qt::AlignHCenter | Qt::AlignVCenter, QString::number((from_ + to_) / 2.0, 'f', digits));
    painter.drawText(axis, Qt::AlignRight | Qt::AlignVCenter,
                     QStringLiteral("%1 %2").arg(QString::number(to_, 'f', digits), unit_));
    for (const int x : {plot.left(), plot.center().x(), plot.right()})
        painter.drawLine(x, plot.bottom(), x, plot.bottom() + 2);
}

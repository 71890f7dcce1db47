#include "widgets/histogramChart.h"

#include <algorithm>
#include <cmath>

#include <QPainter>

histogramChart::histogramChart(QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setMinimumHeight(minimumSizeHint().height());
}

void histogramChart::setBars(const QString& title, const QVector<double>& heights, double from, double width,
                             const QString& unit)
{
    title_ = title;
    heights_ = heights;
    from_ = from;
    width_ = width;
    unit_ = unit;
    update();
}

void histogramChart::clear() { setBars(title_, {}, 0.0, 0.0, unit_); }

histogramChart::regrouped histogramChart::regroup(const QVector<double>& counts, double from, double width, int most)
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
    result.width = static_cast<double>(perBar) * width;
    for (qsizetype i = first; i <= last; i += perBar) {
        double sum = 0.0;
        for (qsizetype j = i; j < std::min(i + perBar, last + 1); ++j)
            sum += counts[j];
        result.heights.append(sum);
    }
    return result;
}

void histogramChart::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    const QFontMetrics metrics(font());
    const int line = metrics.height();
    painter.setPen(palette().text().color());
    painter.drawText(QRect(4, 2, width() - 8, line), Qt::AlignLeft | Qt::AlignVCenter, title_);
    const QRect plot(6, line + 6, width() - 12, height() - 2 * line - 12);
    const double highest = heights_.isEmpty() ? 0.0 : *std::max_element(heights_.begin(), heights_.end());
    if (!(highest > 0.0) || plot.width() <= 0 || plot.height() <= 0) {
        painter.drawText(plot, Qt::AlignCenter, tr("no data"));
        return;
    }
    const double barWidth = static_cast<double>(plot.width()) / static_cast<double>(heights_.size());
    for (qsizetype i = 0; i < heights_.size(); ++i) {
        const double h = heights_[i] / highest * plot.height();
        const QRectF bar(plot.left() + barWidth * static_cast<double>(i), plot.bottom() + 1 - h,
                         std::max(1.0, barWidth - 1.0), h);
        painter.fillRect(bar, QColor(0xbd, 0x00, 0x26));
    }
    painter.setPen(palette().text().color());
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());
    const double to = from_ + width_ * static_cast<double>(heights_.size());
    const int digits = width_ < 1.0 ? 1 : 0;
    const QRect axis(plot.left(), plot.bottom() + 3, plot.width(), line);
    painter.drawText(axis, Qt::AlignLeft | Qt::AlignVCenter, QString::number(from_, 'f', digits));
    painter.drawText(axis, Qt::AlignRight | Qt::AlignVCenter,
                     QStringLiteral("%1 %2").arg(QString::number(to, 'f', digits), unit_));
}

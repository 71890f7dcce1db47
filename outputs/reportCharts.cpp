#include <algorithm>
#include <cmath>

#include <QLocale>
#include <QPainter>

#include "outputs/reportFigures.h"
#include "outputs/reportPainting.h"

namespace {

constexpr int mostBars = 30;
constexpr QRgb barColour = 0xffbd0026;  // the darkest class of the reach probability, as the window's charts

// Fixed bins regrouped into at most `most` bars over the range that holds
// counts, as the window's charts show them: the bars and the first edge and
// width of the new bins.
struct regroupedBins
{
    std::vector<double> heights;
    double from = 0.0;
    double width = 0.0;
};

regroupedBins regroup(const std::vector<uint64_t>& counts, double from, double width, int most)
{
    regroupedBins result;
    std::size_t first = 0;
    std::size_t end = counts.size();
    while (first < end && counts[first] == 0)
        ++first;
    while (end > first && counts[end - 1] == 0)
        --end;
    if (first == end)
        return result;
    const std::size_t perBar = (end - first + most - 1) / most;
    result.from = from + static_cast<double>(first) * width;
    result.width = static_cast<double>(perBar) * width;
    for (std::size_t i = first; i < end; i += perBar) {
        double sum = 0.0;
        for (std::size_t j = i; j < std::min(i + perBar, end); ++j)
            sum += static_cast<double>(counts[j]);
        result.heights.push_back(sum);
    }
    return result;
}

QString countText(double count) { return QLocale(QLocale::English, QLocale::UnitedStates).toString(count, 'f', 0); }

QString axisText(double value, double step)
{
    const int decimals = step >= 1.0 ? 0 : static_cast<int>(std::ceil(-std::log10(step)));
    return QString::number(value, 'f', decimals);
}

}  // namespace

void paintHistogram(QPainter& painter, const pageUnits& units, const QRectF& area, const QString& title,
                    const QString& unit, const std::vector<uint64_t>& counts, double from, double binWidth)
{
    painter.save();
    painter.setFont(reportFont(9, true));
    const double titleHeight = painter.fontMetrics().height();
    painter.drawText(QRectF(area.left(), area.top(), area.width(), titleHeight), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("%1 (%2)").arg(title, unit));
    painter.setFont(reportFont(7));
    const double line = painter.fontMetrics().height();
    const regroupedBins bins = regroup(counts, from, binWidth, mostBars);
    const double highest = bins.heights.empty() ? 0.0 : *std::max_element(bins.heights.begin(), bins.heights.end());
    const QRectF plot(area.left() + units.mm(14), area.top() + titleHeight + line + units.mm(1),
                      area.width() - units.mm(16), area.height() - titleHeight - 3 * line - units.mm(3));
    if (!(highest > 0.0) || plot.width() <= 0 || plot.height() <= 0) {
        painter.drawText(plot, Qt::AlignCenter, QStringLiteral("no trajectories"));
        painter.restore();
        return;
    }
    const QPen axisPen(Qt::black, units.mm(0.2));
    const QPen gridPen(QColor(200, 200, 200), units.mm(0.1));
    // The count axis: round steps from 0 to above the highest bar.
    const double step = axisStep(highest, 4, 1.0);
    const double top = std::ceil(highest / step) * step;
    const auto yOf = [&](double count) { return plot.bottom() - count / top * plot.height(); };
    for (int k = 0; k * step <= top; ++k) {
        const double y = yOf(k * step);
        painter.setPen(gridPen);
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        painter.setPen(axisPen);
        painter.drawText(QRectF(area.left(), y - line / 2, units.mm(13), line), Qt::AlignRight | Qt::AlignVCenter,
                         countText(k * step));
    }
    painter.drawText(QRectF(area.left(), plot.top() - line - units.mm(1), area.width(), line),
                     Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("trajectories"));
    const double barWidth = plot.width() / static_cast<double>(bins.heights.size());
    for (std::size_t i = 0; i < bins.heights.size(); ++i) {
        const double y = yOf(bins.heights[i]);
        painter.fillRect(QRectF(plot.left() + barWidth * static_cast<double>(i), y,
                                std::max(barWidth - units.mm(0.3), units.mm(0.2)), plot.bottom() - y),
                         QColor::fromRgb(barColour));
    }
    painter.setPen(axisPen);
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());
    painter.drawLine(plot.bottomLeft(), plot.topLeft());
    // The other axis: round values between the first bar's lower edge and the last one's upper.
    const double to = bins.from + bins.width * static_cast<double>(bins.heights.size());
    const double xStep = axisStep(to - bins.from, 5, 0.0);
    const auto xOf = [&](double value) { return plot.left() + (value - bins.from) / (to - bins.from) * plot.width(); };
    for (double k = std::ceil(bins.from / xStep); k * xStep <= to + xStep * 1e-9; k += 1.0) {
        const double value = k * xStep + 0.0;  // never -0
        const double x = xOf(value);
        painter.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + units.mm(1)));
        painter.drawText(QRectF(x - units.mm(8), plot.bottom() + units.mm(1.2), units.mm(16), line),
                         Qt::AlignHCenter | Qt::AlignTop, axisText(value, xStep));
    }
    painter.drawText(QRectF(plot.left(), plot.bottom() + units.mm(1.2) + line, plot.width(), line),
                     Qt::AlignHCenter | Qt::AlignTop, unit);
    painter.restore();
}

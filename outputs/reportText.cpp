#include <algorithm>
#include <numeric>

#include <QPainter>
#include <QTextLayout>

#include "outputs/reportPainting.h"

namespace {

constexpr double cellPadding = 1.2;  // mm on each side of a table cell's text

bool isNumber(const QString& text)
{
    bool number = false;
    text.toDouble(&number);
    return number;
}

}  // namespace

QFont reportFont(double points, bool bold)
{
    QFont font;
    font.setStyleHint(QFont::SansSerif);
    font.setFamily(QStringLiteral("Sans Serif"));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

double wrappedText(QPainter& painter, const QString& text, const QPointF& topLeft, double width, bool draw)
{
    QTextLayout layout(text, painter.font(), painter.device());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    double height = 0.0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0.0, height));
        height += line.height();
    }
    layout.endLayout();
    if (draw)
        layout.draw(&painter, topLeft);
    return height;
}

double paintTable(QPainter& painter, const pageUnits& units, const QRectF& area, const QList<QStringList>& rows,
                  const QString& leftOutText)
{
    if (rows.isEmpty())
        return 0.0;
    painter.save();
    const QStringList& header = rows.first();
    const qsizetype columns = header.size();
    const QFont headerFont = reportFont(6.5, true);
    const QFont cellFont = reportFont(6.5);
    // Each column as wide as its widest cell or its header's longest word.
    std::vector<double> widths(static_cast<std::size_t>(columns), 0.0);
    painter.setFont(headerFont);
    for (qsizetype c = 0; c < columns; ++c)
        for (const QString& word : header[c].split(u' '))
            widths[c] = std::max(widths[c], painter.fontMetrics().horizontalAdvance(word) + 0.0);
    painter.setFont(cellFont);
    for (qsizetype r = 1; r < rows.size(); ++r)
        for (qsizetype c = 0; c < std::min(columns, rows[r].size()); ++c)
            widths[c] = std::max(widths[c], painter.fontMetrics().horizontalAdvance(rows[r][c]) + 0.0);
    for (double& width : widths)
        width += 2 * units.mm(cellPadding);
    // Spread over the area's width: wider where there is room, narrower (and wrapped) where there is not.
    const double total = std::accumulate(widths.begin(), widths.end(), 0.0);
    for (double& width : widths)
        width *= area.width() / total;
    const auto cellText = [&](const QStringList& row, qsizetype c) { return c < row.size() ? row[c] : QString(); };
    const auto rowHeight = [&](const QStringList& row) {
        double height = 0.0;
        for (qsizetype c = 0; c < columns; ++c)
            height = std::max(height, wrappedText(painter, cellText(row, c), QPointF(),
                                                  widths[c] - 2 * units.mm(cellPadding), false));
        return height + units.mm(0.8);
    };
    const auto paintRow = [&](const QStringList& row, bool isHeader, double top, double height) {
        double left = area.left();
        for (qsizetype c = 0; c < columns; ++c) {
            const QString text = cellText(row, c);
            const double inner = widths[c] - 2 * units.mm(cellPadding);
            double x = left + units.mm(cellPadding);
            if (!isHeader && isNumber(text))
                x += std::max(0.0, inner - painter.fontMetrics().horizontalAdvance(text));
            wrappedText(painter, text, QPointF(x, top + units.mm(0.4)), inner);
            left += widths[c];
        }
        painter.setPen(QPen(QColor(170, 170, 170), units.mm(0.1)));
        painter.drawLine(QPointF(area.left(), top + height), QPointF(area.right(), top + height));
        painter.setPen(Qt::black);
    };

    painter.setFont(headerFont);
    double top = area.top();
    const double headerHeight = rowHeight(header);
    paintRow(header, true, top, headerHeight);
    top += headerHeight;
    painter.setFont(cellFont);
    const double noteHeight = painter.fontMetrics().height() + units.mm(1);
    qsizetype r = 1;
    for (; r < rows.size(); ++r) {
        const double height = rowHeight(rows[r]);
        const bool last = r + 1 == rows.size();
        if (top + height + (last ? 0.0 : noteHeight) > area.bottom())
            break;
        paintRow(rows[r], false, top, height);
        top += height;
    }
    if (r < rows.size()) {
        top += units.mm(1);
        top += wrappedText(painter, leftOutText.arg(rows.size() - r), QPointF(area.left(), top), area.width());
    }
    painter.restore();
    return top - area.top();
}

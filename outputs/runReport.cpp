#include "outputs/runReport.h"

#include <algorithm>
#include <cmath>

#include <QBuffer>
#include <QFileInfo>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include "engine/runOutStatistics.h"
#include "map/resultMapPicture.h"
#include "map/runResultGrids.h"
#include "outputs/reportPainting.h"
#include "tumbraVersion.h"

namespace {

// A4 in portrait, in millimetres, and the margin kept free on every side.
constexpr double pageWidth = 210.0;
constexpr double pageHeight = 297.0;
constexpr double margin = 15.0;
constexpr double contentWidth = pageWidth - 2 * margin;
constexpr double contentBottom = pageHeight - margin;
constexpr int pdfDotsPerInch = 600;

QString dateText(const QDateTime& time) { return time.toString(QStringLiteral("yyyy-MM-dd HH:mm")); }

void paintFooter(QPainter& painter, const pageUnits& units, int page)
{
    painter.save();
    painter.setFont(reportFont(7));
    painter.setPen(QColor(110, 110, 110));
    painter.drawText(units.rect(margin, contentBottom + 3, contentWidth, 5), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Tumbra %1").arg(QLatin1String(tumbraVersion)));
    painter.drawText(units.rect(margin, contentBottom + 3, contentWidth, 5), Qt::AlignRight | Qt::AlignVCenter,
                     QStringLiteral("page %1 of %2").arg(page + 1).arg(runReportPageCount));
    painter.restore();
}

void paintMapPage(QPainter& painter, const pageUnits& units, const runResultGrids& grids,
                  const runReportContent& content)
{
    const logReport& log = content.log;
    painter.setFont(reportFont(16, true));
    double top = units.mm(margin);
    top += wrappedText(painter, QStringLiteral("Rockfall run report"), QPointF(units.mm(margin), top),
                       units.mm(contentWidth));
    painter.setFont(reportFont(9));
    QString subtitle = QStringLiteral("DEM: %1").arg(QFileInfo(log.demFile).fileName());
    if (log.startTime.isValid())
        subtitle = QStringLiteral("Run of %1 · %2").arg(dateText(log.startTime), subtitle);
    top += wrappedText(painter, subtitle, QPointF(units.mm(margin), top), units.mm(contentWidth));
    painter.setFont(reportFont(10, true));
    wrappedText(painter, resultMapCaption(shownColouring(grids, content.colouring)),
                QPointF(units.mm(margin), top + units.mm(2)), units.mm(contentWidth));

    paintReportMap(painter, units, units.rect(margin, 40, 128, 158), units.rect(150, 40, 45, 158),
                   units.rect(margin, 201, contentWidth, 17), grids, content.system, content.colouring);
    const runOutStatistics& runOuts = grids.runOuts;
    paintHistogram(painter, units, units.rect(margin, 222, 86, 60), QStringLiteral("Run-out"), QStringLiteral("m"),
                   runOuts.runOutCounts, 0.0, runOuts.runOutBinWidth);
    paintHistogram(painter, units, units.rect(margin + 94, 222, 86, 60), QStringLiteral("Travel angle"),
                   QStringLiteral("°"), runOuts.travelAngleCounts, -90.0, 1.0 / runOutStatistics::angleBinsPerDegree);
    paintFooter(painter, units, 0);
}

// Lines of text down a column, each wrapped to its width, as many as fit
// above `bottom`; then a note that the rest are in log.txt. Where it ends.
class textColumn
{
public:
    textColumn(QPainter& painter, const pageUnits& units, double left, double top, double width, double bottom)
        : painter_(painter), units_(units), left_(units.mm(left)), top_(units.mm(top)), width_(units.mm(width)),
          bottom_(units.mm(bottom))
    {
    }

    void heading(const QString& text)
    {
        if (full_)
            return;
        painter_.setFont(reportFont(10, true));
        top_ += units_.mm(1.5);
        add(text);
        top_ += units_.mm(0.8);
    }

    void line(const QString& text)
    {
        painter_.setFont(reportFont(7.5));
        add(text);
    }

    double bottom() const { return top_; }

private:
    void add(const QString& text)
    {
        if (full_)
            return;
        const double height = wrappedText(painter_, text, QPointF(left_, top_), width_, false);
        const double noteHeight = painter_.fontMetrics().height() * 2;
        if (top_ + height + noteHeight > bottom_) {
            painter_.setFont(reportFont(7.5));
            top_ += wrappedText(painter_, QStringLiteral("… the rest in log.txt"), QPointF(left_, top_), width_);
            full_ = true;
            return;
        }
        wrappedText(painter_, text, QPointF(left_, top_), width_);
        top_ += height;
    }

    QPainter& painter_;
    const pageUnits& units_;
    double left_;
    double top_;
    double width_;
    double bottom_;
    bool full_ = false;
};

QString demGridLine(const rasterHeader& dem)
{
    const bool centre = dem.spatialReference == rasterHeader::center;
    return QStringLiteral("DEM grid: %1 rows, %2 columns, cells of %3; lower-left cell %4 at x %5, y %6")
        .arg(dem.nrows)
        .arg(dem.ncols)
        .arg(logValueText(dem.cellsize), centre ? QStringLiteral("centre") : QStringLiteral("corner"),
             logValueText(dem.xll), logValueText(dem.yll));
}

void paintTextPage(QPainter& painter, const pageUnits& units, const runReportContent& content)
{
    const logReport& log = content.log;
    QList<QStringList> objects;
    if (!content.objects.rows.empty()) {
        objects << content.objects.headers;
        for (const QStringList& row : content.objects.rows)
            objects << row;
    }
    // Without objects the columns may fill the page; with them the table keeps the lower part.
    const double columnsBottom = objects.isEmpty() ? contentBottom : 190.0;
    constexpr double columnWidth = (contentWidth - 6.0) / 2;

    textColumn inputs(painter, units, margin, margin, columnWidth, columnsBottom);
    inputs.heading(QStringLiteral("Inputs"));
    for (const auto& [role, path] : content.inputs)
        inputs.line(QStringLiteral("%1: %2").arg(role, path));
    inputs.line(demGridLine(log.dem));
    if (!log.coordinateSystemLine.isEmpty())
        inputs.line(log.coordinateSystemLine);
    inputs.line(QStringLiteral("Results folder: %1").arg(log.resultsFolder));
    if (log.startTime.isValid() && log.endTime.isValid())
        inputs.line(QStringLiteral("Started %1, completed %2").arg(dateText(log.startTime), dateText(log.endTime)));
    inputs.heading(QStringLiteral("Settings"));
    for (const auto& [label, value] : log.settings)
        inputs.line(QStringLiteral("%1: %2").arg(label, value));
    if (log.seed)
        inputs.line(QStringLiteral("Random numbers: seed %1, one random stream per trajectory").arg(*log.seed));

    textColumn summary(painter, units, margin + columnWidth + 6.0, margin, columnWidth, columnsBottom);
    summary.heading(QStringLiteral("Run summary"));
    for (const QString& line : log.summary)
        summary.line(line);

    if (!objects.isEmpty()) {
        const double top = std::max({inputs.bottom(), summary.bottom(), units.mm(margin)}) + units.mm(5);
        painter.setFont(reportFont(10, true));
        const double heading = wrappedText(painter, QStringLiteral("Objects at risk (objects.csv)"),
                                           QPointF(units.mm(margin), top), units.mm(contentWidth));
        paintTable(painter, units,
                   QRectF(units.mm(margin), top + heading + units.mm(1), units.mm(contentWidth),
                          units.mm(contentBottom) - top - heading - units.mm(1)),
                   objects, QStringLiteral("… and %1 more objects, every one in objects.csv"));
    }
    paintFooter(painter, units, 1);
}

}  // namespace

void paintRunReportPage(QPainter& painter, double unitsPerMillimetre, int page, const runResultGrids& grids,
                        const runReportContent& content)
{
    const pageUnits units{unitsPerMillimetre};
    painter.save();
    painter.setPen(Qt::black);
    if (page == 0)
        paintMapPage(painter, units, grids, content);
    else
        paintTextPage(painter, units, content);
    painter.restore();
}

QByteArray runReportPdf(const runResultGrids& grids, const runReportContent& content)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly))
        return {};
    {
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageOrientation(QPageLayout::Portrait);
        writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
        writer.setResolution(pdfDotsPerInch);
        writer.setTitle(QStringLiteral("Rockfall run report: %1").arg(QFileInfo(content.log.demFile).fileName()));
        writer.setCreator(QStringLiteral("Tumbra %1").arg(QLatin1String(tumbraVersion)));
        QPainter painter(&writer);
        if (!painter.isActive())
            return {};
        for (int page = 0; page < runReportPageCount; ++page) {
            if (page > 0 && !writer.newPage())
                return {};
            paintRunReportPage(painter, pdfDotsPerInch / 25.4, page, grids, content);
        }
        if (!painter.end())
            return {};
    }
    return bytes;
}

QImage runReportPagePicture(const runResultGrids& grids, const runReportContent& content, int page, int dotsPerInch)
{
    const double perMillimetre = dotsPerInch / 25.4;
    QImage picture(int(std::lround(pageWidth * perMillimetre)), int(std::lround(pageHeight * perMillimetre)),
                   QImage::Format_RGB32);
    if (picture.isNull())
        return picture;
    // Fonts are sized by the picture's resolution, as on the PDF's pages.
    const int dotsPerMetre = int(std::lround(dotsPerInch / 0.0254));
    picture.setDotsPerMeterX(dotsPerMetre);
    picture.setDotsPerMeterY(dotsPerMetre);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    paintRunReportPage(painter, perMillimetre, page, grids, content);
    painter.end();
    return picture;
}

writeOutcome writeRunReport(const outputTarget& target, const runResultGrids& grids, const runReportContent& content,
                            messageSink& sink)
{
    const QByteArray pdf = runReportPdf(grids, content);
    if (pdf.isEmpty()) {
        sink.error(QStringLiteral("Failed to write the report %1: its pages could not be made.").arg(target.name));
        return writeOutcome::failed;
    }
    return writeWholeFile(target, pdf, sink);
}

QString saveRunReport(const QString& fileName, const runResultGrids& grids, const runReportContent& content)
{
    firstProblemSink sink;
    if (writeRunReport(outputTarget(fileName), grids, content, sink) != writeOutcome::written && sink.text.isEmpty())
        sink.text = QStringLiteral("Failed to write the report %1.").arg(fileName);
    return sink.text;
}

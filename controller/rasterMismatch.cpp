#include "controller/rasterMismatch.h"

namespace {
QString fixed(double value) { return QString::number(value, 'f', 1); }
}  // namespace

QString rasterHeaderSummary(const rasterHeader& header)
{
    const QString reference = header.spatialReference == rasterHeader::center ? QStringLiteral("lower-left cell centre")
                              : header.spatialReference == rasterHeader::corner
                                  ? QStringLiteral("lower-left corner")
                                  : QStringLiteral("lower-left point (reference undefined)");
    return QStringLiteral("%1 rows, %2 columns, %3 %4 / %5, cell size %6")
        .arg(header.nrows)
        .arg(header.ncols)
        .arg(reference, fixed(header.xll), fixed(header.yll), QString::number(header.cellsize, 'g', 9));
}

void rasterMismatchSink::reportTo(const QString& demFile, const rasterHeader& dem, const QString& startCellsFile,
                                  const rasterHeader& startCells)
{
    if (sentences_.isEmpty())
        return;
    next_.error(QStringLiteral("%1\nDEM %2: %3\nStart cells %4: %5")
                    .arg(sentences_.join(QLatin1Char(' ')), demFile, rasterHeaderSummary(dem), startCellsFile,
                         rasterHeaderSummary(startCells)));
    sentences_.clear();
}

#include "controller/rasterMismatch.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace {
QString fixed(double value) { return QString::number(value, 'f', 1); }

// Up to six decimals, without trailing zeros: 600200, 0.5, not 0.500000001490116.
QString shortNumber(double value)
{
    QString text = QString::number(value, 'f', 6);
    while (text.endsWith(u'0'))
        text.chop(1);
    if (text.endsWith(u'.'))
        text.chop(1);
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

// A path as a shell takes it: quoted where it holds anything beyond the plain characters.
QString shellWord(const QString& path)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./+:-]+$"));
    if (plain.match(path).hasMatch())
        return path;
    return u'\'' + QString(path).replace(u'\'', QStringLiteral("'\\''")) + u'\'';
}
}  // namespace

QString startCellsOnDemGridCommand(const rasterHeader& dem, const QString& startCellsFile)
{
    const double cellsize = dem.cellsize;
    const double half = dem.spatialReference == rasterHeader::center ? cellsize / 2.0 : 0.0;
    const double west = double(dem.xll) - half;
    const double south = double(dem.yll) - half;
    const QFileInfo start(startCellsFile);
    const QString target = start.path() + u'/' + start.completeBaseName() + QStringLiteral("_on_dem_grid.tif");
    return QStringLiteral("gdalwarp -te %1 %2 %3 %4 -tr %5 %5 -r near %6 %7")
        .arg(shortNumber(west), shortNumber(south), shortNumber(west + dem.ncols * cellsize),
             shortNumber(south + dem.nrows * cellsize), shortNumber(cellsize), shellWord(startCellsFile),
             shellWord(target));
}

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

void rasterMismatchSink::reportTo(const QString& demFile, const rasterHeader& dem, const QString& otherFile,
                                  const rasterHeader& other, const QString& role)
{
    if (sentences_.isEmpty())
        return;
    const QString label = role.left(1).toUpper() + role.mid(1);
    next_.error(QStringLiteral("%1\nDEM %2: %3\n%7 %4: %5\nTo put the %8 on the DEM's grid, run\n  %6\nand give the "
                               "file it writes as the %8.")
                    .arg(sentences_.join(QLatin1Char(' ')), demFile, rasterHeaderSummary(dem), otherFile,
                         rasterHeaderSummary(other), startCellsOnDemGridCommand(dem, otherFile), label, role));
    sentences_.clear();
}

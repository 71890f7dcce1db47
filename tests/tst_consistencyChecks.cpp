#include <QTest>

#include "raster/consistencyChecks.h"

namespace {

class recordingSink final : public messageSink
{
public:
    void error(const QString& text) override { log << QStringLiteral("error: ") + text; }
    void warning(const QString& text) override { log << QStringLiteral("warning: ") + text; }
    void message(const QString& text) override { log << QStringLiteral("message: ") + text; }
    void warningBox(const QString& text) override { log << QStringLiteral("box: ") + text; }
    QStringList log;
};

rasterHeader demHeader()
{
    rasterHeader header;
    header.nrows = 40;
    header.ncols = 30;
    header.xll = 600000.0f;
    header.yll = 5100000.0f;
    header.cellsize = 2.0f;
    header.nodataValue = -9999.0f;
    header.spatialReference = rasterHeader::corner;
    return header;
}

const QString demFile = QStringLiteral("dem.asc");

} // namespace

Q_DECLARE_METATYPE(rasterHeader)

class tst_consistencyChecks : public QObject
{
    Q_OBJECT

private slots:
    void acceptsOnlyTheSameGrid_data()
    {
        QTest::addColumn<rasterHeader>("dem");
        QTest::addColumn<rasterHeader>("startCells");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<int>("demReferenceAfter");

        const rasterHeader dem = demHeader();
        const int corner = rasterHeader::corner;
        QTest::newRow("same grid") << dem << dem << true << QStringList() << corner;

        rasterHeader other = dem;
        other.nodataValue = 0.0f;
        QTest::newRow("NODATA values are not compared") << dem << other << true << QStringList() << corner;

        other = dem;
        other.ncols = 31;
        QTest::newRow("columns differ") << dem << other << false
                                        << QStringList{"error: Inconsistent number of columns in data!"} << corner;
        other = dem;
        other.nrows = 39;
        QTest::newRow("rows differ") << dem << other << false
                                     << QStringList{"error: Inconsistent number of rows in data!"} << corner;
        other.ncols = 29;
        other.cellsize = 5.0f;
        QTest::newRow("both dimensions differ, columns first, nothing else checked")
            << dem << other << false
            << QStringList{"error: Inconsistent number of columns in data!",
                           "error: Inconsistent number of rows in data!"}
            << corner;

        other = dem;
        other.spatialReference = rasterHeader::center;
        QTest::newRow("corner against center")
            << dem << other << false << QStringList{"error: Digital models don't use the same spatial reference!"}
            << corner;
        other.spatialReference = rasterHeader::undefined;
        QTest::newRow("corner against undefined")
            << dem << other << false << QStringList{"error: Digital models don't use the same spatial reference!"}
            << corner;
        rasterHeader undefinedDem = dem;
        undefinedDem.spatialReference = rasterHeader::undefined;
        QTest::newRow("both undefined: warning, DEM becomes corner")
            << undefinedDem << other << true
            << QStringList{"warning: Undefined or unknown spatial reference in file dem.asc! "
                           "Using 'corner' as default."}
            << corner;
        rasterHeader centerDem = dem;
        centerDem.spatialReference = rasterHeader::center;
        rasterHeader centerCells = centerDem;
        QTest::newRow("both center stay center") << centerDem << centerCells << true << QStringList()
                                                 << int(rasterHeader::center);

        const QStringList coordinatesError{"error: Digital models don't use the same coordinates!"};
        other = dem;
        other.xll = 600000.4f;
        QTest::newRow("xll 0.4 apart passes") << dem << other << true << QStringList() << corner;
        other.xll = 600000.5f;
        QTest::newRow("xll 0.5 apart rounds away") << dem << other << false << coordinatesError << corner;
        rasterHeader halfDem = dem;
        halfDem.xll = 10.5f;
        other = dem;
        other.xll = 11.4f;
        QTest::newRow("10.5 and 11.4 both round to 11") << halfDem << other << true << QStringList() << corner;
        halfDem.xll = -10.5f;
        other.xll = -11.4f;
        QTest::newRow("negative halves round away from zero") << halfDem << other << true << QStringList() << corner;
        other = dem;
        other.yll = 5100001.0f;
        QTest::newRow("yll differ") << dem << other << false << coordinatesError << corner;

        other = dem;
        other.cellsize = 2.0001f;
        QTest::newRow("cellsize 2 against 2.0001")
            << dem << other << false << QStringList{"error: Digital models don't use the same cellsize!"} << corner;
        other.spatialReference = rasterHeader::center;
        QTest::newRow("first failing check stops the rest")
            << dem << other << false << QStringList{"error: Digital models don't use the same spatial reference!"}
            << corner;
    }

    void acceptsOnlyTheSameGrid()
    {
        QFETCH(rasterHeader, dem);
        QFETCH(rasterHeader, startCells);
        QFETCH(bool, result);
        QFETCH(QStringList, log);
        QFETCH(int, demReferenceAfter);

        recordingSink sink;
        QCOMPARE(checkRasterConsistency(dem, startCells, demFile, sink), result);
        QCOMPARE(sink.log, log);
        QCOMPARE(dem.spatialReference, demReferenceAfter);
    }
};

QTEST_GUILESS_MAIN(tst_consistencyChecks)
#include "tst_consistencyChecks.moc"

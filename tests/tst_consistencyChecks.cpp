#include <QTest>

#include <ogr_spatialref.h>

#include "raster/consistencyChecks.h"
#include "raster/gdalSession.h"
#include "tests/recordingSink.h"

namespace {

// "EPSG:2056", an ESRI text ("esri:EPSG:2056": that system as a .prj gives it) or "" for none.
coordinateSystem systemFrom(const QString& text)
{
    if (text.isEmpty())
        return {};
    const bool esri = text.startsWith("esri:");
    OGRSpatialReference reference;
    reference.SetFromUserInput(qPrintable(esri ? text.mid(5) : text));
    if (!esri)
        return coordinateSystemOf(&reference);
    char* wkt = nullptr;
    const char* const options[] = {"FORMAT=WKT1_ESRI", nullptr};
    reference.exportToWkt(&wkt, options);
    OGRSpatialReference fromEsri;
    char* lines[] = {wkt, nullptr};
    fromEsri.importFromESRI(lines);
    CPLFree(wkt);
    return coordinateSystemOf(&fromEsri);
}

// A DEM header changed by "key=value" pairs such as "xll=10.5 ref=0".
rasterHeader headerWith(const QString& changes)
{
    rasterHeader header{40, 30, 600000.0f, 5100000.0f, 2.0f, -9999.0f, rasterHeader::corner};
    for (const QString& change : changes.split(' ', Qt::SkipEmptyParts)) {
        const QString key = change.section('=', 0, 0);
        const double value = change.section('=', 1).toDouble();
        if (key == "nrows")
            header.nrows = int(value);
        else if (key == "ncols")
            header.ncols = int(value);
        else if (key == "ref")
            header.spatialReference = int(value);
        else if (key == "xll" || key == "yll")
            (key == "xll" ? header.xll : header.yll) = value;
        else
            (key == "cellsize" ? header.cellsize : header.nodataValue) = float(value);
    }
    return header;
}

}  // namespace

class tst_consistencyChecks : public QObject
{
    Q_OBJECT

private slots:
    // Dimensions first (both reported), then reference, coordinates and cell
    // size, each stopping the rest; reference 0 is undefined, 1 corner, 2 center.
    // "changes" holds the DEM's changes, then after '|' the start cells'.
    void acceptsOnlyTheSameGrid_data()
    {
        QTest::addColumn<QString>("changes");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<int>("demReferenceAfter");
        const QStringList none;
        const QStringList coordinates{"error: Digital models don't use the same coordinates!"};
        const QStringList reference{"error: Digital models don't use the same spatial reference!"};
        const QStringList cellsize{"error: Digital models don't use the same cellsize!"};
        const QString columns = "error: Inconsistent number of columns in data!";
        const QString rows = "error: Inconsistent number of rows in data!";
        QTest::newRow("same grid") << "|" << none << 1;
        QTest::newRow("NODATA not compared") << "| nodata=0" << none << 1;
        QTest::newRow("columns differ") << "| ncols=31" << QStringList{columns} << 1;
        QTest::newRow("rows differ") << "| nrows=39" << QStringList{rows} << 1;
        QTest::newRow("both dimensions, nothing else")
            << "| ncols=29 nrows=39 cellsize=5" << QStringList{columns, rows} << 1;
        QTest::newRow("corner against center") << "| ref=2" << reference << 1;
        QTest::newRow("corner against undefined") << "| ref=0" << reference << 1;
        QTest::newRow("both undefined: corner") << "ref=0 | ref=0"
                                                << QStringList{"warning: Undefined or unknown spatial reference in "
                                                               "file dem.asc! Using 'corner' as default."}
                                                << 1;
        QTest::newRow("both center") << "ref=2 | ref=2" << none << 2;
        QTest::newRow("xll 0.4 apart") << "| xll=600000.4" << none << 1;
        QTest::newRow("xll 0.5 apart rounds away") << "| xll=600000.5" << coordinates << 1;
        QTest::newRow("10.5 and 11.4 round alike") << "xll=10.5 | xll=11.4" << none << 1;
        QTest::newRow("negative halves away from 0") << "xll=-10.5 | xll=-11.4" << none << 1;
        QTest::newRow("yll differ") << "| yll=5100001" << coordinates << 1;
        QTest::newRow("cellsize 2 against 2.0001") << "| cellsize=2.0001" << cellsize << 1;
        QTest::newRow("cellsize 2.0001 against 2") << "cellsize=2.0001 |" << cellsize << 1;
        QTest::newRow("first failure stops the rest") << "| cellsize=2.0001 ref=2" << reference << 1;
    }

    void acceptsOnlyTheSameGrid()
    {
        QFETCH(QString, changes);
        QFETCH(QStringList, log);
        QFETCH(int, demReferenceAfter);
        rasterHeader demHeader = headerWith(changes.section('|', 0, 0));
        recordingSink sink;
        QCOMPARE(
            checkRasterConsistency(demHeader, headerWith(changes.section('|', 1)), QStringLiteral("dem.asc"), sink),
            log.isEmpty() || log.first().startsWith("warning"));
        QCOMPARE(sink.log, log);
        QCOMPARE(demHeader.spatialReference, demReferenceAfter);
    }

    // A raster without a system shares the DEM's; one in another system is refused, naming both.
    void acceptsOnlyTheDemsCoordinateSystem_data()
    {
        QTest::addColumn<QString>("dem");
        QTest::addColumn<QString>("other");
        QTest::addColumn<QString>("error");
        QTest::newRow("same") << "EPSG:2056"
                              << "EPSG:2056"
                              << "";
        QTest::newRow("a .prj of the same") << "EPSG:2056"
                                            << "esri:EPSG:2056"
                                            << "";
        QTest::newRow("start cells without") << "EPSG:2056"
                                             << ""
                                             << "";
        QTest::newRow("DEM without") << ""
                                     << "EPSG:2169"
                                     << "";
        QTest::newRow("another") << "EPSG:2169"
                                 << "EPSG:2056"
                                 << "error: File start.tif is in the coordinate system EPSG:2056, but the DEM dem.tif "
                                    "is in EPSG:2169. Reproject it onto the DEM's grid, for example with gdalwarp "
                                    "-t_srs EPSG:2169.";
    }

    void acceptsOnlyTheDemsCoordinateSystem()
    {
        QFETCH(QString, dem);
        QFETCH(QString, other);
        QFETCH(QString, error);
        initialiseGdal();
        recordingSink sink;
        QCOMPARE(checkSameCoordinateSystem(systemFrom(dem), systemFrom(other), "dem.tif", "start.tif", sink),
                 error.isEmpty());
        QCOMPARE(sink.log.join('\n'), error);
    }
};

QTEST_GUILESS_MAIN(tst_consistencyChecks)
#include "tst_consistencyChecks.moc"

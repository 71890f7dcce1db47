#include <QTest>

#include "map/runResultGrids.h"
#include "outputs/csvRows.h"
#include "outputs/reportFigures.h"
#include "outputs/runReport.h"

namespace {

// A run on `rows` x `cols` cells of `cellSize` m, every cell reached by some trajectories.
runResultGrids reachedCells(int rows, int cols, double cellSize)
{
    runResultGrids run;
    run.header = {rows, cols, 600000.0f, 150000.0f, float(cellSize), -9999.0f, rasterHeader::corner};
    run.displayGrid.assign(rows, cols, -40);
    run.passageCounts.assign(rows, cols, 3);
    run.reachingStartCells.assign(rows, cols, 1);
    run.numberOfSimulations = 10;
    run.trajectories = 10;
    const double transform[6] = {600000.0, cellSize, 0.0, 150000.0 + rows * cellSize, 0.0, -cellSize};
    std::copy(transform, transform + 6, run.placement.geoTransform);
    run.runOuts.assign(10.0, 500.0);
    for (int i = 0; i < 200; ++i)
        run.runOuts.addTrajectory(i * 2.0, true, 30.0 + i % 9, true);
    return run;
}

}  // namespace

class tst_runReport : public QObject
{
    Q_OBJECT

private slots:
    void roundScaleFitsTheFrame_data()
    {
        QTest::addColumn<double>("groundWidth");  // m
        QTest::addColumn<double>("groundHeight");
        QTest::addColumn<double>("scale");
        // On a frame of 0.128 x 0.158 m of paper.
        QTest::newRow("exactly at 1:5,000") << 640.0 << 500.0 << 5000.0;
        QTest::newRow("a metre more: 1:10,000") << 641.0 << 500.0 << 10000.0;
        QTest::newRow("the height decides") << 100.0 << 600.0 << 5000.0;
        QTest::newRow("1:2,500 between 1:2,000 and 1:5,000") << 300.0 << 300.0 << 2500.0;
        QTest::newRow("a tiny grid") << 10.0 << 8.0 << 100.0;
        QTest::newRow("no extent") << 0.0 << 8.0 << 0.0;
    }

    void roundScaleFitsTheFrame()
    {
        QFETCH(double, groundWidth);
        QFETCH(double, groundHeight);
        QFETCH(double, scale);
        QCOMPARE(roundScaleDenominator(groundWidth, groundHeight, 0.128, 0.158), scale);
    }

    void roundFiguresReadWell_data()
    {
        QTest::addColumn<QString>("figure");
        QTest::addColumn<QString>("expected");
        QTest::newRow("scale") << scaleText(25000.0) << "1:25,000";
        QTest::newRow("bar under 300 m") << QString::number(roundLengthUpTo(299.9)) << "200";
        QTest::newRow("bar of exactly 1 km") << QString::number(roundLengthUpTo(1000.0)) << "1000";
        QTest::newRow("bar under 0.7 m") << QString::number(roundLengthUpTo(0.7)) << "0.5";
        QTest::newRow("count axis of 9,400") << QString::number(axisStep(9400.0, 4, 1.0)) << "5000";
        QTest::newRow("count axis of 3: whole steps") << QString::number(axisStep(3.0, 4, 1.0)) << "1";
        QTest::newRow("angle axis of 0.3 degree") << QString::number(axisStep(0.3, 5, 0.0)) << "0.1";
    }

    void roundFiguresReadWell()
    {
        QFETCH(QString, figure);
        QFETCH(QString, expected);
        QCOMPARE(figure, expected);
    }

    void csvRowsAsWritten_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QList<QStringList>>("rows");
        QTest::newRow("header and a row")
            << QByteArray("id,name\r\n1,Barn\r\n") << QList<QStringList>{{"id", "name"}, {"1", "Barn"}};
        QTest::newRow("quoted comma, quote and line break") << QByteArray("1,\"Road, \"\"upper\"\"\nside\",3\r\n")
                                                            << QList<QStringList>{{"1", "Road, \"upper\"\nside", "3"}};
        QTest::newRow("empty fields, no last line end")
            << QByteArray("a,,\r\n\r\n,b") << QList<QStringList>{{"a", "", ""}, {"", "b"}};
        QTest::newRow("nothing") << QByteArray() << QList<QStringList>{};
    }

    void csvRowsAsWritten()
    {
        QFETCH(QByteArray, text);
        QFETCH(QList<QStringList>, rows);
        QCOMPARE(csvRows(text), rows);
    }

    // Whatever the run, two A4 pages: a large extent, a grid without a
    // coordinate system, an objects table longer than a page.
    void reportHasTwoA4Pages_data()
    {
        QTest::addColumn<int>("cells");
        QTest::addColumn<double>("cellSize");
        QTest::addColumn<int>("objects");
        QTest::newRow("small grid, no objects") << 4 << 2.0 << 0;
        QTest::newRow("large extent") << 300 << 100.0 << 3;
        QTest::newRow("more objects than fit") << 40 << 5.0 << 400;
    }

    void reportHasTwoA4Pages()
    {
        QFETCH(int, cells);
        QFETCH(double, cellSize);
        QFETCH(int, objects);
        const runResultGrids run = reachedCells(cells, cells + 3, cellSize);
        runReportContent content;
        content.log.demFile = QStringLiteral("/data/slope/dem.asc");
        content.log.startTime = QDateTime(QDate(2026, 5, 4), QTime(10, 30));
        content.log.settings = {{QStringLiteral("Number of simulations"), QStringLiteral("10")}};
        content.log.summary = QStringList(objects > 0 ? 80 : 1, QStringLiteral("Start cells: 1"));
        content.inputs = {{QStringLiteral("DEM"), content.log.demFile}};
        if (objects > 0) {
            content.objects.headers = {"id", "name", "a column with a long name (count)"};
            for (int i = 0; i < objects; ++i)
                content.objects.rows.push_back({QString::number(i), "House, upper", QString::number(i * 7)});
        }
        const QByteArray pdf = runReportPdf(run, content);
        QVERIFY(pdf.startsWith("%PDF-") && pdf.size() > 10000);
        QCOMPARE(pdf.count("/Type /Page\n"), qsizetype(runReportPageCount));
        QCOMPARE(pdf.count("/MediaBox [0 0 595.000000 842.000000]"), qsizetype(runReportPageCount));
        const QImage page = runReportPagePicture(run, content, 0, 50);
        QCOMPARE(page.size(), QSize(413, 585));  // 210 x 297 mm at 50 dots per inch
    }
};

QTEST_MAIN(tst_runReport)
#include "tst_runReport.moc"

#include <QtTest>

#include "engine/aggregation.h"

class tst_aggregation : public QObject
{
    Q_OBJECT

private slots:
    void cellRules_data()
    {
        QTest::addColumn<int>("passages");
        QTest::addColumn<int>("reaching");
        QTest::addColumn<double>("hillshade");
        QTest::addColumn<qulonglong>("progressTotal");
        QTest::addColumn<int>("simulations");
        QTest::addColumn<double>("probability");
        QTest::addColumn<int>("display");

        QTest::newRow("start cell never left") << 10 << 1 << 0.5 << 10ull << 10 << 100.0 << -255;
        QTest::newRow("reached by every trajectory") << 1000 << 4 << 0.3 << 1000ull << 250 << 100.0 << -255;
        QTest::newRow("one trajectory in 1000") << 1 << 1 << 0.3 << 1000ull << 1000 << 0.1 << -1;
        QTest::newRow("3 of 10 and 10 of 10") << 13 << 2 << 0.3 << 20ull << 10 << 65.0 << -166;
        QTest::newRow("unreached over mid grey") << 0 << 0 << 0.5 << 20ull << 10 << 0.0 << 127;
        QTest::newRow("unreached over dark relief") << 0 << 0 << 0.2071 << 20ull << 10 << 0.0 << 52;
        QTest::newRow("relief without a value is black") << 0 << 0 << qQNaN() << 20ull << 10 << 0.0 << 0;
        QTest::newRow("relief beyond white is white") << 0 << 0 << 1.5 << 20ull << 10 << 0.0 << 255;
        // A total beyond 32 bits is taken whole, not cut to its low bits.
        QTest::newRow("64-bit total") << 2000000000 << 1 << 0.5 << 8000000000ull << 2000000000 << 100.0 << -64;
    }

    void cellRules()
    {
        QFETCH(int, passages);
        QFETCH(int, reaching);
        QFETCH(double, hillshade);
        QFETCH(qulonglong, progressTotal);
        QFETCH(int, simulations);
        QFETCH(double, probability);
        QFETCH(int, display);

        const grid<int32_t> counts(1, 1, passages);
        const grid<int32_t> reachingGrid(1, 1, reaching);
        const grid<double> shade(1, 1, hillshade);
        grid<double> reachProbability;
        grid<int32_t> displayGrid;
        aggregateResults(counts, reachingGrid, shade, progressTotal, simulations, reachProbability, displayGrid);
        QCOMPARE(reachProbability(0, 0), probability);
        QCOMPARE(displayGrid(0, 0), display);
    }

    void outputsTakeTheCountsShape()
    {
        grid<int32_t> counts(2, 3, 0);
        counts(1, 2) = 5;
        grid<int32_t> reaching(2, 3, 0);
        reaching(1, 2) = 1;
        const grid<double> shade(2, 3, 0.5);
        grid<double> reachProbability(7, 7, 1.0);
        grid<int32_t> displayGrid(1, 1, 9);
        aggregateResults(counts, reaching, shade, 5, 5, reachProbability, displayGrid);
        QCOMPARE(reachProbability.rows(), 2);
        QCOMPARE(reachProbability.cols(), 3);
        QCOMPARE(displayGrid.rows(), 2);
        QCOMPARE(displayGrid.cols(), 3);
        QCOMPARE(reachProbability(0, 0), 0.0);
        QCOMPARE(reachProbability(1, 2), 100.0);
        QCOMPARE(displayGrid(0, 0), 127);
        QCOMPARE(displayGrid(1, 2), -255);
    }
};

QTEST_APPLESS_MAIN(tst_aggregation)
#include "tst_aggregation.moc"

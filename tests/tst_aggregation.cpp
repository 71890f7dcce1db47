#include <QtTest>

#include "engine/aggregation.h"
#include "engine/terrainDerivatives.h"

class tst_aggregation : public QObject
{
    Q_OBJECT

private slots:
    // Reach probability in percent, and the map: -1 (rarest) to -255 (every
    // trajectory) where reached, the relief's grey elsewhere.
    void cellRules_data()
    {
        QTest::addColumn<int>("passages");
        QTest::addColumn<int>("reaching");
        QTest::addColumn<double>("relief");
        QTest::addColumn<qulonglong>("total");
        QTest::addColumn<int>("simulations");
        QTest::addColumn<double>("probability");
        QTest::addColumn<int>("shown");
        QTest::newRow("start cell never left") << 10 << 1 << 0.5 << 10ull << 10 << 100.0 << -255;
        QTest::newRow("one in 1000 still shows") << 1 << 1 << 0.3 << 1000ull << 1000 << 0.1 << -1;
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
        QFETCH(double, relief);
        QFETCH(qulonglong, total);
        QFETCH(int, simulations);
        QFETCH(double, probability);
        QFETCH(int, shown);
        const grid<int32_t> counts(1, 2, passages);
        double probabilities[2] = {-1.0, -1.0};
        reachProbabilityRow(counts, grid<int32_t>(1, 2, reaching), simulations, 0, probabilities);
        QCOMPARE(probabilities[1], probability);
        grid<int32_t> displayGrid(7, 7, 9);
        aggregateDisplayGrid(counts, grid<uint8_t>(1, 2, reliefGrey(relief)), total, displayGrid);
        QCOMPARE(displayGrid.rows() * 10 + displayGrid.cols(), 12);
        QCOMPARE(displayGrid(0, 1), shown);
    }
};

QTEST_APPLESS_MAIN(tst_aggregation)
#include "tst_aggregation.moc"

#include <QtTest>

#include <cstring>
#include <random>
#include <stdexcept>

#include <omp.h>

#include "engine/terrainDerivatives.h"
#include "tests/engineFixtures.h"

// The aspect and relief grids on several threads; the golden runs pin their values.
class tst_terrainDerivatives : public QObject
{
    Q_OBJECT

private slots:
    // Rows are computed on several threads from unchecked reads: rough
    // terrain with NODATA patches, level stretches and borders comes out bit
    // for bit as on one thread; grids shorter than their size are refused.
    void severalThreadsGiveTheOneThreadGrids_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("cols");
        QTest::newRow("large") << 301 << 257;
        QTest::newRow("one row") << 1 << 50;
        QTest::newRow("two columns") << 60 << 2;
    }

    void severalThreadsGiveTheOneThreadGrids()
    {
        QFETCH(int, rows);
        QFETCH(int, cols);
        std::mt19937 random(11);
        const elevationGrid z = surfaceGrid(rows, cols, [&random](int r, int) {
            const uint32_t draw = random();
            return draw % 23 == 0 ? testNodata
                   : r % 10 < 3   ? 500.0f
                                  : 1234.57f - 0.8f * r + float(draw % 1000) / 100.0f;
        });
        grid<uint8_t> greys[2];
        grid<double> aspects[2];
        for (int threads : {1, 2}) {
            omp_set_num_threads(threads);
            QVERIFY(computeReliefGreyGrid(z, rows, cols, 1.5f, greys[threads - 1]));
            QVERIFY(computeAspectGrid(z, rows, cols, 1.5f, testNodata, aspects[threads - 1]));
        }
        QVERIFY(std::memcmp(greys[0].data(), greys[1].data(), greys[0].size()) == 0);
        QVERIFY(std::memcmp(aspects[0].data(), aspects[1].data(), aspects[0].size() * sizeof(double)) == 0);
        QCOMPARE(int(greys[1].size()), rows * cols);
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, computeAspectGrid(z, rows + 1, cols, 1.5f, testNodata, aspects[0]));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, computeReliefGreyGrid(z, rows + 1, cols, 1.5f, greys[0]));
    }
};

QTEST_APPLESS_MAIN(tst_terrainDerivatives)
#include "tst_terrainDerivatives.moc"

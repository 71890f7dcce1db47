#include <QtTest>

#include <cmath>
#include <functional>
#include <random>
#include <cstring>

#include <omp.h>
#include <stdexcept>

#include "engine/terrainDerivatives.h"
#include "engineFixtures.h"

namespace {
const double pi = 3.141592653589793;
using surface = std::function<float(int, int)>;

double expectedShade(double gx, double gy)
{
    const double k = 0.7071067811865476;
    const double v = (gx - gy) * k;
    return 0.5 * v / (v * v + k) + 0.5;
}

// The rules for one cell, written out plainly with range-checked reads.
double referenceShade(const elevationGrid& z, int r, int c, float cellSize)
{
    auto at = [&](int row, int col) {
        if (row < 0 || row >= z.rows() || col < 0 || col >= z.cols())
            return double(z.at(r, c));
        return double(z.at(row, col));
    };
    const double g = 8.0f * cellSize;
    const double gx = ((at(r - 1, c - 1) + 2 * at(r, c - 1) + at(r + 1, c - 1))
                       - (at(r - 1, c + 1) + 2 * at(r, c + 1) + at(r + 1, c + 1)))
                      / g;
    const double gy = ((at(r - 1, c - 1) + 2 * at(r - 1, c) + at(r - 1, c + 1))
                       - (at(r + 1, c - 1) + 2 * at(r + 1, c) + at(r + 1, c + 1)))
                      / g;
    return expectedShade(gx, gy);
}

double referenceAspect(const elevationGrid& z, int r, int c, float cellSize, double nodata)
{
    if (r == 0 || c == 0 || r == z.rows() - 1 || c == z.cols() - 1)
        return 0.0;
    auto side = [&](int r1, int c1, int r2, int c2, int r3, int c3) {
        double sum = 0.0;
        double weight = 0.0;
        const double values[] = {z.at(r1, c1), z.at(r2, c2), z.at(r3, c3)};
        const double weights[] = {1.0, 2.0, 1.0};
        for (int i = 0; i < 3; ++i) {
            if (values[i] != nodata) {
                sum += weights[i] * values[i];
                weight += weights[i];
            }
        }
        return sum * 4.0 / (weight < 1.0 ? 1.0 : weight);
    };
    const double east = side(r - 1, c + 1, r, c + 1, r + 1, c + 1);
    const double west = side(r + 1, c - 1, r, c - 1, r - 1, c - 1);
    const double south = side(r + 1, c + 1, r + 1, c, r + 1, c - 1);
    const double north = side(r - 1, c + 1, r - 1, c, r - 1, c - 1);
    const double g = 8.0f * cellSize;
    const double dzdx = (east - west) / g;
    const double dzdy = (south - north) / g;
    if (dzdx == 0.0 && dzdy == 0.0)
        return nodata;
    if (dzdx == 0.0)
        return dzdy > 0.0 ? 0.0 : pi;
    if (dzdy == 0.0)
        return dzdx < 0.0 ? pi / 2.0 : 3.0 * pi / 2.0;
    const double theta = std::atan2(dzdy, -dzdx);
    return theta < 0.0 || theta <= pi / 2.0 ? pi / 2.0 - theta : 5.0 * pi / 2.0 - theta;
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }
}

class tst_terrainDerivatives : public QObject
{
    Q_OBJECT

private slots:
    void planesPointDownslopeInsideAndNorthOnTheBorder_data()
    {
        QTest::addColumn<surface>("elevationAt");
        QTest::addColumn<double>("aspect");
        QTest::newRow("rising east") << surface([](int, int c) { return 5.0f * c; }) << 3 * pi / 2;
        QTest::newRow("rising south") << surface([](int r, int) { return 5.0f * r; }) << 0.0;
        QTest::newRow("rising west") << surface([](int, int c) { return 100.0f - 5.0f * c; }) << pi / 2;
        QTest::newRow("rising north") << surface([](int r, int) { return 100.0f - 5.0f * r; }) << pi;
        QTest::newRow("rising south-east") << surface([](int r, int c) { return 3.0f * (r + c); }) << 7 * pi / 4;
        QTest::newRow("rising north-east") << surface([](int r, int c) { return 3.0f * (c - r); }) << 5 * pi / 4;
        QTest::newRow("level: no direction") << surface([](int, int) { return 412.5f; }) << double(testNodata);
    }

    void planesPointDownslopeInsideAndNorthOnTheBorder()
    {
        QFETCH(surface, elevationAt);
        QFETCH(double, aspect);
        grid<double> aspects;
        QVERIFY(computeAspectGrid(surfaceGrid(5, 6, elevationAt), 5, 6, 10.0f, testNodata, aspects));
        QCOMPARE(aspects.rows(), 5);
        QCOMPARE(aspects.cols(), 6);
        for (int r = 0; r < 5; ++r) {
            for (int c = 0; c < 6; ++c) {
                const bool border = r == 0 || r == 4 || c == 0 || c == 5;
                QVERIFY(std::abs(aspects(r, c) - (border ? 0.0 : aspect)) < 1e-12);
            }
        }
    }

    // With the eastern column missing the east sum counts as 0 (its weight
    // raised to 1), so the window seems to fall to the east; the north and south
    // sums each lose one neighbour, are rescaled alike and cancel. The centre's
    // own value never enters. On level ground a missing corner changes nothing.
    void nodataNeighboursDropOutOfTheEdgeSums()
    {
        elevationGrid elevation =
            surfaceGrid(3, 3, [](int, int c) { return c == 0 ? 10.0f : c == 1 ? 20.0f : testNodata; });
        grid<double> aspects;
        QVERIFY(computeAspectGrid(elevation, 3, 3, 10.0f, testNodata, aspects));
        QCOMPARE(aspects(1, 1), pi / 2);
        elevation(1, 1) = testNodata;
        QVERIFY(computeAspectGrid(elevation, 3, 3, 10.0f, testNodata, aspects));
        QCOMPARE(aspects(1, 1), pi / 2);

        elevationGrid level = surfaceGrid(3, 3, [](int, int) { return 30.0f; });
        level(0, 2) = testNodata;
        QVERIFY(computeAspectGrid(level, 3, 3, 10.0f, testNodata, aspects));
        QCOMPARE(aspects(1, 1), double(testNodata));
    }

    // A plane rising 10 m per 10 m cell to the east: gx = -1 inside. Missing
    // neighbours repeat the centre: on the western and eastern borders that
    // halves gx, on the northern border it gives -0.75, and in the south-eastern
    // corner both gradients change. Level ground is mid grey everywhere.
    void shadeOfAPlaneAndItsBorder()
    {
        grid<double> shade;
        QVERIFY(computeHillshadeGrid(surfaceGrid(3, 4, [](int, int c) { return 10.0f * c; }), 3, 4, 10.0f, shade));
        QCOMPARE(shade.rows(), 3);
        QCOMPARE(shade.cols(), 4);
        QVERIFY(std::abs(shade(1, 1) - expectedShade(-1.0, 0.0)) < 1e-15);
        QVERIFY(std::abs(shade(0, 2) - expectedShade(-0.75, 0.0)) < 1e-15);
        QVERIFY(std::abs(shade(1, 0) - expectedShade(-0.5, 0.0)) < 1e-15);
        QVERIFY(std::abs(shade(1, 3) - expectedShade(-0.5, 0.0)) < 1e-15);
        QVERIFY(std::abs(shade(2, 3) - expectedShade(-0.375, -0.125)) < 1e-15);
        QVERIFY(computeHillshadeGrid(surfaceGrid(3, 4, [](int, int) { return 412.5f; }), 3, 4, 5.0f, shade));
        for (int i = 0; i < 12; ++i)
            QCOMPARE(shade(i / 4, i % 4), 0.5);
    }

    void shortGridsRaiseOutOfRange()
    {
        const elevationGrid twoRows = surfaceGrid(2, 4, [](int r, int c) { return float(r + c); });
        grid<double> output;
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, computeHillshadeGrid(twoRows, 3, 4, 10.0f, output));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, computeAspectGrid(twoRows, 3, 4, 10.0f, testNodata, output));
    }

    // Rows are computed on several threads from unchecked reads: every cell must
    // still come out bit for bit as the rules for one cell give it, NODATA
    // patches, level stretches and borders included.
    void roughTerrainMatchesTheCellByCellRules_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("cols");
        QTest::addColumn<int>("threads");
        QTest::newRow("one thread") << 97 << 83 << 1;
        QTest::newRow("two threads") << 301 << 257 << 2;
        QTest::newRow("one row") << 1 << 50 << 2;
        QTest::newRow("two columns") << 60 << 2 << 2;
    }

    void roughTerrainMatchesTheCellByCellRules()
    {
        QFETCH(int, rows);
        QFETCH(int, cols);
        QFETCH(int, threads);
        std::mt19937 random(11);
        elevationGrid z(rows, cols, 0.0f);
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < cols; ++c) {
                const uint32_t draw = random();
                if (draw % 23 == 0)
                    z(r, c) = testNodata;
                else if (r % 10 < 3)
                    z(r, c) = 500.0f;  // level ground: no direction
                else
                    z(r, c) = 1234.57f - 0.8f * r + float(draw % 1000) / 100.0f;
            }
        }
        const float cellSize = 1.5f;
        const int defaultThreads = omp_get_max_threads();
        omp_set_num_threads(threads);
        grid<double> shade;
        grid<uint8_t> greys;
        grid<double> aspects;
        QVERIFY(computeHillshadeGrid(z, rows, cols, cellSize, shade));
        QVERIFY(computeReliefGreyGrid(z, rows, cols, cellSize, greys));
        QVERIFY(computeAspectGrid(z, rows, cols, cellSize, testNodata, aspects));
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < cols; ++c) {
                const double expected = referenceShade(z, r, c, cellSize);
                QVERIFY2(sameBits(shade(r, c), expected), qPrintable(QStringLiteral("shade %1 %2").arg(r).arg(c)));
                const double grey = expected * 255.0;
                QCOMPARE(int(greys(r, c)), grey > 0.0 ? int(std::min(grey, 255.0)) : 0);
                QVERIFY2(sameBits(aspects(r, c), referenceAspect(z, r, c, cellSize, testNodata)),
                         qPrintable(QStringLiteral("aspect %1 %2").arg(r).arg(c)));
            }
        }
        omp_set_num_threads(defaultThreads);
    }
};

QTEST_APPLESS_MAIN(tst_terrainDerivatives)
#include "tst_terrainDerivatives.moc"

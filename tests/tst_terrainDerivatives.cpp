#include <QtTest>

#include <cmath>
#include <functional>
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
}

class tst_terrainDerivatives : public QObject
{
    Q_OBJECT

private slots:
    void planesPointDownslopeInsideAndNorthOnTheBorder_data();
    void planesPointDownslopeInsideAndNorthOnTheBorder();
    void nodataNeighboursDropOutOfTheEdgeSums();
    void levelGroundHasNoDirectionAndMidGreyShade();
    void shadeOfAPlaneAndItsBorder();
    void shortGridsRaiseOutOfRange();
};

void tst_terrainDerivatives::planesPointDownslopeInsideAndNorthOnTheBorder_data()
{
    QTest::addColumn<surface>("elevationAt");
    QTest::addColumn<double>("aspect");
    QTest::newRow("rising east") << surface([](int, int c) { return 5.0f * c; }) << 3 * pi / 2;
    QTest::newRow("rising south") << surface([](int r, int) { return 5.0f * r; }) << 0.0;
    QTest::newRow("rising west") << surface([](int, int c) { return 100.0f - 5.0f * c; }) << pi / 2;
    QTest::newRow("rising north") << surface([](int r, int) { return 100.0f - 5.0f * r; }) << pi;
    QTest::newRow("rising south-east") << surface([](int r, int c) { return 3.0f * (r + c); }) << 7 * pi / 4;
    QTest::newRow("rising north-east") << surface([](int r, int c) { return 3.0f * (c - r); }) << 5 * pi / 4;
}

void tst_terrainDerivatives::planesPointDownslopeInsideAndNorthOnTheBorder()
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
void tst_terrainDerivatives::nodataNeighboursDropOutOfTheEdgeSums()
{
    elevationGrid elevation = surfaceGrid(3, 3, [](int, int c) { return c == 0 ? 10.0f : c == 1 ? 20.0f : testNodata; });
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

void tst_terrainDerivatives::levelGroundHasNoDirectionAndMidGreyShade()
{
    const elevationGrid elevation = surfaceGrid(4, 4, [](int, int) { return 412.5f; });
    grid<double> aspects;
    grid<double> shade;
    QVERIFY(computeAspectGrid(elevation, 4, 4, 5.0f, testNodata, aspects));
    QVERIFY(computeHillshadeGrid(elevation, 4, 4, 5.0f, shade));
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            const bool border = r == 0 || r == 3 || c == 0 || c == 3;
            QCOMPARE(aspects(r, c), border ? 0.0 : double(testNodata));
            QCOMPARE(shade(r, c), 0.5);
        }
    }
}

// A plane rising 10 m per 10 m cell to the east: gx = -1 inside. Missing
// neighbours repeat the centre: on the western and eastern borders that
// halves gx, on the northern border it gives -0.75, and in the south-eastern
// corner both gradients change.
void tst_terrainDerivatives::shadeOfAPlaneAndItsBorder()
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
}

void tst_terrainDerivatives::shortGridsRaiseOutOfRange()
{
    const elevationGrid twoRows = surfaceGrid(2, 4, [](int r, int c) { return float(r + c); });
    grid<double> output;
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, computeHillshadeGrid(twoRows, 3, 4, 10.0f, output));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, computeAspectGrid(twoRows, 3, 4, 10.0f, testNodata, output));
}

QTEST_APPLESS_MAIN(tst_terrainDerivatives)
#include "tst_terrainDerivatives.moc"

#include <QtTest>

#include <atomic>

#include "engine/profileWork.h"
#include "engine/randomGenerator.h"
#include "engine/terrainDerivatives.h"
#include "engine/trajectory.h"
#include "tests/engineFixtures.h"

// The work of a run's profiles is bounded for any cell size and step, and a
// run beyond reach is known before it starts.
class tst_profileWork : public QObject
{
    Q_OBJECT

private slots:
    // Cells so large that a segment cannot move the mass out of its float
    // offset, from the centre and from the edge (where the first step lands
    // in the next cell and the profile's length is the rounding of two huge
    // distances): the step bound ends it, the profile keeps few samples.
    void hugeCellsEndWithinTheBounds_data()
    {
        QTest::addColumn<float>("cellSize");
        QTest::addColumn<float>("offset");
        QTest::newRow("centre of 1e37 m cells") << 1e37f << 5e36f;
        QTest::newRow("edge of 1e37 m cells") << 1e37f << 0.0f;
        QTest::newRow("edge of 1e20 m cells") << 1e20f << 0.0f;
    }

    void hugeCellsEndWithinTheBounds()
    {
        QFETCH(float, cellSize);
        QFETCH(float, offset);
        const int size = 4;
        const elevationGrid elevation = surfaceGrid(size, size, [](int r, int c) { return 900.0f - 10.0f * r - c; });
        const rasterHeader dem = testHeader(size, size, cellSize);
        grid<double> aspect;
        computeAspectGrid(elevation, size, size, dem.cellsize, dem.nodataValue, aspect);
        simulationSettings settings;
        settings.segmentLength = 5.0;
        settings.initialFallHeight = 2.0;  // the energy line never falls below the start
        const neverStop never;
        const std::atomic<bool> abortRequested{false};
        randomGenerator generator;
        trajectoryResult result;
        const trajectoryContext context{terrainSurface{elevation, dem}, aspect, settings, never, abortRequested};
        const double perimeterCells = 4.0 * size;
        QVERIFY(maxTrajectorySteps(dem, settings.segmentLength) <= perimeterCells * maxSegmentsPerCell);
        runTrajectory(context, gridPosition{2, 2, offset, offset, cellSize}, generator, result);
        QVERIFY(double(result.steps) <= perimeterCells * maxSegmentsPerCell);
        QVERIFY(double(result.profileSamples.size()) <= perimeterCells * maxSamplesPerCell);
    }

    // Upper estimates of a run's profile samples: everyday runs, large ones
    // included, go ahead; steps finer than the terrain holds, absurd cells
    // and sheer size are refused with what to change.
    void estimateRefusesRunsBeyondReach_data()
    {
        QTest::addColumn<int>("cells");  // per side
        QTest::addColumn<float>("cellSize");
        QTest::addColumn<double>("profileStep");
        QTest::addColumn<int>("simulations");
        QTest::addColumn<bool>("beyondReach");
        QTest::addColumn<QString>("change");  // in the explanation
        QTest::newRow("defaults on a small grid") << 10 << 5.0f << 1.0 << 100 << false << "";
        QTest::newRow("every cell of 10000 x 10000 at 1 m") << 10000 << 1.0f << 1.0 << 100 << false << "";
        QTest::newRow("profile step 1e-9 m")
            << 10 << 5.0f << 1e-9 << 100 << true << "profile step of at least 7.7e-05 m";
        QTest::newRow("profile step at 1/65536 of the cell") << 10 << 5.0f << 5.0 / 65536 << 100 << false << "";
        QTest::newRow("segment at 1/4096 of the cell") << 10 << 20480.0f << 1.0 << 100 << false << "";
        QTest::newRow("segment under 1/4096 of the cell")
            << 10 << 20485.0f << 1.0 << 100 << true << "choose a segment length of at least 5.1 m";
        QTest::newRow("cell size 1e37 m") << 10 << 1e37f << 1.0 << 100 << true << "segment length of at least";
        QTest::newRow("a million simulations of 20000 x 20000")
            << 20000 << 1.0f << 1.0 << 1000000 << true << "fewer simulations";
    }

    void estimateRefusesRunsBeyondReach()
    {
        QFETCH(int, cells);
        QFETCH(float, cellSize);
        QFETCH(double, profileStep);
        QFETCH(int, simulations);
        QFETCH(bool, beyondReach);
        QFETCH(QString, change);
        simulationSettings settings;
        settings.segmentLength = 5.0;
        settings.profileStep = profileStep;
        settings.numberOfSimulations = simulations;
        const rasterHeader dem = testHeader(cells, cells, cellSize);
        const profileWork work = estimateProfileWork(dem, settings, double(cells) * cells);
        QCOMPARE(work.beyondReach, beyondReach);
        QVERIFY2(QString::fromStdString(work.explanation).contains(change), work.explanation.c_str());
        QCOMPARE(work.explanation.empty(), !beyondReach);
    }
};

QTEST_GUILESS_MAIN(tst_profileWork)
#include "tst_profileWork.moc"

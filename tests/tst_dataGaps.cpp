#include <QtTest>

#include <atomic>
#include <cmath>

#include "engine/randomGenerator.h"
#include "engine/trajectory.h"
#include "engineFixtures.h"

// Cells without elevation (sea, lakes, gaps in lidar data): a mass that
// reaches one is lost there, and a profile line across a gap measures only
// the ground it has.
class tst_dataGaps : public QObject
{
    Q_OBJECT

private slots:
    // Eastwards along row 1 of a slope that ends in a sea from column 4 on:
    // the step onto the sea's first centre ends the walk, and neither that
    // cell nor a point there is recorded.
    void massEnteringTheSeaIsLost()
    {
        const rasterHeader dem = testHeader(3, 8);
        const elevationGrid elevation =
            surfaceGrid(3, 8, [](int, int c) { return c < 4 ? 100.0f - 10.0f * c : testNodata; });
        const grid<double> aspect(3, 8, 3.141592653589793 / 2.0);
        simulationSettings settings;
        settings.straightDistance = 10.0;
        settings.maxDeviationAngle = 0;
        settings.saveTrajectories = true;
        const neverStop stopCriterion;
        const std::atomic<bool> abortRequested{false};
        const trajectoryContext context{terrainSurface{elevation, dem}, aspect, settings, stopCriterion,
                                        abortRequested};
        randomGenerator generator;
        trajectoryResult result;

        runTrajectory(context, gridPosition{1, 1, 5.0f, 5.0f, 10.0f}, generator, result);

        QCOMPARE(result.end, trajectoryEnd::noElevation);
        QCOMPARE(result.reachedCells, (std::vector<std::size_t>{9, 10, 11}));
        QCOMPARE(result.points.size(), std::size_t(3));
        for (const trajectoryPoint& point : result.points)
            QVERIFY(!std::isnan(point.z));
    }

    // One row of 8 m cells falling from 80 m to 0 m with columns 2 and 3
    // missing; samples every 4 m from the centre of column 0 to that of
    // column 5 are 68 56 56 NaN NaN 24 24 24 12, so zMin is 12 and, with the
    // chord slope 2, the trapezoids add up to
    // 124 + 100 + 88 + (56 + 24 - 24) + 24 + 24 + 12 + (12 + 0 - 24) = 416:
    // the sample after the gap joins the last one before it.
    void profileAcrossAGapSumsTheGroundItHas()
    {
        rasterHeader dem = testHeader(1, 6, 8.0f);
        const float row[6] = {80.0f, 56.0f, testNodata, testNodata, 24.0f, 0.0f};
        const elevationGrid elevation = surfaceGrid(1, 6, [&row](int, int c) { return row[c]; });
        std::vector<float> samples;

        const profileEvaluation profile =
            evaluateProfile(gridPosition{0, 0, 4.0f, 4.0f, 8.0f}, gridPosition{0, 5, 4.0f, 4.0f, 8.0f},
                            terrainSurface{elevation, dem}, 0.0, 4.0, samples);

        QCOMPARE(samples.size(), std::size_t(9));
        QVERIFY(std::isnan(samples[3]) && std::isnan(samples[4]));
        QCOMPARE(profile.elevation, 0.0f);
        QCOMPARE(profile.shapeFactor, static_cast<float>(416.0 / (68.0 * 68.0)));
    }
};

QTEST_GUILESS_MAIN(tst_dataGaps)
#include "tst_dataGaps.moc"

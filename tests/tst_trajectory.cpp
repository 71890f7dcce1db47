#include <QtTest>

#include <atomic>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "engine/randomGenerator.h"
#include "engine/terrainDerivatives.h"
#include "engine/trajectory.h"
#include "engineFixtures.h"

Q_DECLARE_METATYPE(std::vector<float>)

namespace {
const double pi = 3.141592653589793;

// A terrain with everything a trajectory reads. The aspect is derived from
// the elevations unless a test sets its own.
struct terrainCase
{
    terrainCase(int nrows, int ncols, const std::function<float(int, int)>& elevationAt)
        : elevation(surfaceGrid(nrows, ncols, elevationAt)), dem(testHeader(nrows, ncols))
    {
        computeAspectGrid(elevation, nrows, ncols, dem.cellsize, dem.nodataValue, aspect);
        settings.straightDistance = 10.0;
        settings.profileStep = 1.0;
        settings.maxDeviationAngle = 0;
        settings.saveTrajectories = true;
    }

    trajectoryContext context() const
    {
        return trajectoryContext{terrainSurface{elevation, dem}, aspect, settings, *stopCriterion, abortRequested};
    }

    trajectoryResult run(const gridPosition& start)
    {
        trajectoryResult result;
        runTrajectory(context(), start, generator, result);
        return result;
    }

    terrainSurface surface() const { return terrainSurface{elevation, dem}; }

    elevationGrid elevation;
    rasterHeader dem;
    grid<double> aspect;
    simulationSettings settings;
    std::shared_ptr<iStopCriterionStrategy> stopCriterion = std::make_shared<neverStop>();
    std::atomic<bool> abortRequested{false};
    randomGenerator generator;
};

gridPosition cellCentre(uint32_t row, uint32_t col, float cellSize = 10.0f)
{
    return gridPosition{row, col, cellSize / 2.0f, cellSize / 2.0f, cellSize};
}

std::size_t flat(int row, int col, int ncols)
{
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(ncols) + static_cast<std::size_t>(col);
}

// How many draws a generator has made, found by replaying a fresh one.
int drawsTaken(randomGenerator& used)
{
    const double next = used.draw();
    randomGenerator fresh;
    for (int n = 0; n < 100000; ++n)
        if (fresh.draw() == next)
            return n;
    return -1;
}
}

class tst_trajectory : public QObject
{
    Q_OBJECT

private slots:
    void quadrantsSplitAtHalfTheCell()
    {
        QCOMPARE(quadrant(gridPosition{3, 4, 2.0f, 3.0f, 10.0f}), 0);
        QCOMPARE(quadrant(gridPosition{3, 4, 2.0f, 5.0f, 10.0f}), 1);
        QCOMPARE(quadrant(gridPosition{3, 4, 5.0f, 5.0f, 10.0f}), 2);
        QCOMPARE(quadrant(gridPosition{3, 4, 9.9f, 4.99f, 10.0f}), 3);
        QCOMPARE(quadrant(gridPosition{3, 4, 10.0f, 10.0f, 10.0f}), 2);
    }

    void localAndWorldCoordinates()
    {
        const gridPosition inside = positionAtLocal(25.0, 7.5, 10.0f);
        QCOMPARE(inside.row, 2u);
        QCOMPARE(inside.rowOffset, 5.0f);
        QCOMPARE(inside.col, 0u);
        QCOMPARE(inside.colOffset, 7.5f);
        QCOMPARE(distanceFromNorthEdge(inside), 25.0);
        // Rounding can put a profile point a hair north of the grid: it stays in
        // row 0 instead of wrapping to the far end of the unsigned range.
        const gridPosition north = positionAtLocal(-1e-9, 12.0, 10.0f);
        QCOMPARE(north.row, 0u);
        QVERIFY(north.rowOffset < 0.0f);

        rasterHeader dem = testHeader(4, 6);
        const gridPosition position{1, 2, 2.5f, 7.5f, 10.0f};
        trajectoryPoint point = worldPoint(position, 12.25f, dem);
        QCOMPARE(point.x, 1000.0f + 27.5f);
        QCOMPARE(point.y, 2000.0f + 40.0f - 12.5f);
        QCOMPARE(point.z, 12.25f);
        dem.spatialReference = rasterHeader::center;
        point = worldPoint(position, 12.25f, dem);
        QCOMPARE(point.x, 1000.0f - 5.0f + 27.5f);
        QCOMPARE(point.y, 2000.0f - 5.0f + 40.0f - 12.5f);
    }

    void interpolationWeighsTheSurroundingCentres()
    {
        terrainCase terrain(3, 3, [](int r, int c) { return 10.0f * (3 * r + c + 1); });
        const terrainSurface surface = terrain.surface();

        // On a centre the cell's own elevation, exactly.
        QCOMPARE(interpolateElevation(cellCentre(1, 1), surface), 50.0f);
        QCOMPARE(interpolateElevation(cellCentre(2, 0), surface), 70.0f);

        // Where four cells meet, the mean of the four.
        const gridPosition corner{1, 1, 0.0f, 0.0f, 10.0f};
        QVERIFY(std::abs(interpolateElevation(corner, surface) - (10.0f + 20.0f + 40.0f + 50.0f) / 4.0f) < 1e-4f);

        // Off the centres, in the north-east quarter of (1, 1): the cells
        // (0,1) (0,2) (1,2) (1,1) at distances sqrt(73), sqrt(113), sqrt(53), sqrt(13).
        const double d[4] = {std::sqrt(73.0), std::sqrt(113.0), std::sqrt(53.0), std::sqrt(13.0)};
        const double z[4] = {20.0, 30.0, 60.0, 50.0};
        const double idw = (z[0] / d[0] + z[1] / d[1] + z[2] / d[2] + z[3] / d[3])
                           / (1 / d[0] + 1 / d[1] + 1 / d[2] + 1 / d[3]);
        QVERIFY(std::abs(interpolateElevation(gridPosition{1, 1, 3.0f, 8.0f, 10.0f}, surface) - idw) < 1e-4);

        // Near the grid corner only the one cell inside the grid is left.
        QVERIFY(std::abs(interpolateElevation(gridPosition{0, 0, 1.0f, 2.0f, 10.0f}, surface) - 10.0f) < 1e-5f);
        QVERIFY(std::abs(interpolateElevation(gridPosition{2, 2, 10.0f, 10.0f, 10.0f}, surface) - 90.0f) < 1e-5f);

        // Cells without data drop out; with none left the result is NaN.
        terrain.elevation(1, 1) = testNodata;
        QVERIFY(std::abs(interpolateElevation(corner, surface) - (10.0f + 20.0f + 40.0f) / 3.0f) < 1e-4f);
        QVERIFY(interpolateElevation(cellCentre(1, 1), surface) != 50.0f);
        terrain.elevation(0, 0) = terrain.elevation(0, 1) = terrain.elevation(1, 0) = testNodata;
        QVERIFY(std::isnan(interpolateElevation(corner, surface)));
    }

    // Elevations along row 1 from the centre of column 0 to the centre of the
    // last column, 10 m apart; with a 10 m step every sample lies on a centre.
    void profileAlongCellCentres_data()
    {
        QTest::addColumn<std::vector<float>>("elevations");
        QTest::addColumn<double>("fallHeight");
        QTest::addColumn<double>("profileStep");
        QTest::addColumn<float>("shapeFactor");
        QTest::addColumn<float>("angle");

        // Samples 90, 70, 60 (zMin 60); trapezoid terms 39.375 + 22.5 + 5.625 - 2.8125.
        QTest::newRow("convex slope") << std::vector<float>{100, 90, 70, 60, 55} << 0.0 << 10.0
                                      << float(64.6875 / 1600.0) << float(std::atan(45.0 / 40.0));
        // The fall height raises the release point: zStart 105, slope 1.25.
        QTest::newRow("with fall height") << std::vector<float>{100, 90, 70, 60, 55} << 5.0 << 10.0
                                          << float(75.0 / 2025.0) << float(std::atan(50.0 / 40.0));
        // A step longer than the profile takes no sample: -0.5 x drop^2 / L.
        QTest::newRow("no samples") << std::vector<float>{100, 90, 70, 60, 55} << 0.0 << 40.0
                                    << float(-0.5 * 45.0 * 45.0 / 40.0) << float(std::atan(45.0 / 40.0));
        // The lowest sample is below the end point.
        QTest::newRow("hollow") << std::vector<float>{50, 30, 20, 40} << 0.0 << 10.0
                                << float((0.5 * 40.0 + 0.5 * 10.0 + 0.5 * 20.0) * (10.0 / 30.0) / 900.0)
                                << float(std::atan(10.0 / 30.0));
    }

    void profileAlongCellCentres()
    {
        QFETCH(std::vector<float>, elevations);
        QFETCH(double, fallHeight);
        QFETCH(double, profileStep);
        QFETCH(float, shapeFactor);
        QFETCH(float, angle);
        const int ncols = static_cast<int>(elevations.size());
        terrainCase terrain(3, ncols, [&](int, int c) { return elevations[static_cast<std::size_t>(c)]; });
        std::vector<float> samples;
        const profileEvaluation profile =
            evaluateProfile(cellCentre(1, 0), cellCentre(1, static_cast<uint32_t>(ncols - 1)), terrain.surface(),
                            fallHeight, profileStep, samples);
        QCOMPARE(profile.elevation, elevations.back());
        QVERIFY2(std::abs(profile.shapeFactor - shapeFactor) <= 1e-6f * std::max(1.0f, std::abs(shapeFactor)),
                 qPrintable(QString("%1 vs %2").arg(profile.shapeFactor, 0, 'g', 9).arg(shapeFactor, 0, 'g', 9)));
        QCOMPARE(profile.energyLineAngle, angle);
    }

    // Back on the start point the profile has no length: shape factor 0 and a
    // vertical energy line (level without a drop) instead of a division by 0.
    void profileBackAtTheStart()
    {
        terrainCase terrain(3, 3, [](int, int) { return 100.0f; });
        std::vector<float> samples;
        const gridPosition start{1, 1, 2.0f, 3.0f, 10.0f};
        profileEvaluation profile = evaluateProfile(start, start, terrain.surface(), 3.0, 1.0, samples);
        QCOMPARE(profile.shapeFactor, 0.0f);
        QCOMPARE(profile.energyLineAngle, float(pi / 2));
        profile = evaluateProfile(start, start, terrain.surface(), 0.0, 1.0, samples);
        QCOMPARE(profile.shapeFactor, 0.0f);
        QCOMPARE(profile.energyLineAngle, 0.0f);
    }

    void stepLimitGrowsWithTheGrid()
    {
        const rasterHeader dem = testHeader(5, 7, 10.0f);
        QCOMPARE(maxTrajectorySteps(dem, 10.0), 24.0);
        QCOMPARE(maxTrajectorySteps(dem, 7.0), 35.0);  // 240 / 7 = 34.3
        QCOMPARE(maxTrajectorySteps(dem, 0.0), 0.0);
        QCOMPARE(maxTrajectorySteps(dem, -10.0), 0.0);
        QCOMPARE(maxTrajectorySteps(dem, std::numeric_limits<double>::infinity()), 0.0);
        QCOMPARE(maxTrajectorySteps(dem, std::numeric_limits<double>::quiet_NaN()), 0.0);
    }

    // Downslope to the south-east: the first segment runs at 3 pi / 4.
    void firstHeadingFollowsTheAspect()
    {
        terrainCase terrain(6, 6, [](int r, int c) { return 200.0f - 3.0f * (r + c); });
        QCOMPARE(terrain.aspect(2, 2), 3 * pi / 4);
        const trajectoryResult result = terrain.run(cellCentre(2, 2));
        QVERIFY(result.points.size() >= 2);
        const double diagonal = 10.0 * std::sin(3 * pi / 4);
        QVERIFY(std::abs(result.points[1].x - (1000.0 + 25.0 + diagonal)) < 1e-3);
        QVERIFY(std::abs(result.points[1].y - (2000.0 + 60.0 - 25.0 - diagonal)) < 1e-3);
        QCOMPARE(result.reachedCells.front(), flat(2, 2, 6));
        QVERIFY(std::binary_search(result.reachedCells.begin(), result.reachedCells.end(), flat(3, 3, 6)));
    }

    void stepsOffTheGridClampToTheEdge_data()
    {
        QTest::addColumn<std::function<float(int, int)>>("elevationAt");
        QTest::addColumn<std::vector<int>>("reachedRows");
        QTest::addColumn<std::vector<int>>("reachedCols");
        QTest::addColumn<float>("lastX");
        QTest::addColumn<float>("lastY");
        using surface = std::function<float(int, int)>;
        // From the centre of (2, 3) of a 5 x 7 grid, 10 m cells, 10 m segments.
        QTest::newRow("north") << surface([](int r, int) { return 10.0f * r; }) << std::vector<int>{0, 1, 2}
                               << std::vector<int>{3, 3, 3} << 1035.0f << 2050.0f;
        QTest::newRow("south") << surface([](int r, int) { return -10.0f * r; }) << std::vector<int>{2, 3, 4}
                               << std::vector<int>{3, 3, 3} << 1035.0f << 2000.0f;
        QTest::newRow("west") << surface([](int, int c) { return 10.0f * c; }) << std::vector<int>{2, 2, 2, 2}
                              << std::vector<int>{0, 1, 2, 3} << 1000.0f << 2025.0f;
        QTest::newRow("east") << surface([](int, int c) { return -10.0f * c; }) << std::vector<int>{2, 2, 2, 2}
                              << std::vector<int>{3, 4, 5, 6} << 1070.0f << 2025.0f;
    }

    // The step that leaves the grid ends on the edge and still counts: its cell
    // is reached and its point recorded, then the trajectory ends.
    void stepsOffTheGridClampToTheEdge()
    {
        QFETCH(std::function<float(int, int)>, elevationAt);
        QFETCH(std::vector<int>, reachedRows);
        QFETCH(std::vector<int>, reachedCols);
        QFETCH(float, lastX);
        QFETCH(float, lastY);
        terrainCase terrain(5, 7, elevationAt);
        const trajectoryResult result = terrain.run(cellCentre(2, 3));
        QCOMPARE(result.end, trajectoryEnd::gridEdge);
        std::vector<std::size_t> expected;
        for (std::size_t i = 0; i < reachedRows.size(); ++i)
            expected.push_back(flat(reachedRows[i], reachedCols[i], 7));
        QCOMPARE(result.reachedCells, expected);
        QCOMPARE(result.points.size(), static_cast<std::size_t>(result.steps + 1));
        QCOMPARE(result.points.back().x, lastX);
        QCOMPARE(result.points.back().y, lastY);
        QCOMPARE(result.points.front().x, 1035.0f);
        QCOMPARE(result.points.front().y, 2025.0f);
    }

    void climbLimitEndsUnbrokenAscents_data()
    {
        QTest::addColumn<std::vector<float>>("rises");
        QTest::addColumn<int>("cellsReached");
        QTest::addColumn<trajectoryEnd>("end");
        QTest::newRow("10 m is not above the limit, 15 m is") << std::vector<float>{5, 5, 5, 5, 5, 5, 5} << 3
                                                             << trajectoryEnd::climbLimit;
        QTest::newRow("a descent starts the count again") << std::vector<float>{4, 4, -1, 4, 4, 4, 4} << 6
                                                          << trajectoryEnd::climbLimit;
        QTest::newRow("9.5 m at most between drops")
            << std::vector<float>{4.75f, 4.75f, -0.5f, 4.75f, 4.75f, -1, 3} << 8 << trajectoryEnd::gridEdge;
    }

    // Along row 1 eastwards, centre to centre; the aspect is set to east.
    void climbLimitEndsUnbrokenAscents()
    {
        QFETCH(std::vector<float>, rises);
        QFETCH(int, cellsReached);
        QFETCH(trajectoryEnd, end);
        std::vector<float> elevations{100.0f};
        for (const float rise : rises)
            elevations.push_back(elevations.back() + rise);
        const int ncols = static_cast<int>(elevations.size());
        terrainCase terrain(3, ncols, [&](int, int c) { return elevations[static_cast<std::size_t>(c)]; });
        terrain.aspect.assign(3, ncols, pi / 2);
        const trajectoryResult result = terrain.run(cellCentre(1, 0));
        QCOMPARE(result.end, end);
        QCOMPARE(static_cast<int>(result.reachedCells.size()), cellsReached);
        const int edgePoint = end == trajectoryEnd::gridEdge ? 1 : 0;
        QCOMPARE(result.points.size(), static_cast<std::size_t>(cellsReached + edgePoint));
    }

    void flatStartCellGoesNowhere()
    {
        terrainCase terrain(4, 4, [](int, int) { return 321.0f; });
        const trajectoryResult result = terrain.run(gridPosition{1, 2, 3.0f, 4.0f, 10.0f});
        QCOMPARE(result.end, trajectoryEnd::noDownslope);
        QCOMPARE(result.steps, uint64_t(0));
        QCOMPARE(result.reachedCells, std::vector<std::size_t>{flat(1, 2, 4)});
        QCOMPARE(result.points.size(), std::size_t(1));
        QCOMPARE(result.points[0].z, 321.0f);
        QCOMPARE(drawsTaken(terrain.generator), 0);
    }

    // After the first step a draw is taken only where the cell has a
    // direction; elsewhere the heading is kept.
    void laterStepsDrawOnlyWhereTheCellHasADirection()
    {
        auto slope = [](int, int c) { return 100.0f - 2.0f * c; };
        terrainCase directed(4, 12, slope);
        directed.settings.maxDeviationAngle = 10;
        trajectoryResult result = directed.run(cellCentre(1, 1));
        QCOMPARE(result.end, trajectoryEnd::gridEdge);
        QVERIFY(result.steps >= 3);
        QCOMPARE(drawsTaken(directed.generator), static_cast<int>(result.steps - 1));

        terrainCase undirected(4, 12, slope);
        undirected.settings.maxDeviationAngle = 10;
        undirected.aspect.assign(4, 12, double(testNodata));
        undirected.aspect(1, 1) = pi / 2;
        result = undirected.run(cellCentre(1, 1));
        QCOMPARE(result.end, trajectoryEnd::gridEdge);
        QCOMPARE(result.reachedCells.size(), std::size_t(11));
        QCOMPARE(drawsTaken(undirected.generator), 0);
    }

    // A gentle cone-shaped pit that nothing stops in: the heading is pulled back
    // to the centre step after step, so without a limit the mass would circle
    // for ever. The last step is still counted and recorded.
    void closedDepressionEndsAtTheStepLimit()
    {
        terrainCase terrain(21, 21,
                            [](int r, int c) { return 0.05f * 10.0f * std::hypot(float(r - 10), float(c - 10)); });
        terrain.settings.maxDeviationAngle = 90;
        const trajectoryResult result = terrain.run(cellCentre(7, 9));
        QCOMPARE(result.end, trajectoryEnd::stepLimit);
        QCOMPARE(static_cast<double>(result.steps), maxTrajectorySteps(terrain.dem, 10.0));
        QCOMPARE(result.points.size(), static_cast<std::size_t>(result.steps + 1));
        QVERIFY(result.reachedCells.size() < result.steps);
    }

    // Settings the pipeline refuses still end: no step without a positive
    // segment length, no samples without a positive profile step. An abort ends
    // the trajectory before its next step.
    void settingsThatCannotAdvanceAndAbortsEnd()
    {
        terrainCase terrain(5, 9, [](int, int c) { return 100.0f - 10.0f * c; });
        terrain.settings.straightDistance = 0.0;
        trajectoryResult result = terrain.run(cellCentre(2, 2));
        QCOMPARE(result.steps, uint64_t(0));
        QCOMPARE(result.reachedCells.size(), std::size_t(1));

        terrain.settings.straightDistance = 10.0;
        terrain.settings.profileStep = 0.0;
        result = terrain.run(cellCentre(2, 2));
        QCOMPARE(result.end, trajectoryEnd::gridEdge);
        QCOMPARE(result.reachedCells.size(), std::size_t(7));

        terrain.abortRequested = true;
        result = terrain.run(cellCentre(2, 2));
        QCOMPARE(result.end, trajectoryEnd::aborted);
        QCOMPARE(result.steps, uint64_t(0));
    }
};

QTEST_APPLESS_MAIN(tst_trajectory)
#include "tst_trajectory.moc"

#include <QtTest>

#include <atomic>
#include <cmath>
#include <memory>
#include <vector>

#include "engine/cellWalk.h"
#include "engine/intensity.h"
#include "engine/profileEvaluation.h"
#include "engine/randomGenerator.h"
#include "engine/simdPath.h"
#include "engine/terrainDerivatives.h"
#include "engine/trajectory.h"
#include "tests/engineFixtures.h"

namespace {
const double pi = 3.141592653589793;
using surface = std::function<float(int, int)>;

// A terrain with everything a trajectory reads; no stop criterion, so that
// only the edge, climb and step rules end a trajectory. The aspect follows
// the elevations unless a test sets its own.
struct terrainCase
{
    terrainCase(int nrows, int ncols, const surface& elevationAt)
        : elevation(surfaceGrid(nrows, ncols, elevationAt)), dem(testHeader(nrows, ncols))
    {
        computeAspectGrid(elevation, nrows, ncols, dem.cellsize, dem.nodataValue, aspect);
        settings.segmentLength = 10.0;
        settings.profileStep = 1.0;
        settings.maxDeviationAngle = 0;
        settings.saveTrajectories = true;
    }

    trajectoryResult run(uint32_t row, uint32_t col, float rowOffset = 5.0f, float colOffset = 5.0f)
    {
        trajectoryResult result;
        const trajectoryContext context{terrainSurface{elevation, dem},
                                        aspect,
                                        settings,
                                        criterion ? *criterion : static_cast<const iStopCriterionStrategy&>(never),
                                        abortRequested,
                                        recordHeights};
        runTrajectory(context, gridPosition{row, col, rowOffset, colOffset, dem.cellsize}, generator, result);
        return result;
    }

    // How many draws the generator has made, found by replaying a fresh one.
    int drawsTaken()
    {
        const double next = generator.draw();
        randomGenerator fresh;
        for (int n = 0; n < 100000; ++n)
            if (fresh.draw() == next)
                return n;
        return -1;
    }

    elevationGrid elevation;
    rasterHeader dem;
    grid<double> aspect;
    simulationSettings settings;
    neverStop never;
    std::shared_ptr<iStopCriterionStrategy> criterion;  // null: never stops
    bool recordHeights = false;
    std::atomic<bool> abortRequested{false};
    randomGenerator generator;
};
}  // namespace

// How a trajectory ends, also where the ground has no elevation; the golden
// runs pin where it goes.
class tst_trajectory : public QObject
{
    Q_OBJECT

private slots:
    // From the centre of (2, 3) of a 5 x 7 grid: the step that leaves the grid
    // ends on the edge and still counts, its cell reached and its point kept.
    void stepsOffTheGridClampToTheEdge_data()
    {
        QTest::addColumn<surface>("elevationAt");
        QTest::addColumn<std::vector<std::size_t>>("reached");
        QTest::addColumn<QPointF>("last");
        QTest::newRow("north") << surface([](int r, int) { return 10.0f * r; }) << std::vector<std::size_t>{3, 10, 17}
                               << QPointF(1035, 2050);
        QTest::newRow("south") << surface([](int r, int) { return -10.0f * r; }) << std::vector<std::size_t>{17, 24, 31}
                               << QPointF(1035, 2000);
        QTest::newRow("west") << surface([](int, int c) { return 10.0f * c; })
                              << std::vector<std::size_t>{14, 15, 16, 17} << QPointF(1000, 2025);
        QTest::newRow("east") << surface([](int, int c) { return -10.0f * c; })
                              << std::vector<std::size_t>{17, 18, 19, 20} << QPointF(1070, 2025);
    }

    void stepsOffTheGridClampToTheEdge()
    {
        QFETCH(surface, elevationAt);
        QFETCH(std::vector<std::size_t>, reached);
        QFETCH(QPointF, last);
        terrainCase terrain(5, 7, elevationAt);
        const trajectoryResult result = terrain.run(2, 3);
        QCOMPARE(result.end, trajectoryEnd::gridEdge);
        QCOMPARE(result.reachedCells, reached);
        QCOMPARE(result.points.size(), static_cast<std::size_t>(result.steps + 1));
        QCOMPARE(QPointF(result.points.front().x, result.points.front().y), QPointF(1035, 2025));
        QCOMPARE(QPointF(result.points.back().x, result.points.back().y), last);
    }

    // Segments in cells (x the column, y the row): the cells in order, and
    // their spans along the segment joining without a gap from 0 to 1.
    void segmentCrossesItsCells_data()
    {
        QTest::addColumn<QLineF>("segment");
        QTest::addColumn<QVector<QPoint>>("cells");  // (column, row)
        QTest::newRow("along a row") << QLineF(0.5, 0.5, 3.5, 0.5)
                                     << QVector<QPoint>{{0, 0}, {1, 0}, {2, 0}, {3, 0}};
        QTest::newRow("up a column") << QLineF(2.5, 3.5, 2.5, 0.2)
                                     << QVector<QPoint>{{2, 3}, {2, 2}, {2, 1}, {2, 0}};
        QTest::newRow("shallow diagonal") << QLineF(0.2, 0.1, 3.8, 1.3)
                                          << QVector<QPoint>{{0, 0}, {1, 0}, {2, 0}, {2, 1}, {3, 1}};
        QTest::newRow("steep, westward") << QLineF(1.9, 0.1, 0.1, 2.9)
                                         << QVector<QPoint>{{1, 0}, {1, 1}, {0, 1}, {0, 2}};
        QTest::newRow("through corners") << QLineF(0.5, 0.5, 2.5, 2.5) << QVector<QPoint>{{0, 0}, {1, 1}, {2, 2}};
        QTest::newRow("within one cell") << QLineF(1.2, 1.2, 1.8, 1.7) << QVector<QPoint>{{1, 1}};
    }

    void segmentCrossesItsCells()
    {
        QFETCH(QLineF, segment);
        QFETCH(QVector<QPoint>, cells);
        QVector<QPoint> walked;
        double reachedAlong = 0.0;
        walkCellSpans(segment.x1(), segment.y1(), segment.x2(), segment.y2(),
                      [&](int64_t row, int64_t col, double enter, double leave) {
                          walked.append(QPoint(static_cast<int>(col), static_cast<int>(row)));
                          [&] { QCOMPARE(enter, reachedAlong); }();
                          reachedAlong = leave;
                          return true;
                      });
        QCOMPARE(walked, cells);
        QCOMPARE(reachedAlong, 1.0);
    }

    // Segments of 2.5 cells straight down a slope from the centre of the
    // second row's cell: counting points leaves the rows between them at 0, counting
    // crossed cells reaches every row, each between its neighbours' heights.
    void longSegmentsCountEveryCrossedRow_data()
    {
        QTest::addColumn<bool>("points");
        QTest::addColumn<std::vector<int>>("rows");
        QTest::newRow("recorded points") << true << std::vector<int>{1, 4, 6, 9, 11};
        QTest::newRow("crossed cells") << false << std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    }

    void longSegmentsCountEveryCrossedRow()
    {
        QFETCH(bool, points);
        QFETCH(std::vector<int>, rows);
        terrainCase terrain(12, 5, [](int r, int) { return -10.0f * r; });
        terrain.settings.segmentLength = 25.0;
        terrain.settings.counting = points ? cellCounting::recordedPoints : cellCounting::crossedCells;
        terrain.recordHeights = true;
        const trajectoryResult result = terrain.run(1, 2);
        std::vector<int> reachedRows;
        for (const cellHeight& reached : result.cellHeights) {
            QCOMPARE(reached.cell % 5, std::size_t{2});
            reachedRows.push_back(static_cast<int>(reached.cell / 5));
        }
        QCOMPARE(reachedRows, rows);
        QCOMPARE(result.points.size(), std::size_t{6});  // the recorded points either way
        // With no stop criterion the energy line only rises above the falling
        // ground: each row's height at least its northern neighbour's.
        for (std::size_t k = 1; k < result.cellHeights.size(); ++k)
            QVERIFY(result.cellHeights[k].height >= result.cellHeights[k - 1].height);
    }

    void flatStartCellGoesNowhere()
    {
        terrainCase terrain(4, 4, [](int, int) { return 321.0f; });
        const trajectoryResult result = terrain.run(1, 2, 3.0f, 4.0f);
        QCOMPARE(result.end, trajectoryEnd::noDownslope);
        QCOMPARE(result.reachedCells, std::vector<std::size_t>{6});
        QCOMPARE(result.points.size(), std::size_t(1));
        QCOMPARE(result.points[0].z, 321.0f);
        QCOMPARE(terrain.drawsTaken(), 0);
    }

    // Down into a trough, then straight up its far side (the heading never
    // turns): climbing ends the trajectory once it has risen more than 10 m
    // over unbroken rising steps, not when it has risen exactly 10 m.
    void climbingPastTheLimitEnds_data()
    {
        QTest::addColumn<float>("risePerCell");
        QTest::addColumn<int>("steps");
        QTest::newRow("4 m a step: 12 m on the third") << 4.0f << 5;
        QTest::newRow("5 m a step: 10 m goes on, 15 m ends") << 5.0f << 5;
        QTest::newRow("11 m at once") << 11.0f << 3;
    }

    void climbingPastTheLimitEnds()
    {
        QFETCH(float, risePerCell);
        QFETCH(int, steps);
        terrainCase terrain(3, 12, [risePerCell](int, int c) {
            return c <= 3 ? 50.0f - 10.0f * float(c) : 20.0f + risePerCell * float(c - 3);
        });
        const trajectoryResult result = terrain.run(1, 1);
        QCOMPARE(result.end, trajectoryEnd::climbLimit);
        QCOMPARE(result.steps, steps);
        QCOMPARE(result.points.size(), std::size_t(steps));
    }

    // A gentle cone-shaped pit that nothing stops in pulls the heading back
    // step after step: the step limit ends it, the last step still counted.
    void closedDepressionEndsAtTheStepLimit()
    {
        terrainCase terrain(21, 21, [](int r, int c) { return 0.5f * std::hypot(float(r - 10), float(c - 10)); });
        terrain.settings.maxDeviationAngle = 90;
        const trajectoryResult result = terrain.run(7, 9);
        QCOMPARE(result.end, trajectoryEnd::stepLimit);
        QCOMPARE(double(result.steps), maxTrajectorySteps(terrain.dem, 10.0));
        QCOMPARE(result.points.size(), static_cast<std::size_t>(result.steps + 1));
    }

    // No step without a positive segment length, no samples without a
    // positive profile step, and an abort ends before the next step.
    void settingsThatCannotAdvanceAndAbortsEnd()
    {
        terrainCase terrain(5, 9, [](int, int c) { return 100.0f - 10.0f * c; });
        terrain.settings.segmentLength = 0.0;
        QCOMPARE(terrain.run(2, 2).steps, uint64_t(0));
        terrain.settings.segmentLength = 10.0;
        terrain.settings.profileStep = 0.0;
        QCOMPARE(terrain.run(2, 2).reachedCells.size(), std::size_t(7));
        terrain.abortRequested = true;
        const trajectoryResult aborted = terrain.run(2, 2);
        QVERIFY(aborted.end == trajectoryEnd::aborted && aborted.steps == 0);
    }

    // Long profiles over bumpy ground, the shape factor pinned to the bit:
    // the sums along a profile are rounded to float step by step, and a sum
    // kept in double would move thresholds and so whole result maps.
    void longProfilesArePinned()
    {
        terrainCase terrain(5, 60, [](int r, int c) { return 1000.0f - 7.3f * c + 3.0f * std::sin(1.7f * c + r); });
        const terrainSurface ground{terrain.elevation, terrain.dem};
        std::vector<float> samples;
        // The scalar path is the reference the vector paths are proven against.
        for (const simdPath path : {simdPath::scalar, bestSimdPath()}) {
            QVERIFY(setActiveSimdPath(path));
            QStringList shapes;
            for (double step : {0.5, 0.7, 1.0})
                shapes << QString::number(
                    double(evaluateProfile(gridPosition{1, 0, 3.0f, 7.0f, 10.0f},
                                           gridPosition{3, 58, 6.0f, 2.0f, 10.0f}, ground, 2.0, step, samples)
                               .shapeFactor),
                    'g', 9);
            QCOMPARE(shapes.join(' '), QStringLiteral("0.988122821 0.705787718 0.494239211"));
        }
    }

    // Back on the start point the profile has no length: shape factor 0 and a
    // vertical energy line (level without a drop) instead of a division by 0;
    // where no surrounding cell has data the elevation is NaN.
    void degenerateProfilesAndMissingData()
    {
        terrainCase terrain(3, 3, [](int, int) { return 100.0f; });
        const terrainSurface ground{terrain.elevation, terrain.dem};
        const gridPosition start{1, 1, 2.0f, 3.0f, 10.0f};
        std::vector<float> samples;
        const profileEvaluation dropped = evaluateProfile(start, start, ground, 3.0, 1.0, samples);
        QCOMPARE(dropped.shapeFactor, 0.0f);
        QCOMPARE(dropped.energyLineAngle, float(pi / 2));
        QCOMPARE(evaluateProfile(start, start, ground, 0.0, 1.0, samples).energyLineAngle, 0.0f);
        QCOMPARE(interpolateElevation(gridPosition{1, 1, 5.0f, 5.0f, 10.0f}, ground), 100.0f);
        for (int i : {0, 1, 3, 4})
            terrain.elevation(i / 3, i % 3) = testNodata;
        QVERIFY(std::isnan(interpolateElevation(gridPosition{1, 1, 0.0f, 0.0f, 10.0f}, ground)));
    }

    // Cells without elevation (sea, lakes, gaps in lidar data): eastwards
    // along row 1 of a slope that ends in a sea from column 4 on, the step
    // onto the sea's first centre ends the walk, and neither that cell nor a
    // point there is recorded.
    void massEnteringTheSeaIsLost()
    {
        terrainCase coast(3, 8, [](int, int c) { return c < 4 ? 100.0f - 10.0f * c : testNodata; });
        coast.aspect = grid<double>(3, 8, pi / 2.0);
        const trajectoryResult result = coast.run(1, 1);
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
    // A plane falling 1 m per 10 m cell to the south, released 100 m above
    // the ground: the profile stays nearly straight (shape factor below
    // 0.07), so the threshold is the class's cap angle and after k steps
    // h = (100 + k) - 10 k tan(cap); the mass stops at the first k where that
    // is negative, which is never recorded.
    void energyLineHeightOnAPlane_data()
    {
        QTest::addColumn<int>("probabilityClass");
        QTest::addColumn<double>("capDegrees");
        QTest::addColumn<int>("recordedPoints");
        QTest::newRow("High") << 0 << 60.44 << 7;
        QTest::newRow("Medium") << 1 << 62.2 << 6;
        QTest::newRow("Low") << 2 << 65.91 << 5;
    }

    void energyLineHeightOnAPlane()
    {
        QFETCH(int, probabilityClass);
        QFETCH(double, capDegrees);
        QFETCH(int, recordedPoints);
        terrainCase plane(20, 5, [](int r, int) { return 1000.0f - r; });
        plane.settings.initialFallHeight = 100.0;
        plane.criterion = makeStopCriterion(probabilityClass);
        plane.recordHeights = true;
        plane.settings.counting = cellCounting::recordedPoints;  // each cell with its point's height
        const trajectoryResult result = plane.run(1, 2);
        QCOMPARE(result.end, trajectoryEnd::stopCriterion);
        QCOMPARE(int(result.points.size()), recordedPoints);
        QCOMPARE(int(result.cellHeights.size()), recordedPoints);
        for (int k = 0; k < recordedPoints; ++k) {
            const double h = (100.0 + k) - 10.0 * k * std::tan(capDegrees * pi / 180.0);
            QVERIFY2(std::abs(result.points[k].h - h) < 1e-4, qPrintable(QString::number(k)));
            QCOMPARE(result.cellHeights[k].cell, std::size_t(5 * (1 + k) + 2));
            QVERIFY(std::abs(result.cellHeights[k].height - h) < 1e-4);
        }
    }

    // Below the energy line (rounding) and NaN count as 0.
    void heightsBelowTheLineOrUnknownCountAsZero_data()
    {
        QTest::addColumn<float>("start");
        QTest::addColumn<float>("ground");
        QTest::addColumn<double>("length");
        QTest::addColumn<double>("threshold");
        QTest::addColumn<double>("height");
        QTest::newRow("above") << 120.0f << 100.0f << 10.0 << 45.0 << 10.0;
        QTest::newRow("on the release point") << 120.0f << 100.0f << 0.0 << 60.0 << 20.0;
        QTest::newRow("below") << 105.0f << 100.0f << 10.0 << 45.0 << 0.0;
        QTest::newRow("no ground") << 105.0f << float(NAN) << 10.0 << 45.0 << 0.0;
        QTest::newRow("no threshold") << 105.0f << 100.0f << 10.0 << double(NAN) << 0.0;
    }

    void heightsBelowTheLineOrUnknownCountAsZero()
    {
        QFETCH(float, start);
        QFETCH(float, ground);
        QFETCH(double, length);
        QFETCH(double, threshold);
        QFETCH(double, height);
        profileEvaluation profile;
        profile.startElevation = start;
        profile.elevation = ground;
        profile.length = length;
        const double h = energyLineHeight(profile, threshold);
        QVERIFY2(std::abs(h - height) < 1e-9 && !std::signbit(h), qPrintable(QString::number(h)));
        QCOMPARE(startHeight(ground, start - 100.0f), std::isnan(ground) ? 0.0 : double(start) - 100.0);
    }

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

QTEST_APPLESS_MAIN(tst_trajectory)
#include "tst_trajectory.moc"

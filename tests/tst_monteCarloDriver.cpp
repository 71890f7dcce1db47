#include <QtTest>

#include <omp.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <numeric>
#include <set>
#include <stdexcept>
#include <vector>

#include "engine/monteCarloDriver.h"
#include "engine/randomGenerator.h"
#include "engine/terrainDerivatives.h"
#include "engine/trajectory.h"
#include "engineFixtures.h"

namespace {
// A cliff above a talus slope above a gently falling valley floor, with
// some relief across the slope so that trajectories wander and stop.
float cliffTalusValley(int r, int c)
{
    const double base = r < 8 ? 600.0 - 25.0 * r : r < 20 ? 400.0 - 9.0 * (r - 8) : 292.0 - 1.5 * (r - 20);
    return static_cast<float>(base + 6.0 * std::sin(c * 0.7) + 3.0 * std::cos(r * 1.3 + c * 0.4));
}

propagationOutput emptyOutput(const rasterHeader& dem)
{
    propagationOutput output;
    output.passageCounts.assign(dem.nrows, dem.ncols, 0);
    output.reachingStartCells.assign(dem.nrows, dem.ncols, 0);
    return output;
}

struct propagationCase
{
    propagationCase(int nrows, int ncols, const std::function<float(int, int)>& elevationAt)
        : elevation(surfaceGrid(nrows, ncols, elevationAt)), dem(testHeader(nrows, ncols))
    {
        computeAspectGrid(elevation, nrows, ncols, dem.cellsize, dem.nodataValue, aspect);
        settings.numberOfSimulations = 20;
        settings.straightDistance = 10.0;
        settings.profileStep = 1.0;
        settings.maxDeviationAngle = 22;
    }

    propagationOutput run(int threads)
    {
        omp_set_num_threads(threads);
        propagationOutput output = emptyOutput(dem);
        randomGenerator generator;
        progressSeen.clear();
        runPropagation(input(), generator, output, [this](uint64_t count) {
            progressSeen.push_back(count);
            if (abortAfter > 0 && count >= abortAfter)
                abortRequested = true;
        });
        return output;
    }

    propagationInput input() const
    {
        return propagationInput{elevation, dem, aspect, startCells, settings, *stopCriterion, abortRequested};
    }

    uint64_t total() const { return static_cast<uint64_t>(settings.numberOfSimulations) * startCells.size(); }

    elevationGrid elevation;
    rasterHeader dem;
    grid<double> aspect;
    std::vector<startCell> startCells;
    simulationSettings settings;
    std::shared_ptr<iStopCriterionStrategy> stopCriterion = makeStopCriterion(0);
    std::atomic<bool> abortRequested{false};
    uint64_t abortAfter = 0;
    std::vector<uint64_t> progressSeen;
};

// Serial reference: start cell by start cell, simulation by simulation, two
// draws for the start point (column offset first), merged trajectory by
// trajectory.
propagationOutput serialReference(const propagationCase& run)
{
    propagationOutput expected = emptyOutput(run.dem);
    randomGenerator generator;
    const propagationInput input = run.input();
    const trajectoryContext context{terrainSurface{input.elevation, input.dem}, input.aspect, input.settings,
                                    input.stopCriterion, input.abortRequested};
    trajectoryResult trajectory;
    for (const startCell& cell : run.startCells) {
        std::set<std::size_t> reachedByCell;
        for (int sim = 0; sim < run.settings.numberOfSimulations; ++sim) {
            gridPosition start{uint32_t(cell.row), uint32_t(cell.col), 0.0f, 0.0f, run.dem.cellsize};
            const double u1 = generator.draw();
            const double u2 = generator.draw();
            start.colOffset = static_cast<float>(run.dem.cellsize * u1);
            start.rowOffset = static_cast<float>(run.dem.cellsize * u2);
            runTrajectory(context, start, generator, trajectory);
            for (const std::size_t reached : trajectory.reachedCells) {
                ++expected.passageCounts.data()[reached];
                reachedByCell.insert(reached);
            }
            if (run.settings.saveTrajectories)
                expected.trajectories.push_back(trajectory.points);
            ++expected.progressCount;
        }
        for (const std::size_t reached : reachedByCell)
            ++expected.reachingStartCells.data()[reached];
    }
    return expected;
}

bool sameGrid(const grid<int32_t>& a, const grid<int32_t>& b)
{
    return a.rows() == b.rows() && a.cols() == b.cols() && std::equal(a.data(), a.data() + a.size(), b.data());
}

bool samePoints(const trajectoryList& a, const trajectoryList& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].size() != b[i].size())
            return false;
        for (std::size_t k = 0; k < a[i].size(); ++k)
            if (a[i][k].x != b[i][k].x || a[i][k].y != b[i][k].y || a[i][k].z != b[i][k].z)
                return false;
    }
    return true;
}

int64_t gridSum(const grid<int32_t>& g)
{
    return std::accumulate(g.data(), g.data() + g.size(), int64_t(0));
}

propagationCase slopeCase()
{
    return propagationCase(40, 30, cliffTalusValley);
}
}

class tst_monteCarloDriver : public QObject
{
    Q_OBJECT

private slots:
    void startCellThatCannotMoveCountsEverySimulation()
    {
        propagationCase flat(5, 5, [](int, int) { return 80.0f; });
        flat.startCells = {{2, 2}};
        flat.settings.numberOfSimulations = 25;
        const propagationOutput output = flat.run(2);
        QCOMPARE(output.progressCount, uint64_t(25));
        QCOMPARE(output.passageCounts(2, 2), 25);
        QCOMPARE(output.reachingStartCells(2, 2), 1);
        QCOMPARE(gridSum(output.passageCounts), int64_t(25));
        QCOMPARE(gridSum(output.reachingStartCells), int64_t(1));
        QVERIFY(!output.outOfMemory);

        flat.settings.numberOfSimulations = 0;
        QCOMPARE(flat.run(2).progressCount, uint64_t(0));
        QVERIFY(flat.progressSeen.empty());
    }

    void startCellsReachingOneCellCountOnceEach_data()
    {
        QTest::addColumn<int>("threads");
        QTest::addColumn<int>("simulations");
        QTest::newRow("one thread") << 1 << 7;
        QTest::newRow("two threads") << 2 << 7;
        QTest::newRow("two threads sharing each start cell") << 2 << 600;
    }

    // On a plane falling to the east with no deviation every trajectory runs
    // along its row to the edge, whatever its start point: both start cells
    // reach the columns east of the second one.
    void startCellsReachingOneCellCountOnceEach()
    {
        QFETCH(int, threads);
        QFETCH(int, simulations);
        propagationCase plane(5, 8, [](int, int c) { return 500.0f - 10.0f * c; });
        plane.stopCriterion = std::make_shared<neverStop>();
        plane.settings.maxDeviationAngle = 0;
        plane.settings.numberOfSimulations = simulations;
        plane.startCells = {{2, 1}, {2, 3}};
        const propagationOutput output = plane.run(threads);
        QCOMPARE(output.progressCount, uint64_t(2 * simulations));
        for (int r = 0; r < 5; ++r) {
            for (int c = 0; c < 8; ++c) {
                const int startCellsReaching = r != 2 || c < 1 ? 0 : c < 3 ? 1 : 2;
                QCOMPARE(output.reachingStartCells(r, c), startCellsReaching);
                QCOMPARE(output.passageCounts(r, c), startCellsReaching * simulations);
            }
        }
    }

    // One thread repeats itself exactly and equals the serial reference; the
    // repeated start cell counts twice where it reaches.
    void oneThreadFollowsTheDocumentedOrder()
    {
        propagationCase slope = slopeCase();
        slope.startCells = {{2, 5}, {2, 12}, {3, 20}, {5, 8}, {2, 12}};
        slope.settings.saveTrajectories = true;
        slope.settings.initialFallHeight = 5.0;
        const propagationOutput output = slope.run(1);
        const propagationOutput again = slope.run(1);
        const propagationOutput expected = serialReference(slope);
        QCOMPARE(output.progressCount, slope.total());
        QVERIFY(sameGrid(output.passageCounts, expected.passageCounts));
        QVERIFY(sameGrid(output.reachingStartCells, expected.reachingStartCells));
        QVERIFY(samePoints(output.trajectories, expected.trajectories));
        QVERIFY(sameGrid(again.passageCounts, output.passageCounts));
        QVERIFY(samePoints(again.trajectories, output.trajectories));
        QVERIFY(gridSum(output.passageCounts) > 3 * int64_t(slope.total()));
        QCOMPARE(output.reachingStartCells(2, 12), 2);
    }

    void severalThreadsCountEveryTrajectoryOnce()
    {
        propagationCase slope = slopeCase();
        slope.startCells = {{2, 5}, {2, 12}, {3, 20}};
        slope.settings.numberOfSimulations = 150;
        slope.settings.saveTrajectories = true;
        const propagationOutput output = slope.run(2);
        const uint64_t total = slope.total();
        QCOMPARE(output.progressCount, total);
        QCOMPARE(static_cast<uint64_t>(output.trajectories.size()), total);
        QCOMPARE(static_cast<uint64_t>(slope.progressSeen.size()), total);
        for (std::size_t i = 0; i < slope.progressSeen.size(); ++i)
            QCOMPARE(slope.progressSeen[i], static_cast<uint64_t>(i + 1));
        for (const startCell& cell : slope.startCells) {
            QCOMPARE(output.passageCounts(cell.row, cell.col), 150);
            QCOMPARE(output.reachingStartCells(cell.row, cell.col), 1);
        }
        for (int r = 0; r < slope.dem.nrows; ++r) {
            for (int c = 0; c < slope.dem.ncols; ++c) {
                const int reaching = output.reachingStartCells(r, c);
                QVERIFY(reaching >= 0 && reaching <= 3);
                QCOMPARE(reaching > 0, output.passageCounts(r, c) > 0);
                QVERIFY(output.passageCounts(r, c) <= reaching * 150);
            }
        }
        std::size_t points = 0;
        for (const auto& trajectory : output.trajectories)
            points += trajectory.size();
        QVERIFY(static_cast<int64_t>(points) >= gridSum(output.passageCounts));
    }

    void abortStopsEarly()
    {
        propagationCase slope = slopeCase();
        slope.startCells = {{2, 5}, {2, 12}, {3, 20}};
        slope.settings.numberOfSimulations = 200;
        slope.abortAfter = 25;
        const propagationOutput output = slope.run(2);
        QVERIFY(output.progressCount >= 25);
        QVERIFY(output.progressCount < slope.total());
        QCOMPARE(static_cast<uint64_t>(slope.progressSeen.size()), output.progressCount);
        // The start cells cut short still count for what their finished
        // trajectories reached.
        for (int r = 0; r < slope.dem.nrows; ++r)
            for (int c = 0; c < slope.dem.ncols; ++c)
                QCOMPARE(output.reachingStartCells(r, c) > 0, output.passageCounts(r, c) > 0);

        slope.abortAfter = 0;
        slope.abortRequested = true;
        const propagationOutput none = slope.run(1);
        QCOMPARE(none.progressCount, uint64_t(0));
        QCOMPARE(gridSum(none.passageCounts), int64_t(0));
    }

    // Running out of memory is reported through outOfMemory; any other failure
    // is raised again once the threads have stopped.
    void failuresInsideTheParallelWorkStopIt()
    {
        propagationCase slope = slopeCase();
        slope.startCells = {{2, 5}, {2, 12}};
        slope.settings.numberOfSimulations = 100;
        const propagationInput input = slope.input();
        for (const bool memory : {true, false}) {
            omp_set_num_threads(2);
            propagationOutput output = emptyOutput(slope.dem);
            randomGenerator generator;
            auto failAtTen = [memory](uint64_t count) {
                if (count == 10 && memory)
                    throw std::bad_alloc();
                if (count == 10)
                    throw std::runtime_error("failed");
            };
            if (memory) {
                runPropagation(input, generator, output, failAtTen);
                QVERIFY(output.outOfMemory);
            } else {
                QVERIFY_THROWS_EXCEPTION(std::runtime_error, runPropagation(input, generator, output, failAtTen));
            }
            QVERIFY(output.progressCount < slope.total());
        }
    }

    void gridsOfAnotherShapeAreRefused()
    {
        propagationCase slope = slopeCase();
        slope.startCells = {{2, 5}};
        propagationOutput output = emptyOutput(slope.dem);
        output.passageCounts.assign(slope.dem.nrows - 1, slope.dem.ncols, 0);
        randomGenerator generator;
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, runPropagation(slope.input(), generator, output, nullptr));
        output.passageCounts.assign(slope.dem.nrows, slope.dem.ncols, 0);
        slope.aspect.assign(slope.dem.nrows, slope.dem.ncols + 1, 0.0);
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, runPropagation(slope.input(), generator, output, nullptr));
    }
};

QTEST_APPLESS_MAIN(tst_monteCarloDriver)
#include "tst_monteCarloDriver.moc"

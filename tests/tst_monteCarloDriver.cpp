#include <QtTest>

#include <omp.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <numeric>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "engine/aggregation.h"
#include "engine/barrierIndex.h"
#include "engine/monteCarloDriver.h"
#include "engine/randomGenerator.h"
#include "engine/terrainDerivatives.h"
#include "engine/trajectory.h"
#include "tests/engineFixtures.h"

namespace {

// A cliff above a talus slope above a gently falling valley floor, with
// some relief across the slope so that trajectories wander and stop.
float cliffTalusValley(int r, int c)
{
    const double base = r < 8 ? 600.0 - 25.0 * r : r < 20 ? 400.0 - 9.0 * (r - 8) : 292.0 - 1.5 * (r - 20);
    return static_cast<float>(base + 6.0 * std::sin(c * 0.7) + 3.0 * std::cos(r * 1.3 + c * 0.4));
}

struct propagationCase
{
    propagationCase(int nrows, int ncols, const std::function<float(int, int)>& elevationAt = cliffTalusValley)
        : elevation(surfaceGrid(nrows, ncols, elevationAt)), dem(testHeader(nrows, ncols))
    {
        computeAspectGrid(elevation, nrows, ncols, dem.cellsize, dem.nodataValue, aspect);
        settings.numberOfSimulations = 20;
        settings.segmentLength = 10.0;
        settings.profileStep = 1.0;
        settings.maxDeviationAngle = 22;
    }

    propagationOutput emptyOutput() const
    {
        propagationOutput output;
        output.passageCounts.assign(dem.nrows, dem.ncols, 0);
        output.reachingStartCells.assign(dem.nrows, dem.ncols, 0);
        if (intensity.enabled)
            output.intensity.assign(dem.nrows, dem.ncols, intensity);
        if (!releases.empty())
            output.frequencies.assign(dem.nrows, dem.ncols, intensity.energyClassLimits.size());
        if (measures)
            output.unprotected.assign(dem.nrows, dem.ncols, intensity.energiesWanted(), false, 0);
        return output;
    }

    propagationInput input() const
    {
        propagationInput in{elevation, dem, aspect, startCells, settings, *stopCriterion, abortRequested};
        in.seed = seed;
        in.intensity = &intensity;
        in.releases = releases.empty() ? nullptr : &releases;
        in.measures = measures ? &*measures : nullptr;
        return in;
    }

    propagationOutput run(int threads, const progressCallback& onProgress = {})
    {
        omp_set_num_threads(threads);
        propagationOutput output = emptyOutput();
        randomGenerator generator;
        progressSeen.clear();
        runPropagation(input(), generator, output, [&](uint64_t count) {
            progressSeen.push_back(count);
            if (onProgress)
                onProgress(count);
        });
        return output;
    }

    // Start cell by start cell, simulation by simulation, two draws for the
    // start point (column offset first), merged trajectory by trajectory.
    propagationOutput serialReference() const
    {
        propagationOutput expected = emptyOutput();
        randomGenerator generator;
        const trajectoryContext context{terrainSurface{elevation, dem}, aspect, settings, *stopCriterion,
                                        abortRequested};
        trajectoryResult trajectory;
        for (const startCell& cell : startCells) {
            std::set<std::size_t> reachedByCell;
            for (int sim = 0; sim < settings.numberOfSimulations; ++sim) {
                const float colOffset = static_cast<float>(dem.cellsize * generator.draw());
                const float rowOffset = static_cast<float>(dem.cellsize * generator.draw());
                runTrajectory(context,
                              gridPosition{uint32_t(cell.row), uint32_t(cell.col), rowOffset, colOffset, dem.cellsize},
                              generator, trajectory);
                for (const std::size_t reached : trajectory.reachedCells) {
                    ++expected.passageCounts.data()[reached];
                    reachedByCell.insert(reached);
                }
                expected.trajectories.push_back(trajectory.points);
            }
            for (const std::size_t reached : reachedByCell)
                ++expected.reachingStartCells.data()[reached];
        }
        return expected;
    }

    elevationGrid elevation;
    rasterHeader dem;
    grid<double> aspect;
    std::vector<startCell> startCells;
    simulationSettings settings;
    std::shared_ptr<iStopCriterionStrategy> stopCriterion = makeStopCriterion(0);
    std::atomic<bool> abortRequested{false};
    std::vector<uint64_t> progressSeen;
    std::optional<uint64_t> seed;
    intensitySettings intensity;
    std::vector<startCellRelease> releases;
    std::optional<protectionMeasures> measures;
};

bool sameGrid(const grid<int32_t>& a, const grid<int32_t>& b)
{
    return a.rows() == b.rows() && a.cols() == b.cols() && std::equal(a.data(), a.data() + a.size(), b.data());
}

int64_t gridSum(const grid<int32_t>& g) { return std::accumulate(g.data(), g.data() + g.size(), int64_t(0)); }

}  // namespace

// The parallel driver against its serial reference, and the shared generator
// it draws from.
class tst_monteCarloDriver : public QObject
{
    Q_OBJECT

private slots:
    // One thread repeats itself and equals the serial reference; a repeated
    // start cell counts twice where it reaches.
    void oneThreadFollowsTheSerialOrder()
    {
        propagationCase slope(40, 30);
        slope.startCells = {{2, 5}, {2, 12}, {3, 20}, {5, 8}, {2, 12}};
        slope.settings.saveTrajectories = true;
        slope.settings.initialFallHeight = 5.0;
        const propagationOutput output = slope.run(1);
        const propagationOutput expected = slope.serialReference();
        QCOMPARE(output.progressCount, uint64_t(100));
        QVERIFY(sameGrid(output.passageCounts, expected.passageCounts));
        QVERIFY(sameGrid(output.reachingStartCells, expected.reachingStartCells));
        QVERIFY(output.trajectories == expected.trajectories);
        QVERIFY(slope.run(1).trajectories == output.trajectories);
        // Trajectory 26 is the sixth simulation of the second start cell.
        QCOMPARE(output.trajectoryOrigins.size(), output.trajectories.size());
        const trajectoryOrigin origin = output.trajectoryOrigins[25];
        QVERIFY(origin.startCellIndex == 1 && origin.row == 2 && origin.col == 12 && origin.simulation == 6);
        QVERIFY(gridSum(output.passageCounts) > 300);
        QCOMPARE(output.reachingStartCells(2, 12), 2);
    }

    // On a plane falling to the east with no deviation every trajectory runs
    // along its row to the edge: both start cells reach the columns east of
    // the second, each counted once per start cell, whatever the threads.
    void startCellsReachingOneCellCountOnceEach_data()
    {
        QTest::addColumn<int>("threads");
        QTest::addColumn<int>("simulations");
        QTest::newRow("one thread") << 1 << 7;
        QTest::newRow("two threads") << 2 << 7;
        QTest::newRow("two threads sharing each start cell") << 2 << 600;
    }

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
                const int reaching = r != 2 || c < 1 ? 0 : c < 3 ? 1 : 2;
                QCOMPARE(output.reachingStartCells(r, c), reaching);
                QCOMPARE(output.passageCounts(r, c), reaching * simulations);
            }
        }
    }

    // Intensity leaves the reach and the paths as they are; its grids are the
    // same on any number of threads (maxima and integer sums), and a class
    // never holds more trajectories than a lower class or the passages, so
    // its probability never exceeds the reach probability.
    void intensityIsOrderFreeAndItsClassesNested()
    {
        propagationCase slope(40, 30);
        slope.startCells = {{2, 5}, {2, 12}, {3, 20}};
        slope.settings.numberOfSimulations = 60;
        slope.settings.initialFallHeight = 5.0;
        slope.settings.saveTrajectories = true;
        slope.seed = 42;
        const propagationOutput off = slope.run(1);
        slope.intensity = intensitySettings{true, 2.0, 2700.0, {30.0, 300.0}};
        const propagationOutput one = slope.run(1);
        const propagationOutput two = slope.run(2);
        QVERIFY(sameGrid(one.passageCounts, off.passageCounts) && sameGrid(two.passageCounts, off.passageCounts));
        QVERIFY(sameGrid(one.reachingStartCells, off.reachingStartCells));
        QVERIFY(one.trajectories == two.trajectories);
        for (std::size_t t = 0; t < off.trajectories.size(); ++t)
            for (std::size_t p = 0; p < off.trajectories[t].size(); ++p) {
                trajectoryPoint point = one.trajectories[t][p];
                QVERIFY(point.h >= 0.0f);
                point.h = 0.0f;
                QVERIFY(point == off.trajectories[t][p]);
            }
        const intensityGrids& a = one.intensity;
        const intensityGrids& b = two.intensity;
        QVERIFY(std::equal(a.heightMax.data(), a.heightMax.data() + a.heightMax.size(), b.heightMax.data()));
        QVERIFY(std::equal(a.heightSum.data(), a.heightSum.data() + a.heightSum.size(), b.heightSum.data()));
        QVERIFY(sameGrid(a.classCounts[0], b.classCounts[0]) && sameGrid(a.classCounts[1], b.classCounts[1]));
        QVERIFY(gridSum(a.classCounts[1]) > 0 && gridSum(a.classCounts[0]) > gridSum(a.classCounts[1]));

        std::vector<double> reach(30), class30(30), class300(30), mean(30);
        for (int r = 0; r < 40; ++r) {
            reachProbabilityRow(one.passageCounts, one.reachingStartCells, 60, r, reach.data());
            classProbabilityRow(a, 0, one.reachingStartCells, 60, r, class30.data());
            classProbabilityRow(a, 1, one.reachingStartCells, 60, r, class300.data());
            heightMeanRow(a, one.passageCounts, r, mean.data());
            for (int c = 0; c < 30; ++c) {
                QVERIFY(class300[c] <= class30[c] && class30[c] <= reach[c]);
                QVERIFY(mean[c] <= a.heightMax(r, c) + 0.00005 && (mean[c] > 0.0) <= (a.heightMax(r, c) > 0.0));
            }
        }
    }

    // A start cell's own block and fall height: the run's values change
    // nothing; another fall height changes that start cell's trajectories
    // alone; a block of three times the volume three times the energies.
    void releasesReplaceTheRunsBlockAndFallHeight()
    {
        propagationCase slope(40, 30);
        slope.startCells = {{2, 5}, {2, 12}, {3, 20}};
        slope.settings.saveTrajectories = true;
        slope.seed = 42;
        slope.intensity = intensitySettings{true, 2.0, 2700.0, {30.0, 300.0}};
        const propagationOutput plain = slope.run(1);
        slope.intensity.blocksPerRelease = true;
        slope.releases.assign(3, {0.25, 2.0, 2700.0, 0.0});
        const propagationOutput same = slope.run(2);
        QVERIFY(same.trajectories == plain.trajectories && sameGrid(same.passageCounts, plain.passageCounts));
        QVERIFY(sameGrid(same.intensity.classCounts[1], plain.intensity.classCounts[1]));
        for (std::size_t cell = 0; cell < plain.passageCounts.size(); ++cell)
            QCOMPARE(frequencyAt(same.frequencies.any, cell, 20), 0.25 * plain.passageCounts.data()[cell] / 20.0);

        slope.releases[1].fallHeight = 10.0;
        for (startCellRelease& release : slope.releases)
            release.blockVolume = 6.0;
        const propagationOutput changed = slope.run(2);
        for (std::size_t t = 0; t < plain.trajectories.size(); ++t)
            QCOMPARE(changed.trajectories[t] == plain.trajectories[t], t / 20 != 1);
        slope.releases[1].fallHeight = 0.0;
        const propagationOutput heavier = slope.run(1);
        for (int r = 0; r < 40; ++r)
            for (int c = 0; c < 30; ++c) {
                const double energy = energyOfHeight(slope.intensity, plain.intensity.heightMax(r, c));
                QVERIFY(qAbs(heavier.intensity.energyMax(r, c) - 3.0 * energy) <= 1e-9 * energy);
            }
    }

    // With measures every trajectory is followed with and without them: the
    // unprotected grids are the plain run's, the protected counts lie within
    // them cell by cell, on one thread as on two; a forest of index 0 and a
    // barrier no block can pass change nothing, resp. stop all beyond it.
    void measuresKeepTheRunWithoutThem()
    {
        propagationCase slope(40, 30);
        slope.startCells = {{2, 5}, {2, 12}, {3, 20}};
        slope.seed = 42;
        slope.intensity = intensitySettings{true, 2.0, 2700.0, {30.0, 300.0}};
        const propagationOutput plain = slope.run(1);

        grid<float> forest(40, 30, 0.0f);
        slope.measures = protectionMeasures{};
        slope.measures->forest = &forest;
        const propagationOutput none = slope.run(2);
        QVERIFY(sameGrid(none.passageCounts, plain.passageCounts)
                && sameGrid(none.unprotected.passageCounts, plain.passageCounts));

        for (int r = 10; r < 20; ++r)
            for (int c = 0; c < 30; ++c)
                forest(r, c) = 1.0f;
        barrierIndex wall(40, 30);
        wall.add(0, 0.0, 25.0, 30.0, 25.0);  // across the valley along row 25's north edge
        wall.finish();
        const std::vector<double> strong{1e9};
        slope.measures->barriers = &wall;
        slope.measures->capacities = &strong;
        const propagationOutput one = slope.run(1);
        const propagationOutput two = slope.run(2);
        QVERIFY(sameGrid(one.passageCounts, two.passageCounts)
                && sameGrid(one.unprotected.passageCounts, plain.passageCounts));
        QVERIFY(sameGrid(one.unprotected.reachingStartCells, plain.reachingStartCells));
        QVERIFY(std::equal(one.unprotected.energyMax.data(), one.unprotected.energyMax.data() + 1200,
                           two.unprotected.energyMax.data()));
        int64_t beyond = 0;
        for (std::size_t cell = 0; cell < plain.passageCounts.size(); ++cell) {
            QVERIFY(one.passageCounts.data()[cell] <= plain.passageCounts.data()[cell]);
            beyond += cell >= 25 * 30 ? one.passageCounts.data()[cell] : 0;
        }
        QCOMPARE(beyond, int64_t(0));
        QVERIFY(one.barriers.reached[0] > 0 && one.barriers.stopped[0] == one.barriers.reached[0]);
        // The forest's losses lower the energy line below it.
        bool lowered = false;
        for (int c = 0; c < 30; ++c) {
            QVERIFY(one.intensity.heightMax(22, c) <= plain.intensity.heightMax(22, c));
            lowered = lowered || one.intensity.heightMax(22, c) < plain.intensity.heightMax(22, c);
        }
        QVERIFY(lowered);

        slope.measures->forest = nullptr;
        const std::vector<double> weak{1e-9};
        slope.measures->capacities = &weak;
        const propagationOutput passed = slope.run(2);
        QVERIFY(passed.barriers.reached[0] > 0 && passed.barriers.stopped[0] == 0);
        QVERIFY(sameGrid(passed.passageCounts, plain.passageCounts));
    }

    // Progress counts up by one per trajectory; every trajectory is merged once.
    void severalThreadsCountEveryTrajectoryOnce()
    {
        propagationCase slope(40, 30);
        slope.startCells = {{2, 5}, {2, 12}, {3, 20}};
        slope.settings.numberOfSimulations = 150;
        slope.settings.saveTrajectories = true;
        const propagationOutput output = slope.run(2);
        QCOMPARE(output.progressCount, uint64_t(450));
        QCOMPARE(output.trajectories.size(), std::size_t(450));
        std::vector<uint64_t> counting(450);
        std::iota(counting.begin(), counting.end(), uint64_t(1));
        QVERIFY(slope.progressSeen == counting);
        for (int i = 0; i < 30 * 40; ++i) {
            const int reaching = output.reachingStartCells.data()[i];
            const int passages = output.passageCounts.data()[i];
            QVERIFY(reaching >= 0 && reaching <= 3 && (reaching > 0) == (passages > 0) && passages <= reaching * 150);
        }
        for (const startCell& cell : slope.startCells)
            QCOMPARE(output.passageCounts(cell.row, cell.col), 150);
    }

    // A failure inside the parallel work, running out of memory too, is
    // raised again once the threads have stopped.
    void failuresInsideTheParallelWorkStopIt()
    {
        propagationCase slope(40, 30);
        slope.startCells = {{2, 5}, {2, 12}};
        slope.settings.numberOfSimulations = 100;
        QVERIFY_THROWS_EXCEPTION(std::bad_alloc, slope.run(2, [](uint64_t count) {
            if (count == 10)
                throw std::bad_alloc();
        }));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, slope.run(2, [](uint64_t count) {
            if (count == 10)
                throw std::runtime_error("failed");
        }));
        slope.abortRequested = true;
        QCOMPARE(slope.run(2).progressCount, uint64_t(0));
    }

    // The largest state stays in range without a 64-bit product, and rounding
    // up to 1 gives the largest value below 1 instead; the golden runs pin the
    // sequence itself.
    void stepAndCanonicalHoldAtTheExtremes()
    {
        QCOMPARE(randomGenerator::step(2147483646u), uint32_t((2147483646ull * 16807ull) % 2147483647ull));
        QCOMPARE(randomGenerator::canonical(2147483646u, 2147483646u), 0.9999999999999999);
        QCOMPARE(randomGenerator::canonical(1u, 1u), 0.0);
    }

    // Each draw claims its two steps at once: two racing threads draw exactly
    // the values one thread draws alone, none lost, none made of two halves.
    void concurrentDrawsShareOneSequenceWithoutTearingDraws()
    {
        randomGenerator shared;
        std::vector<double> drawn[2];
        auto drawInto = [&shared](std::vector<double>& out) {
            for (int i = 0; i < 50000; ++i)
                out.push_back(shared.draw());
        };
        std::thread a(drawInto, std::ref(drawn[0]));
        std::thread b(drawInto, std::ref(drawn[1]));
        a.join();
        b.join();
        drawn[0].insert(drawn[0].end(), drawn[1].begin(), drawn[1].end());
        randomGenerator alone;
        std::vector<double> serial(100000);
        for (double& u : serial)
            u = alone.draw();
        std::sort(drawn[0].begin(), drawn[0].end());
        std::sort(serial.begin(), serial.end());
        QVERIFY(drawn[0] == serial);
    }
};

QTEST_APPLESS_MAIN(tst_monteCarloDriver)
#include "tst_monteCarloDriver.moc"

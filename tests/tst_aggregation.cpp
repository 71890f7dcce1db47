#include <QtTest>

#include <cmath>

#include "engine/aggregation.h"
#include "engine/calibrationScores.h"
#include "engine/hazardLevel.h"
#include "engine/protectionMeasures.h"
#include "engine/intensity.h"
#include "engine/runOutStatistics.h"
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

    // Run-outs and travel angles: the longest run-out and the percentiles
    // (nearest rank, bin centres of 0.1 degree) are the same whichever share
    // of the run each trajectory fell into.
    void runOutFigures_data()
    {
        QTest::addColumn<QList<double>>("angles");  // degrees; NaN: never left the start point (run-out 0)
        QTest::addColumn<double>("longest");
        QTest::addColumn<QList<double>>("percentiles");  // 5th, 50th, 95th
        const double nan = qQNaN();
        QTest::newRow("none moved") << QList<double>{nan, nan} << 0.0 << QList<double>{nan, nan, nan};
        QTest::newRow("one angle") << QList<double>{33.0} << 10.0 << QList<double>{33.05, 33.05, 33.05};
        QTest::newRow("twenty, stuck ones left out")
            << QList<double>{nan, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39}
            << 210.0 << QList<double>{20.05, 29.05, 38.05};
        QTest::newRow("below the horizon and steep")
            << QList<double>{-5.0, 89.99} << 20.0 << QList<double>{-4.95, -4.95, 89.95};
    }

    void runOutFigures()
    {
        QFETCH(QList<double>, angles);
        QFETCH(double, longest);
        QFETCH(QList<double>, percentiles);
        runOutStatistics whole;
        runOutStatistics halves[2];
        for (runOutStatistics* statistics : {&whole, &halves[0], &halves[1]})
            statistics->assign(5.0, 100.0);
        for (int i = 0; i < angles.size(); ++i) {
            const bool moved = !qIsNaN(angles[i]);
            const double runOut = moved ? 10.0 * (i + 1) : 0.0;
            whole.addTrajectory(runOut, moved, angles[i], moved);
            halves[i % 2].addTrajectory(runOut, moved, angles[i], moved);
        }
        halves[1].add(halves[0]);
        for (const runOutStatistics* statistics : {&whole, &halves[1]}) {
            QCOMPARE(statistics->longestRunOut, longest);
            QCOMPARE(statistics->runOutCounts, whole.runOutCounts);
            const double expected[] = {5.0, 50.0, 95.0};
            for (int p = 0; p < 3; ++p) {
                const double value = statistics->travelAnglePercentile(expected[p]);
                QVERIFY2(qIsNaN(percentiles[p]) ? qIsNaN(value) : qAbs(value - percentiles[p]) < 1e-9,
                         qPrintable(QString::number(value)));
            }
        }
        // Beyond the bins the last one takes the run-out.
        const uint64_t beyond = whole.runOutCounts.back();
        whole.addTrajectory(1.0e9, true, 10.0, true);
        QCOMPARE(whole.runOutCounts.back(), beyond + 1);
    }

    // A cell counts in an energy class from the class's limit on: a block of 1 m3 at 1000 kg/m3 on an energy line
    // 10 m high carries 98.1 kJ (g = 9.81 m/s2).
    void energyClassesCountFromTheirLimit_data()
    {
        QTest::addColumn<double>("limit");
        QTest::addColumn<int>("counted");
        QTest::newRow("limit below") << 98.0 << 1;
        QTest::newRow("limit met exactly") << 98.1 << 1;
        QTest::newRow("limit above") << 98.2 << 0;
    }

    void energyClassesCountFromTheirLimit()
    {
        QFETCH(double, limit);
        QFETCH(int, counted);
        const intensitySettings settings{true, 1.0, 1000.0, {limit}};
        intensityGrids grids;
        grids.assign(1, 2, settings);
        grids.addTrajectory({{1, 10.0}}, settings);
        QCOMPARE(grids.classCounts[0](0, 1), counted);
    }

    // A row of eight cells, 10 simulations from one start cell in the first:
    // the mapped reach is cells 0-3, a run reaches 0-2 and 5 with Reach_prob
    // 100, 50, 50 and 50 %; so 3 of 4 observed cells are hit and 1 cell (0.01
    // ha at 10 m) over-reaches.
    void scoresOfAHandCase()
    {
        observedEvidence evidence;
        evidence.area.assign(1, 8, 0);
        for (int c = 0; c < 4; ++c)
            evidence.area(0, c) = 1;
        evidence.nearest = nearestStartCellsOf({{0, 0}}, 1, 8, 10.0);
        evidence.releaseAreaOfStartCell = releaseAreasOf({{0, 0}}, 1, 8, evidence.releaseAreas);
        grid<int32_t> passages(1, 8, 0);
        const int counts[8] = {10, 5, 5, 0, 0, 5, 0, 0};
        for (int c = 0; c < 8; ++c)
            passages(0, c) = counts[c];
        const grid<int32_t> reaching(1, 8, 1);
        const runScores scores = scoresOf(tallyRun(evidence, passages, reaching, 10), 8, 4, 0.01);
        QCOMPARE(scores.hitRate, 0.75);
        QCOMPARE(scores.overReachHectares, 0.01);
        QCOMPARE(scores.overReachShare, 1.0 / 8.0);
        // Of the 16 pairs: cell 0 beats all 4 others; 1 and 2 beat 3 others and tie 1; 3 ties 3 (4, 6, 7).
        QCOMPARE(scores.auc, (4.0 + 2 * (3.0 + 0.5) + 1.5) / 16.0);
        // Farthest reached cell 5 (50 m), farthest observed cell 3 (30 m).
        QCOMPARE(scores.runOutError, 20.0);
        QVERIFY(std::isnan(scores.pointHitRate));
    }

    // Forest's added angle on a 30 degree threshold over a 10 m step, with the
    // defaults: 10 degrees at most, 2 at least, h_v = 30^2 / (2 x 9.81) m.
    void forestLossOfAHandCase_data()
    {
        const double speedHeight = 900.0 / (2.0 * 9.81);
        QTest::addColumn<double>("index");
        QTest::addColumn<double>("height");
        QTest::addColumn<double>("added");  // degrees
        QTest::newRow("dense, at rest: the largest") << 1.0 << 0.0 << 10.0;
        QTest::newRow("dense, half the speed height") << 1.0 << speedHeight / 2.0 << 6.0;
        QTest::newRow("dense, at the speed height: the least") << 1.0 << speedHeight << 2.0;
        QTest::newRow("dense, beyond it: the least") << 1.0 << 3.0 * speedHeight << 2.0;
        QTest::newRow("half dense, at rest") << 0.5 << 0.0 << 5.0;
        QTest::newRow("half dense, half the speed height") << 0.5 << speedHeight / 2.0 << 3.5;
        QTest::newRow("sparse: never below the least") << 0.1 << 0.0 << 2.0;
    }

    void forestLossOfAHandCase()
    {
        QFETCH(double, index);
        QFETCH(double, height);
        QFETCH(double, added);
        const double degree = 3.14159265358979323846 / 180.0;
        const double expected = 10.0 * (std::tan((30.0 + added) * degree) - std::tan(30.0 * degree));
        QVERIFY(qAbs(forestLoss(forestSettings{}, index, height, 30.0, 10.0) - expected) < 1e-12);
    }

    // One cell reached by trajectories of start cells of one frequency, 10
    // simulations, blocks of 9.81 kJ per metre of height, limits 30 and 300
    // kJ, return periods 30, 100, 300 years and the default matrix.
    void hazardOfAHandCase_data()
    {
        QTest::addColumn<double>("frequency");       // of each start cell, 1/year
        QTest::addColumn<QList<double>>("heights");  // m, of each arriving trajectory
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("matrixCell");
        QTest::newRow("strong every time, 0.1 a year: red") << 0.1 << QList<double>(10, 40.0) << 4 << 1;
        QTest::newRow("medium once, 1/100 exactly: blue, not yellow") << 0.1 << QList<double>{5.0} << 3 << 5;
        QTest::newRow("weak once, 1/100: yellow") << 0.1 << QList<double>{1.0} << 2 << 8;
        QTest::newRow("weak three times, 1/30 in steps: blue") << 1.0 / 90.0 << QList<double>(30, 1.0) << 3 << 7;
        QTest::newRow("strong but below 1/300: residual") << 0.001 << QList<double>{40.0} << 1 << 0;
        QTest::newRow("not reached") << 0.1 << QList<double>{} << 0 << 0;
    }

    void hazardOfAHandCase()
    {
        QFETCH(double, frequency);
        QFETCH(QList<double>, heights);
        QFETCH(int, level);
        QFETCH(int, matrixCell);
        frequencyGrids frequencies;
        frequencies.assign(1, 1, 2);
        grid<int32_t> passages(1, 1, 0);
        for (const double height : heights) {
            frequencies.addTrajectory(frequencyUnits(frequency), {0}, {{0, height}}, blockWeight(1.0, 1000.0),
                                      {30.0, 300.0});
            ++passages(0, 0);
        }
        hazardCell cell;
        hazardRow(hazardSettings{}, frequencies, passages, 10, 0, &cell);
        QCOMPARE(int(cell.level), level);
        QCOMPARE(int(cell.matrixCell), matrixCell);
    }
};

QTEST_APPLESS_MAIN(tst_aggregation)
#include "tst_aggregation.moc"

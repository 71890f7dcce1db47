#include <omp.h>

#include <cmath>
#include <optional>

#include <QTemporaryDir>
#include <QTest>

#include "engine/trajectoryStream.h"
#include "tests/runScratch.h"

// Seeded runs: each trajectory draws from its own stream, so the outputs are
// fixed by the seed alone, whatever the number of threads.
class tst_seededRuns : public QObject
{
    Q_OBJECT

    struct runOutputs
    {
        QStringList events;
        QByteArray counts;
        QByteArray probability;
        QByteArray points;
        QByteArray log;
        QByteArray map;
    };

    static runOutputs run(const QString& terrain, std::optional<uint64_t> seed, int threads, int simulations)
    {
        QTemporaryDir out;
        const QString startDir = QDir::currentPath();
        QDir::setCurrent(out.path());
        omp_set_num_threads(threads);
        tumbraController controller;
        controller.setDigitalElevationModel(terrain + "/dem.asc");
        controller.setStartCellsFile(terrain + "/start_cells.asc");
        controller.setNumberOfSimulations(simulations);
        controller.setMaxDeviationAngle(30);
        controller.setSaveTrajectories(true);
        controller.setSeed(seed);
        controllerRecorder recorder(controller);
        controller.runProcess();
        QDir::setCurrent(startDir);
        runOutputs outputs{recorder.events,
                           readTextFile(out.filePath("N.asc")),
                           readTextFile(out.filePath("Reach_prob.asc")),
                           readTextFile(out.filePath("trajectory_points.txt")),
                           readTextFile(out.filePath("log.txt")),
                           {}};
        const resultViewData view = controller.resultView();
        outputs.map = QByteArray(reinterpret_cast<const char*>(view.displayGrid.data()),
                                 static_cast<int>(view.displayGrid.size() * sizeof(int32_t)));
        return outputs;
    }

    // The sum of all passage counts: cells reached, over all trajectories.
    static double totalPassages(const QByteArray& countGrid)
    {
        double total = 0.0;
        const QList<QByteArray> lines = countGrid.split('\n');
        for (int i = 6; i < lines.size(); ++i)
            for (const QByteArray& value : lines[i].split(' '))
                total += value.toDouble();
        return total;
    }

private slots:
    // Philox4x32-10 with key (0, 0) and counter (0, 0, 0, 0) gives the words
    // 6627e8d5 e169c58d bc57ac4c 9b00dbd8 (Random123's known-answer vectors);
    // seed 0, start cell 0, simulation 0 must take its first two draws from them.
    void drawsFollowTheDocumentedMapping_data()
    {
        QTest::addColumn<double>("draw");
        QTest::addColumn<double>("expected");
        trajectoryStream stream(0, 0, 0);
        const double first = stream.draw();
        const double second = stream.draw();
        QTest::newRow("first draw") << first << (2.0 * double(0xe169c58d6627e8d5ull >> 12) + 1.0) * 0x1p-53;
        QTest::newRow("second draw") << second << (2.0 * double(0x9b00dbd8bc57ac4cull >> 12) + 1.0) * 0x1p-53;
        QTest::newRow("all zero words") << trajectoryStream::unitInterval(0, 0) << 0x1p-53;
        QTest::newRow("all one words") << trajectoryStream::unitInterval(~0u, ~0u) << 1.0 - 0x1p-53;
    }

    void drawsFollowTheDocumentedMapping()
    {
        QFETCH(double, draw);
        QFETCH(double, expected);
        QCOMPARE(draw, expected);
        QVERIFY(draw > 0.0 && draw < 1.0);
    }

    // The example has no NODATA; the basin has NODATA cells and cells
    // whose aspect is undefined.
    void outputsDoNotDependOnThreads_data()
    {
        QTest::addColumn<QString>("terrain");
        QTest::newRow("example") << QStringLiteral(EXAMPLES_DIR);
        QTest::newRow("basin with NODATA") << QStringLiteral(TEST_DATA_DIR "/golden/basin");
    }

    void outputsDoNotDependOnThreads()
    {
        QFETCH(QString, terrain);
        const runOutputs one = run(terrain, 11, 1, 6);
        const runOutputs two = run(terrain, 11, 2, 6);
        QVERIFY2(one.events.contains("done:0"), qPrintable(one.events.join('\n')));
        QVERIFY(!one.points.isEmpty());
        QVERIFY(one.counts == two.counts);
        QVERIFY(one.probability == two.probability);
        QVERIFY(one.points == two.points);
        QVERIFY(one.map == two.map);
        QVERIFY(one.log.endsWith("Random numbers: seed 11, one random stream per trajectory (Philox4x32-10)"));

        const runOutputs otherSeed = run(terrain, 12, 2, 6);
        QVERIFY(otherSeed.points != one.points);
    }

    // Other random numbers, the same model: over some twenty thousand
    // trajectories the cells reached in all agree within a few percent.
    void seededAgreesWithSharedGenerator()
    {
        const QString example = QStringLiteral(EXAMPLES_DIR);
        const double seeded = totalPassages(run(example, 5, 2, 50).counts);
        const double shared = totalPassages(run(example, std::nullopt, 1, 50).counts);
        QVERIFY(shared > 0.0);
        QVERIFY2(std::abs(seeded / shared - 1.0) < 0.03, qPrintable(QStringLiteral("%1 vs %2").arg(seeded).arg(shared)));
    }

    // 2 start cells x 2^30 simulations: one more trajectory than a 32-bit
    // count holds. Refused before anything is simulated.
    void refusesRunsBeyondTheCounts()
    {
        runScratch scratch;
        QVERIFY(scratch.open());
        const QByteArray header = "ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\nNODATA_value -9999\n";
        tumbraController controller;
        QVERIFY(scratch.prepare(controller, header + "3 2 1\n3 2 1\n", header + "1 0 0\n1 0 0\n"));
        controller.setNumberOfSimulations(1 << 30);
        controllerRecorder recorder(controller);
        controller.runProcess();
        scratch.close();
        QVERIFY(recorder.events.contains("done:1"));
        QVERIFY(recorder.events.filter("init:").isEmpty());
        QVERIFY(recorder.events.filter("2147483648 trajectories").size() == 1);
    }
};

QTEST_GUILESS_MAIN(tst_seededRuns)
#include "tst_seededRuns.moc"

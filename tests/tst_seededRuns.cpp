#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include "engine/trajectoryStream.h"
#include "tests/controllerRecorder.h"

#ifndef TUMBRA_MPIEXEC
#define TUMBRA_MPIEXEC ""  // built without MPI: the shared runs skip
#endif

// Seeded runs of tumbra-run: the files depend on the seed alone, not on the threads or (under
// mpirun) the processes; a shared run ends together when one process fails.
class tst_seededRuns : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;
    QString err_;  // of the last run
    qint64 milliseconds_ = 0;
    QMap<QString, QMap<QString, QByteArray>> expected_;

    static QString terrainDir(const QString& terrain)
    {
        return terrain == "example" ? QStringLiteral(EXAMPLES_DIR) : QStringLiteral(TEST_DATA_DIR "/golden/basin");
    }

    QStringList arguments(const QString& terrain, const QString& output, const QStringList& extra,
                          const QString& dem = {}) const
    {
        const QString folder = dir_.filePath(output);
        const QString start = terrainDir(terrain) + "/start_cells.asc";
        const QStringList files{"--dem",    dem.isEmpty() ? terrainDir(terrain) + "/dem.asc" : dem,
                                "--start",  start,
                                "--output", folder,
                                "--map",    folder + ".png"};
        // With the frequency and hazard grids, whose sums must not depend on the
        // order either, and in seeded runs forest on the start cells (each
        // trajectory then followed with and without it).
        QStringList hazard{"--intensity", "--block-volume", "1", "--release-frequency", "0.05", "--hazard"};
        if (extra.contains("--seed"))
            hazard << "--forest" << start;
        return QStringList{TUMBRA_RUN_EXECUTABLE} + files + hazard
               + QStringList{"--save-trajectories", "--quiet", "--simulations"} + extra;
    }

    // Runs the program; with `stopOneProcess`, once the output folder exists,
    // sends SIGTERM to one process that mpirun started.
    int launch(const QStringList& arguments, bool stopOneProcess = false, const QString& output = {})
    {
        QProcess process;
        QElapsedTimer timer;
        timer.start();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        // Open MPI keeps allocations until exit; leaks are checked in the runs without mpirun.
        if (arguments.first() == TUMBRA_MPIEXEC)
            environment.insert("ASAN_OPTIONS", environment.value("ASAN_OPTIONS") + ":detect_leaks=0");
        process.setProcessEnvironment(environment);
        process.start(arguments.first(), arguments.mid(1));
        while (stopOneProcess && !QFileInfo::exists(dir_.filePath(output)) && timer.elapsed() < 30000)
            QThread::msleep(50);
        QThread::msleep(stopOneProcess ? 1500 : 0);
        for (QDirIterator entries("/proc", QDir::Dirs | QDir::NoDotAndDotDot); stopOneProcess && entries.hasNext();) {
            const QList<QByteArray> stat = readTextFile(entries.next() + "/stat").split(' ');
            if (stat.size() > 3 && stat[3].toLongLong() == process.processId())
                stopOneProcess = QProcess::execute("kill", {"-TERM", QString(stat[0])}) != 0;
        }
        if (!process.waitForFinished(300000))
            process.kill();
        err_ = QString::fromUtf8(process.readAllStandardError());
        milliseconds_ = timer.elapsed();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    QMap<QString, QByteArray> outputs(const QString& output) const
    {
        QMap<QString, QByteArray> files{{"map", readTextFile(dir_.filePath(output + ".png"))}};
        for (const char* name :
             {"N.asc", "Reach_prob.asc", "trajectory_points.txt", "Freq_300kJ.asc", "Hazard_level.asc",
                                 "Reach_prob_unprotected.asc"})
            files[name] = readTextFile(dir_.filePath(output + "/" + name));
        return files;
    }

    static QStringList mpirun(int processes)
    {
        return {TUMBRA_MPIEXEC, "--oversubscribe", "--allow-run-as-root", "-n", QString::number(processes)};
    }

private slots:
    void init()
    {
        if (QByteArray(QTest::currentTestFunction()).startsWith("shared") && QStringLiteral(TUMBRA_MPIEXEC).isEmpty())
            QSKIP("tumbra-run was built without MPI (TUMBRA_MPI off): shared runs are not tested");
    }

    // The example has no NODATA; the basin has NODATA cells and undefined aspects.
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        for (const QString terrain : {"example", "basin"}) {
            for (const QString threads : {"1", "2"}) {
                const QString output = terrain + "-threads" + threads;
                const int code = launch(arguments(terrain, output, {"5", "--seed", "42", "--threads", threads}));
                QVERIFY2(code == 0, qPrintable(err_));
                expected_[terrain + threads] = outputs(output);
            }
            QVERIFY(expected_[terrain + "1"] == expected_[terrain + "2"]);
            QVERIFY(readTextFile(dir_.filePath(terrain + "-threads1/log.txt"))
                        .contains("\nRandom numbers: seed 42, one random stream per trajectory (Philox4x32-10)"));
        }
    }

    // Philox4x32-10, key and counter 0: 6627e8d5 e169c58d bc57ac4c 9b00dbd8
    // (Random123's known answers), the first two draws of seed 0, start cell 0, simulation 0.
    void drawsFollowTheDocumentedMapping()
    {
        trajectoryStream stream(0, 0, 0);
        QCOMPARE(stream.draw(), (2.0 * double(0xe169c58d6627e8d5ull >> 12) + 1.0) * 0x1p-53);
        QCOMPARE(stream.draw(), (2.0 * double(0x9b00dbd8bc57ac4cull >> 12) + 1.0) * 0x1p-53);
        QCOMPARE(trajectoryStream::unitInterval(0, 0), 0x1p-53);
        QCOMPARE(trajectoryStream::unitInterval(~0u, ~0u), 1.0 - 0x1p-53);
    }

    // Other random numbers, the same model: over some twenty thousand
    // trajectories the cells reached in all agree within a few percent.
    void seededAgreesWithSharedGenerator()
    {
        QCOMPARE(launch(arguments("example", "seeded", {"50", "--seed", "5"})), 0);
        QCOMPARE(launch(arguments("example", "shared", {"50", "--threads", "1"})), 0);
        const auto points = [this](const char* run) {
            return double(readTextFile(dir_.filePath(run + QString("/trajectory_points.txt"))).count('\n'));
        };
        const double ratio = points("seeded") / points("shared");
        QVERIFY2(qAbs(ratio - 1.0) < 0.03, qPrintable(QString::number(ratio)));
    }

    void sharedRunsMatchOneProcess_data()
    {
        QTest::addColumn<QString>("terrain");
        QTest::addColumn<int>("processes");
        QTest::addColumn<QString>("seed");
        for (const QString terrain : {"example", "basin"})
            for (int processes = 1; processes <= 3; ++processes)
                QTest::addRow("%s, %d processes", qPrintable(terrain), processes) << terrain << processes << "42";
        QTest::newRow("basin, 2 processes, other seed") << "basin" << 2 << "43";
    }

    void sharedRunsMatchOneProcess()
    {
        QFETCH(QString, terrain);
        QFETCH(int, processes);
        QFETCH(QString, seed);
        const QString output = QStringLiteral("%1-%2-processes-seed%3").arg(terrain).arg(processes).arg(seed);
        const QStringList settings{"5", "--seed", seed, "--threads", "1"};
        const int code = launch(mpirun(processes) + arguments(terrain, output, settings));
        QVERIFY2(code == 0, qPrintable(err_));
        const QMap<QString, QByteArray> files = outputs(output);
        for (auto file = files.cbegin(); file != files.cend(); ++file)
            QCOMPARE(file.value() == expected_[terrain + "1"][file.key()], seed == "42");
    }

    // The last process is given another DEM or no seed (an MPMD launch), or
    // one process is told to stop (mpirun passes Ctrl-C on as SIGTERM), or no
    // seed is given: every process ends with the same code at once, one
    // message is shown, no file written, no folder left.
    void sharedRunsEndTogether_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        const QString differ = "the 3 processes of this run were not started with the same options and inputs";
        QTest::newRow("another input") << "broken" << 1 << differ;
        QTest::newRow("seed on some") << "seedless" << 1 << differ;
        QTest::newRow("stopped") << "stopped" << 2 << "";
        QTest::newRow("no seed") << "unseeded" << 1 << "2 processes need --seed N";
    }

    void sharedRunsEndTogether()
    {
        QFETCH(QString, mode);
        QFETCH(int, code);
        QFETCH(QString, message);
        QVERIFY(writeTextFile(dir_.filePath("broken.asc"), "not a grid\n"));
        const QString simulations = mode == "stopped" ? "100000" : "5";
        const QStringList settings = mode == "unseeded" ? QStringList{"5"} : QStringList{simulations, "--seed", "1"};
        QStringList command = mpirun(2) + arguments("example", mode, settings);
        if (mode == "broken")
            command << QStringList{":", "-n", "1"} << arguments("example", mode, settings, dir_.filePath("broken.asc"));
        if (mode == "seedless")
            command << QStringList{":", "-n", "1"} << arguments("example", mode, {"5"});
        QCOMPARE(launch(command, mode == "stopped", mode), code);
        QVERIFY(milliseconds_ < 30000);
        QCOMPARE(err_.count("Error: "), message.isEmpty() ? 0 : 1);
        QVERIFY2(err_.contains(message), qPrintable(err_));
        QVERIFY(!QFileInfo::exists(dir_.filePath(mode)));
    }
};

QTEST_GUILESS_MAIN(tst_seededRuns)
#include "tst_seededRuns.moc"

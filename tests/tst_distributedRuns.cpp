#include <signal.h>

#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include "tests/controllerRecorder.h"

// tumbra-run under mpirun: a run shared among processes gives the files of a
// run of one, and ends together, with one message, when a process fails.
class tst_distributedRuns : public QObject
{
    Q_OBJECT

    struct runResult
    {
        int exitCode = -1;
        QString err;
        qint64 milliseconds = 0;
    };

    QTemporaryDir dir_;
    QMap<QString, QMap<QString, QByteArray>> expected_;

    static QString terrainDir(const QString& terrain)
    {
        return terrain == "example" ? QStringLiteral(EXAMPLES_DIR) : QStringLiteral(TEST_DATA_DIR "/golden/basin");
    }

    QStringList runArguments(const QString& dem, const QString& terrain, const QString& output,
                             const QStringList& extra) const
    {
        const QString folder = dir_.filePath(output);
        return QStringList{"--dem", dem, "--start", terrainDir(terrain) + "/start_cells.asc", "--output", folder,
                           "--map", folder + ".png", "--simulations", "5", "--save-trajectories", "--quiet"}
               + extra;
    }

#ifdef TUMBRA_MPIEXEC
    static QStringList mpirun(int processes)
    {
        return {"--oversubscribe", "--allow-run-as-root", "-n", QString::number(processes)};
    }
#endif

    // Runs `program`; `whileRunning` is called once the output folder exists.
    runResult launch(const QString& program, const QStringList& arguments, const QString& output = {},
                     const std::function<void(QProcess&)>& whileRunning = {})
    {
        QProcess process;
        QElapsedTimer timer;
        timer.start();
        process.start(program, arguments);
        if (whileRunning) {
            while (!QFileInfo::exists(dir_.filePath(output)) && timer.elapsed() < 30000)
                QThread::msleep(50);
            QThread::msleep(1500);
            whileRunning(process);
        }
        runResult result;
        if (!process.waitForFinished(300000))
            process.kill();
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.err = QString::fromUtf8(process.readAllStandardError());
        result.milliseconds = timer.elapsed();
        return result;
    }

    QMap<QString, QByteArray> outputs(const QString& output) const
    {
        QMap<QString, QByteArray> files;
        for (const char* name : {"N.asc", "Reach_prob.asc", "trajectory_points.txt"})
            files[name] = readTextFile(dir_.filePath(output + "/" + name));
        files["map"] = readTextFile(dir_.filePath(output + ".png"));
        return files;
    }

private slots:
    void initTestCase()
    {
#ifndef TUMBRA_MPIEXEC
        QSKIP("tumbra-run was built without MPI (TUMBRA_MPI off): runs shared among processes are not tested");
#endif
        QVERIFY(dir_.isValid());
        for (const QString terrain : {"example", "basin"}) {
            for (const QString threads : {"1", "2"}) {
                const QString output = terrain + "-threads" + threads;
                const runResult run = launch(QStringLiteral(TUMBRA_RUN_EXECUTABLE),
                                             runArguments(terrainDir(terrain) + "/dem.asc", terrain, output,
                                                          {"--seed", "42", "--threads", threads}));
                QVERIFY2(run.exitCode == 0, qPrintable(run.err));
                expected_[terrain + threads] = outputs(output);
            }
            QVERIFY(expected_[terrain + "1"] == expected_[terrain + "2"]);
            QVERIFY(!expected_[terrain + "1"]["trajectory_points.txt"].isEmpty());
        }
    }

#ifdef TUMBRA_MPIEXEC
    void sharedRunsMatchSingleProcess_data()
    {
        QTest::addColumn<QString>("terrain");
        QTest::addColumn<int>("processes");
        QTest::addColumn<QString>("seed");
        for (const QString terrain : {"example", "basin"})
            for (int processes = 1; processes <= 3; ++processes)
                QTest::addRow("%s, %d processes", qPrintable(terrain), processes) << terrain << processes << "42";
        QTest::newRow("basin, 2 processes, other seed") << "basin" << 2 << "43";
    }

    void sharedRunsMatchSingleProcess()
    {
        QFETCH(QString, terrain);
        QFETCH(int, processes);
        QFETCH(QString, seed);
        const QString output = QStringLiteral("%1-%2-processes-seed%3").arg(terrain).arg(processes).arg(seed);
        const runResult run =
            launch(TUMBRA_MPIEXEC, mpirun(processes) + QStringList{TUMBRA_RUN_EXECUTABLE}
                                       + runArguments(terrainDir(terrain) + "/dem.asc", terrain, output,
                                                      {"--seed", seed, "--threads", "1"}));
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const QMap<QString, QByteArray> files = outputs(output);
        for (auto file = files.cbegin(); file != files.cend(); ++file)
            QCOMPARE(file.value() == expected_[terrain + "1"][file.key()], seed == "42");
    }

    // The last process cannot read its DEM: every process ends with code 1,
    // the first one tells why, and no file is written.
    void failingProcessEndsTheRun()
    {
        QVERIFY(writeTextFile(dir_.filePath("broken.asc"), "not a grid\n"));
        const QStringList seeded{"--seed", "1"};
        const QStringList good = runArguments(terrainDir("example") + "/dem.asc", "example", "failed", seeded);
        const QStringList broken = runArguments(dir_.filePath("broken.asc"), "example", "failed", seeded);
        const runResult run = launch(TUMBRA_MPIEXEC, mpirun(2) + QStringList{TUMBRA_RUN_EXECUTABLE} + good
                                                         + QStringList{":"} + mpirun(1)
                                                         + QStringList{TUMBRA_RUN_EXECUTABLE} + broken);
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err.count("Error: "), 1);
        QVERIFY2(run.err.contains("rank 2 (of 3) failed: File " + dir_.filePath("broken.asc")), qPrintable(run.err));
        QVERIFY(run.milliseconds < 20000);
        QVERIFY(QDir(dir_.filePath("failed")).isEmpty());
    }

    // mpirun passes Ctrl-C on as SIGTERM; here one process alone gets it.
    void interruptedProcessStopsTheRun()
    {
        QStringList arguments = runArguments(terrainDir("example") + "/dem.asc", "example", "stopped", {"--seed", "1"});
        arguments[arguments.indexOf("5")] = "100000";
        const runResult run = launch(TUMBRA_MPIEXEC, mpirun(2) + QStringList{TUMBRA_RUN_EXECUTABLE} + arguments,
                                     "stopped", [](QProcess& process) {
                                         QDirIterator processes("/proc", QDir::Dirs | QDir::NoDotAndDotDot);
                                         while (processes.hasNext()) {
                                             const QList<QByteArray> stat =
                                                 readTextFile(processes.next() + "/stat").split(' ');
                                             if (stat.size() > 3 && stat[3].toLongLong() == process.processId()) {
                                                 ::kill(static_cast<pid_t>(stat[0].toLongLong()), SIGTERM);
                                                 return;
                                             }
                                         }
                                     });
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.milliseconds < 60000);
        QVERIFY(QDir(dir_.filePath("stopped")).isEmpty());
    }

    void refusesProcessesWithoutSeed()
    {
        const runResult run = launch(TUMBRA_MPIEXEC, mpirun(2) + QStringList{TUMBRA_RUN_EXECUTABLE}
                                                         + runArguments(terrainDir("basin") + "/dem.asc", "basin",
                                                                        "unseeded", {}));
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err.count("Error: "), 1);
        QVERIFY(run.err.contains("2 processes need --seed N"));
    }
#endif
};

QTEST_GUILESS_MAIN(tst_distributedRuns)
#include "tst_distributedRuns.moc"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <signal.h>
#endif

#include "tests/controllerRecorder.h"

namespace {

const QByteArray header = "ncols 5\nnrows 4\nxllcorner 600000\nyllcorner 150000\ncellsize 2\nNODATA_value -9999\n";

struct runResult
{
    int exitCode = -1;
    QString out;
    QString err;
};

}  // namespace

// The headless runner as a user meets it: options, exit codes, refusals.
class tst_tumbraRun : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;

    runResult run(const QStringList& arguments, int timeoutMs = 120000)
    {
        QProcess process;
        process.start(QStringLiteral(TUMBRA_RUN_EXECUTABLE), arguments);
        runResult result;
        if (!process.waitForFinished(timeoutMs))
            return result;
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.out = QString::fromUtf8(process.readAllStandardOutput());
        result.err = QString::fromUtf8(process.readAllStandardError());
        return result;
    }

    QStringList inputs() const
    {
        return {QStringLiteral("--dem"), dir_.filePath(QStringLiteral("dem.asc")), QStringLiteral("--start"),
                dir_.filePath(QStringLiteral("start.asc"))};
    }

private slots:

    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        QVERIFY(writeTextFile(dir_.filePath(QStringLiteral("dem.asc")),
                              header + "9 8 7 6 5\n9 8 7 6 5\n9 8 7 6 5\n9 8 7 6 5\n"));
        QVERIFY(writeTextFile(dir_.filePath(QStringLiteral("start.asc")),
                              header + "0 0 0 0 0\n0 1 0 0 0\n0 0 0 0 0\n0 0 0 0 0\n"));
    }

    void refusesInvalidOptions_data()
    {
        QTest::addColumn<QStringList>("extra");
        QTest::addColumn<QString>("reason");
        const QStringList out = {QStringLiteral("--output"), dir_.filePath(QStringLiteral("never"))};
        QTest::newRow("no output") << QStringList() << "--output is required";
        QTest::newRow("zero simulations") << (out + QStringList{"--simulations", "0"}) << "--simulations";
        QTest::newRow("text simulations") << (out + QStringList{"--simulations", "many"}) << "--simulations";
        QTest::newRow("negative segment") << (out + QStringList{"--segment-length", "-1"}) << "--segment-length";
        QTest::newRow("zero profile step") << (out + QStringList{"--profile-step", "0"}) << "--profile-step";
        QTest::newRow("angle above 90") << (out + QStringList{"--max-angle", "91"}) << "--max-angle";
        QTest::newRow("negative fall height") << (out + QStringList{"--fall-height", "-0.5"}) << "--fall-height";
        QTest::newRow("unknown class") << (out + QStringList{"--probability", "extreme"}) << "--probability";
        QTest::newRow("zero threads") << (out + QStringList{"--threads", "0"}) << "--threads";
        QTest::newRow("unknown option") << (out + QStringList{"--colour"}) << "colour";
    }

    void refusesInvalidOptions()
    {
        QFETCH(QStringList, extra);
        QFETCH(QString, reason);
        const runResult result = run(inputs() + extra);
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.contains(reason), qPrintable(result.err));
        QVERIFY(!QFileInfo::exists(dir_.filePath(QStringLiteral("never"))));
    }

    void runsAndWritesFilesAndMap()
    {
        const QString out = dir_.filePath(QStringLiteral("deep/new/folder"));
        const QString map = dir_.filePath(QStringLiteral("map.png"));
        const runResult result = run(inputs() + QStringList{"--output", out, "--simulations", "20", "--map", map,
                                                            "--save-trajectories", "--threads", "2"});
        QCOMPARE(result.exitCode, 0);
        QVERIFY2(result.err.isEmpty(), qPrintable(result.err));
        QVERIFY(result.out.contains(QStringLiteral("Done.")));
        for (const char* name : {"N.asc", "Reach_prob.asc", "trajectory_points.txt", "log.txt"})
            QVERIFY2(QFileInfo::exists(QDir(out).filePath(QLatin1String(name))), name);
        const QImage image(map);
        // The map, enlarged by a whole factor beside its legend: cell (1, 1) lies above 50 %.
        const int factor = image.height() / 4;
        QCOMPARE(image.pixel(factor + factor / 2, factor + factor / 2), qRgb(0xbd, 0x00, 0x26));
    }

    void timingsNameEveryPhase()
    {
        const QString out = dir_.filePath(QStringLiteral("timed"));
        const runResult result =
            run(inputs() + QStringList{"--output", out, "--simulations", "5", "--quiet", "--timings"});
        QCOMPARE(result.exitCode, 0);
        // Not a terminal: no progress line, and --quiet keeps the messages back.
        QVERIFY2(result.err.isEmpty(), qPrintable(result.err));
        QVERIFY(!result.out.contains(QStringLiteral("Done.")));
        QVERIFY(result.out.startsWith(QStringLiteral("Phase timings:\n")));
        for (const char* phase : {"Reading the elevation model", "Deriving slope directions and relief",
                                  "Reading start cells", "Simulating", "Aggregating results", "Writing N.asc",
                                  "Writing Reach_prob.asc", "Writing log.txt", "Whole run"}) {
            const QRegularExpression line(QStringLiteral("\n  %1 +\\d+\\.\\d\\d s\n").arg(QLatin1String(phase)));
            QVERIFY2(line.match(result.out).hasMatch(), phase);
        }
    }

    void refusesToOverwriteWithoutPermission()
    {
        const QString out = dir_.filePath(QStringLiteral("again"));
        QCOMPARE(run(inputs() + QStringList{"--output", out, "--simulations", "5", "--quiet"}).exitCode, 0);
        const QByteArray first = readTextFile(QDir(out).filePath(QStringLiteral("N.asc")));

        const runResult refused = run(inputs() + QStringList{"--output", out, "--simulations", "7"});
        QCOMPARE(refused.exitCode, 1);
        QVERIFY(refused.err.contains(QStringLiteral("N.asc")));
        QVERIFY(refused.err.contains(QStringLiteral("log.txt")));
        QCOMPARE(readTextFile(QDir(out).filePath(QStringLiteral("N.asc"))), first);

        const runResult replaced = run(inputs() + QStringList{"--output", out, "--simulations", "7", "--overwrite"});
        QCOMPARE(replaced.exitCode, 0);
        QVERIFY(readTextFile(QDir(out).filePath(QStringLiteral("N.asc"))).contains(" 7 "));
    }

    void interruptAbortsWithoutFiles()
    {
#ifdef Q_OS_UNIX
        const QString out = dir_.filePath(QStringLiteral("interrupted"));
        QProcess process;
        process.start(QStringLiteral(TUMBRA_RUN_EXECUTABLE),
                      QStringList{"--dem", QStringLiteral(EXAMPLES_DIR "/dem.asc"), "--start",
                                  QStringLiteral(EXAMPLES_DIR "/start_cells.asc"), "--output", out, "--simulations",
                                  "1000", "--threads", "1"});
        QVERIFY(process.waitForStarted());
        // wait until the simulation runs, then interrupt as Ctrl-C would
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(out), 20000);
        QTest::qWait(1500);
        ::kill(static_cast<pid_t>(process.processId()), SIGINT);
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(QDir(out).entryList(QDir::Files).isEmpty());
#else
        QSKIP("Sending an interrupt needs a POSIX system");
#endif
    }
};

QTEST_GUILESS_MAIN(tst_tumbraRun)
#include "tst_tumbraRun.moc"

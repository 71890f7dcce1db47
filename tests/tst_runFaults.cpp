#include <functional>
#include <memory>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include "controller/tumbraController.h"
#include "tests/runScratch.h"
#include "tests/testPlatform.h"

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/mount.h>
#endif

#if defined(__SANITIZE_ADDRESS__)
#define TUMBRA_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TUMBRA_ADDRESS_SANITIZER 1
#endif
#endif

namespace {

// The spatial reference keywords are "xll" + corner, so an empty corner
// leaves it undefined.
QByteArray gridHeader(int nrows, int ncols, const char* corner = "corner")
{
    return QStringLiteral("ncols %1\nnrows %2\nxll%3 600000\nyll%3 150000\ncellsize 2\nNODATA_value -9999\n")
        .arg(ncols)
        .arg(nrows)
        .arg(QLatin1String(corner))
        .toLatin1();
}

// A DEM of 2 m cells whose elevation falls by `drop` per row southwards
// (0: flat), and a start-cells raster with one cell in the second row's middle.
QByteArray slopeDem(int nrows, int ncols, int drop, const char* corner = "corner")
{
    QByteArray text = gridHeader(nrows, ncols, corner);
    for (int r = 0; r < nrows; ++r) {
        const QByteArray value = QByteArray::number(1000 - drop * r);
        for (int c = 0; c < ncols; ++c)
            text += value + (c + 1 < ncols ? " " : "\n");
    }
    return text;
}

QByteArray oneStartCell(int nrows, int ncols, const char* corner = "corner")
{
    QByteArray text = gridHeader(nrows, ncols, corner);
    for (int r = 0; r < nrows; ++r)
        for (int c = 0; c < ncols; ++c)
            text += QByteArray(r == 1 && c == ncols / 2 ? "1" : "0") + (c + 1 < ncols ? " " : "\n");
    return text;
}

const QByteArray expectedCounts = "\n0 0 0 0 0\n0 0 10 0 0\n0 0 0 0 0\n0 0 0 0 0";
const QByteArray expectedProbabilities =
    "\n0.0 0.0 0.0 0.0 0.0\n0.0 0.0 100.0 0.0 0.0\n0.0 0.0 0.0 0.0 0.0\n0.0 0.0 0.0 0.0 0.0";

QStringList folderEntries(const QString& path)
{
    return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// A small memory-backed volume mounted over a folder for one test, so that
// a full or read-only disk can be played for real. Needs the superuser on
// Linux; elsewhere mount() just says no.
class scratchVolume
{
public:
    explicit scratchVolume(const QString& folder) : folder_(QFile::encodeName(folder)) {}
    ~scratchVolume()
    {
#ifdef Q_OS_LINUX
        if (mounted_)
            umount2(folder_.constData(), MNT_DETACH);
#endif
    }
    scratchVolume(const scratchVolume&) = delete;
    scratchVolume& operator=(const scratchVolume&) = delete;

    bool mount(int kilobytes)
    {
#ifdef Q_OS_LINUX
        const QByteArray options = "size=" + QByteArray::number(kilobytes) + "k";
        mounted_ = runningAsRoot() && ::mount("tmpfs", folder_.constData(), "tmpfs", 0, options.constData()) == 0;
#else
        Q_UNUSED(kilobytes);
#endif
        return mounted_;
    }

    bool makeReadOnly()
    {
#ifdef Q_OS_LINUX
        return mounted_ && ::mount("none", folder_.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
#else
        return false;
#endif
    }

private:
    QByteArray folder_;
    bool mounted_ = false;
};

// Resident memory of this process in bytes, or -1 where it cannot be told.
qint64 residentBytes()
{
#ifdef Q_OS_LINUX
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    if (fields.size() < 2)
        return -1;
    return fields.at(1).toLongLong() * sysconf(_SC_PAGESIZE);
#else
    return -1;
#endif
}

}  // namespace

// Faults while a run is under way: the output folder removed or made
// read-only, a full disk, an abort in every phase, and many runs in a row.
class tst_runFaults : public QObject
{
    Q_OBJECT

    runScratch scratch_;

    void prepare(tumbraController& controller, const QByteArray& dem, const QByteArray& start)
    {
        QVERIFY(scratch_.prepare(controller, dem, start));
    }
    void prepareSmall(tumbraController& controller, const char* corner = "corner")
    {
        prepare(controller, slopeDem(4, 5, 0, corner), oneStartCell(4, 5, corner));
    }
    QString outPath() const { return scratch_.outPath(); }

private slots:
    void init() { QVERIFY(scratch_.open()); }
    void cleanup() { scratch_.close(); }

    void removedOutputFolder_data()
    {
        QTest::addColumn<bool>("blocked");
        QTest::addColumn<QStringList>("events");
        QTest::newRow("made again") << false
                                    << QStringList{"init:10",
                                                   "warning:The output folder %1 was removed during the run and has "
                                                   "been created again.",
                                                   "reset", "done:0", "message:Done."};
        QTest::newRow("a file in its place") << true
                                             << QStringList{"init:10",
                                                            "error:The output folder %1 no longer exists and cannot "
                                                            "be created again. No files saved.",
                                                            "reset", "done:1", "message:Done with errors."};
    }

    // Removed while the simulation ran (the user cleaned up, a share was
    // remounted): the folder is made again and the results land in it,
    // unless a file now stands in its place.
    void removedOutputFolder()
    {
        QFETCH(bool, blocked);
        QFETCH(QStringList, events);
        tumbraController controller;
        prepareSmall(controller);
        controllerRecorder recorder(controller);
        connect(&controller, &tumbraController::initProgressBar, &controller, [&] {
            QVERIFY(QDir(outPath()).removeRecursively());
            if (blocked)
                QVERIFY(writeTextFile(outPath(), "a file where the folder was"));
        }, Qt::DirectConnection);

        controller.runProcess();

        QCOMPARE(recorder.events, events.replaceInStrings(QStringLiteral("%1"), outPath()));
        if (blocked) {
            QCOMPARE(readTextFile(outPath()), QByteArray("a file where the folder was"));
            return;
        }
        QCOMPARE(folderEntries(outPath()), (QStringList{"N.asc", "Reach_prob.asc", "log.txt"}));
        QVERIFY(readTextFile(QDir(outPath()).filePath(QStringLiteral("N.asc"))).endsWith(expectedCounts));
        QVERIFY(readTextFile(QDir(outPath()).filePath(QStringLiteral("log.txt")))
                    .contains(("Results written to folder " + outPath() + '\n').toUtf8()));
    }

    // The run goes on and reports every file it could not write; the files are
    // skipped, and the run counts as completed, as when the folder was never
    // writable.
    void readOnlyOutputFolderGivesOneBoxPerFile()
    {
        scratchVolume volume(outPath());
        const bool onVolume = volume.mount(1024);
        if (!onVolume && runningAsRoot())
            QSKIP("the superuser ignores permissions, and no volume could be mounted");
#ifdef Q_OS_WIN
        QSKIP("Windows ignores the read-only mark of a folder");
#endif
        QVERIFY(QDir::setCurrent(outPath()));
        tumbraController controller;
        prepareSmall(controller);
        controller.setSaveTrajectories(true);
        controllerRecorder recorder(controller);
        bool madeReadOnly = false;
        connect(&controller, &tumbraController::initProgressBar, &controller, [&] {
            madeReadOnly = onVolume ? volume.makeReadOnly()
                                    : QFile::setPermissions(outPath(), QFile::ReadOwner | QFile::ExeOwner);
        }, Qt::DirectConnection);

        controller.runProcess();
        QFile::setPermissions(outPath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        QVERIFY(madeReadOnly);
        QStringList expected = {"init:10"};
        for (const char* name : {"N.asc", "Reach_prob.asc", "trajectory_points.txt", "log.txt"})
            expected << "box:" + permissionWarningText(false, QString::fromLatin1(name));
        expected << QStringList{"reset", "done:0", "message:Done."};
        QCOMPARE(recorder.events, expected);
        QVERIFY(folderEntries(outPath()).isEmpty());
    }

    // A real full volume where one can be mounted, otherwise a file size limit,
    // which fails writes the same way.
    void fullDiskKeepsEarlierFilesAndIsAnError()
    {
#ifdef Q_OS_UNIX
        scratchVolume volume(outPath());
        const bool onVolume = volume.mount(16);
        QVERIFY(QDir::setCurrent(outPath()));
        const QByteArray earlier = "earlier results";
        QVERIFY(writeTextFile(QStringLiteral("N.asc"), earlier));
        QVERIFY(writeTextFile(QStringLiteral("Reach_prob.asc"), earlier));

        tumbraController controller;
        prepare(controller, slopeDem(100, 100, 0), oneStartCell(100, 100));
        controllerRecorder recorder(controller);
        rlimit original{};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &original) == 0);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        if (!onVolume) {
            rlimit tight = original;
            tight.rlim_cur = 8192;
            QVERIFY(setrlimit(RLIMIT_FSIZE, &tight) == 0);
        }
        controller.runProcess();
        setrlimit(RLIMIT_FSIZE, &original);
        std::signal(SIGXFSZ, previousHandler);

        QCOMPARE(recorder.events.size(), 6);
        QCOMPARE(recorder.events.first(), QStringLiteral("init:10"));
        QVERIFY2(recorder.events.at(1).startsWith(QStringLiteral("error:Failed to write file N.asc: ")),
                 qPrintable(recorder.events.at(1)));
        QVERIFY2(recorder.events.at(2).startsWith(QStringLiteral("error:Failed to write file Reach_prob.asc: ")),
                 qPrintable(recorder.events.at(2)));
        QCOMPARE(recorder.events.mid(3), (QStringList{"reset", "done:1", "message:Done with errors."}));
        QCOMPARE(readTextFile(QStringLiteral("N.asc")), earlier);
        QCOMPARE(readTextFile(QStringLiteral("Reach_prob.asc")), earlier);
        QCOMPARE(folderEntries(outPath()), (QStringList{"N.asc", "Reach_prob.asc", "log.txt"}));
        QVERIFY(readTextFile(QStringLiteral("log.txt")).startsWith("Tumbra 1.0 - Analysis completed on "));
#else
        QSKIP("needs a file size limit to play a full disk");
#endif
    }

    void abortInAnyPhaseWritesNothingAndNextRunWorks_data()
    {
        QTest::addColumn<QString>("phase");
        QTest::addColumn<QStringList>("events");

        const QStringList abortedEnd = {"reset", "done:2", "message:Process aborted by user. No files saved."};
        // Both rasters leave their spatial reference undefined, so the checks
        // warn: the abort is requested there.
        QTest::newRow("checks") << "checks" << QStringList{"warning:%undefined"} + abortedEnd;
        QTest::newRow("simulation") << "simulation" << QStringList{"init:10"} + abortedEnd;
        // Writing, once begun, finishes: the files are complete.
        QTest::newRow("writing") << "writing"
                                 << QStringList{"init:10",
                                                "box:" + permissionWarningText(false, QStringLiteral("N.asc")),
                                                "reset", "done:2",
                                                "message:Process stopped by user after its files were written."};
    }

    void abortInAnyPhaseWritesNothingAndNextRunWorks()
    {
        QFETCH(QString, phase);
        QFETCH(QStringList, events);

        tumbraController controller;
        prepareSmall(controller, phase == QLatin1String("checks") ? "" : "corner");
        if (phase == QLatin1String("writing"))
            QVERIFY(QDir::current().mkdir(QStringLiteral("N.asc")));
        bool armed = true;
        auto abort = [&] {
            if (armed)
                controller.requestAbort();
        };
        if (phase == QLatin1String("checks"))
            connect(&controller, &tumbraController::displayWarning, &controller, abort, Qt::DirectConnection);
        else if (phase == QLatin1String("simulation"))
            connect(&controller, &tumbraController::setProgressBar, &controller, abort, Qt::DirectConnection);
        else
            connect(&controller, &tumbraController::requestWarningBox, &controller, abort, Qt::DirectConnection);

        controllerRecorder recorder(controller);
        controller.runProcess();
        const QString undefinedWarning =
            QStringLiteral("Undefined or unknown spatial reference in file %1! Using 'corner' as default.")
                .arg(controller.digitalElevationModel());
        QCOMPARE(recorder.events, events.replaceInStrings(QStringLiteral("%undefined"), undefinedWarning));
        if (phase == QLatin1String("writing")) {
            QCOMPARE(folderEntries(outPath()), (QStringList{"N.asc", "Reach_prob.asc", "log.txt"}));
            QVERIFY(readTextFile(QStringLiteral("Reach_prob.asc")).endsWith(expectedProbabilities));
            QVERIFY(QDir(outPath()).rmdir(QStringLiteral("N.asc")));
        } else {
            QVERIFY(folderEntries(outPath()).isEmpty());
        }
        QVERIFY(!controller.isRunning());

        armed = false;
        recorder.events.clear();
        controller.runProcess();
        QCOMPARE(recorder.events.filter(QStringLiteral("done:")), QStringList{"done:0"});
        QVERIFY(readTextFile(QStringLiteral("N.asc")).endsWith(expectedCounts));
        QVERIFY(readTextFile(QStringLiteral("Reach_prob.asc")).endsWith(expectedProbabilities));
    }

    // Requested from another thread as soon as the run shows as running, the
    // abort arrives while a large DEM is being read; the run ends without
    // simulating, and the next run on the same controller completes.
    void abortWhileReadingEndsBeforeTheSimulation()
    {
        const int size = 1000;
        tumbraController controller;
        prepare(controller, slopeDem(size, size, 0), oneStartCell(size, size));
        controllerRecorder recorder(controller);

        std::unique_ptr<QThread> worker(QThread::create([&controller] { controller.runProcess(); }));
        worker->start();
        while (!controller.isRunning() && !worker->isFinished())
            QThread::yieldCurrentThread();
        controller.requestAbort();
        QVERIFY(worker->wait(120000));

        QCOMPARE(recorder.events,
                 (QStringList{"reset", "done:2", "message:Process aborted by user. No files saved."}));
        QVERIFY(folderEntries(outPath()).isEmpty());

        recorder.events.clear();
        controller.setNumberOfSimulations(1);
        controller.runProcess();
        QCOMPARE(recorder.events, (QStringList{"init:1", "reset", "done:0", "message:Done."}));
    }

    // One controller, fifty runs over a slope with trajectories saved: the
    // memory in use after the last run is what it was after the first few.
    void fiftyRunsKeepMemoryFlat()
    {
        tumbraController controller;
        prepare(controller, slopeDem(150, 150, 2), oneStartCell(150, 150));
        controller.setSaveTrajectories(true);
        QSignalSpy done(&controller, &tumbraController::done);

        qint64 settled = -1;
        for (int run = 1; run <= 50; ++run) {
            controller.runProcess();
            if (run == 5)
                settled = residentBytes();
        }
        const qint64 last = residentBytes();

        QCOMPARE(done.count(), 50);
        for (const QList<QVariant>& arguments : done)
            QCOMPARE(arguments.first().toInt(), 0);
#ifdef TUMBRA_ADDRESS_SANITIZER
        QSKIP("AddressSanitizer holds freed memory back; its leak check covers this build");
#endif
        if (settled < 0)
            QSKIP("resident memory is read from /proc on Linux only");
        const qint64 tolerance = qint64(4) << 20;
        QVERIFY2(last - settled <= tolerance,
                 qPrintable(QStringLiteral("resident memory grew from %1 to %2 bytes").arg(settled).arg(last)));
    }
};

QTEST_GUILESS_MAIN(tst_runFaults)
#include "tst_runFaults.moc"

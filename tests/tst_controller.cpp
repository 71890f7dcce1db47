#include <functional>

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "controller/runMemory.h"
#include "controller/segmentLengthAdvice.h"
#include "controller/tumbraController.h"
#include "tests/controllerRecorder.h"
#include "tests/testPlatform.h"

#include <sys/mount.h>
#include <unistd.h>

namespace {

QByteArray gridHeader(const QByteArray& ncols, const QByteArray& nrows, const QByteArray& cellsize = "2",
                      const QByteArray& corner = "corner")
{
    return "ncols " + ncols + "\nnrows " + nrows + "\nxll" + corner + " 600000\nyll" + corner + " 150000\ncellsize "
           + cellsize + "\nNODATA_value -9999\n";
}

// A grid of 2 m cells whose elevation falls by `drop` per row (0: flat), and
// start cells with one cell in the second row's middle.
QByteArray slopeDem(int nrows, int ncols, int drop = 0, const QByteArray& corner = "corner")
{
    QByteArray text = gridHeader(QByteArray::number(ncols), QByteArray::number(nrows), "2", corner);
    for (int r = 0; r < nrows; ++r)
        text += (QByteArray::number(1000 - drop * r) + ' ').repeated(ncols).chopped(1) + '\n';
    return text;
}

QByteArray oneStartCell(int nrows, int ncols, const QByteArray& corner = "corner")
{
    QByteArray text = gridHeader(QByteArray::number(ncols), QByteArray::number(nrows), "2", corner);
    for (int r = 0; r < nrows; ++r)
        for (int c = 0; c < ncols; ++c)
            text += QByteArray(r == 1 && c == ncols / 2 ? "1" : "0") + (c + 1 < ncols ? " " : "\n");
    return text;
}

const QByteArray header = gridHeader("5", "4");
const QByteArray goodDem = slopeDem(4, 5);
const QByteArray goodStart = oneStartCell(4, 5);
const QByteArray writtenHeader = "ncols 5\nnrows 4\nxllcorner 600000.000000\nyllcorner 150000.000000\n"
                                 "cellsize 2.000000\nNODATA_value -9999.000000";
const QByteArray expectedCounts = "\n0 0 0 0 0\n0 0 10 0 0\n0 0 0 0 0\n0 0 0 0 0";
const QStringList failedEnd = {"reset", "done:1", "message:Done with errors."};
const QStringList completedEnd = {"reset", "done:0", "message:Done."};
// The ten trajectories of goodStart's cell stay in it.
const QString stayedWarning = QStringLiteral(
    "warning:10 of 10 trajectories (100.0 %) never left their start cell and the longest run-out (0 m) is under one "
    "cell (2 m): the areas, run-outs and travel angles of this run are not meaningful. Check that the start cells lie "
    "above ground steep enough for rockfall, and where the DEM's cells are coarser than a few metres, use a finer DEM "
    "that shows the steep parts.");
const QStringList abortedEnd = {"reset", "done:2", "message:Process aborted by user. No files saved."};

QStringList folderEntries(const QString& path)
{
    return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// Makes a folder read-only for real: by its permissions, or for the superuser,
// who ignores them, by a small memory volume mounted over it and remounted read-only.
class readOnlyFolder
{
public:
    explicit readOnlyFolder(const QString& folder) : folder_(QFile::encodeName(folder))
    {
        mounted_ = runningAsRoot() && ::mount("tmpfs", folder_.constData(), "tmpfs", 0, "size=1m") == 0;
    }
    ~readOnlyFolder()
    {
        QFile::setPermissions(QString::fromLocal8Bit(folder_), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (mounted_)
            umount2(folder_.constData(), MNT_DETACH);
    }
    bool usable() const { return mounted_ || !runningAsRoot(); }
    bool apply()
    {
        if (mounted_)
            return ::mount("none", folder_.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
        return QFile::setPermissions(QString::fromLocal8Bit(folder_), QFile::ReadOwner | QFile::ExeOwner);
    }

private:
    QByteArray folder_;
    bool mounted_ = false;
};

qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    const QList<QByteArray> fields = statm.open(QIODevice::ReadOnly) ? statm.readAll().split(' ') : QList<QByteArray>{};
    return fields.size() < 2 ? -1 : fields.at(1).toLongLong() * sysconf(_SC_PAGESIZE);
}

}  // namespace

// Whole runs through the controller: how a run on good, broken or hostile
// inputs ends, what it writes, and faults while it runs.
class tst_controller : public QObject
{
    Q_OBJECT

    // The inputs are written into a scratch folder, and its "out" folder is
    // the current directory, where a run writes its files.
    std::unique_ptr<QTemporaryDir> dir_;
    const QString startDir_ = QDir::currentPath();
    QString outPath() const { return dir_->filePath(QStringLiteral("out")); }
    QString startPath() const { return inputPath(QStringLiteral("start.asc")); }
    QString inputPath(const QString& name) const { return dir_->filePath(name); }

    // The request of the test's run: ten simulations into the "out" folder.
    runRequest request_;

    // Writes the inputs (the DEM under `demName`; an empty name sets none)
    // and names them in the request.
    void prepare(const QByteArray& dem, const QByteArray& start, const QString& demName = QStringLiteral("dem.asc"))
    {
        QVERIFY((demName.isEmpty() || writeTextFile(inputPath(demName), dem)) && writeTextFile(startPath(), start));
        request_.demFile = demName.isEmpty() ? QString() : inputPath(demName);
        request_.startCellsFile = startPath();
    }

    // Runs once and returns the signals, with the paths as %dem, %start, %out.
    QStringList run(tumbraController& controller, const QByteArray& dem, const QByteArray& start,
                    const QString& demName = QStringLiteral("dem.asc"))
    {
        prepare(dem, start, demName);
        return execute(controller, demName);
    }

    QStringList execute(tumbraController& controller, const QString& demName = QStringLiteral("dem.asc"))
    {
        controllerRecorder recorder(controller);
        controller.run(request_);
        return recorder.events.replaceInStrings(inputPath(demName), QStringLiteral("%dem"))
            .replaceInStrings(startPath(), QStringLiteral("%start"))
            .replaceInStrings(outPath(), QStringLiteral("%out"));
    }

private slots:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid() && QDir(dir_->path()).mkdir(QStringLiteral("out")) && QDir::setCurrent(outPath()));
        request_ = runRequest();
        request_.outputFolder = outPath();
        request_.settings.numberOfSimulations = 10;
    }
    void cleanup()
    {
        QDir::setCurrent(startDir_);
        dir_.reset();
    }

    // From a quarter of the cell size on, no warning.
    void shortSegmentsAreWarnedOf_data()
    {
        QTest::addColumn<double>("segment");
        QTest::addColumn<double>("cell");
        QTest::addColumn<QString>("warning");
        QTest::newRow("cells 25 times the segment")
            << 1.0 << 25.0
            << "The segment length (1 m) is under a quarter of the DEM's cell size (25 m): on such a grid most "
               "trajectories stop in their start cell. Use a segment length of at least 6.25 m, or a DEM with cells "
               "of at most 4 m.";
        QTest::newRow("exactly a quarter") << 5.0 << 20.0 << QString();
        QTest::newRow("longer than a cell") << 5.0 << 2.0 << QString();
    }

    void shortSegmentsAreWarnedOf()
    {
        QFETCH(double, segment);
        QFETCH(double, cell);
        QFETCH(QString, warning);
        QCOMPARE(segmentLengthWarning(segment, cell), warning);
    }

    // Segments of a twentieth of the 2 m cell leave most trajectories in
    // their start cells: log.txt marks the figures and keeps the warning the
    // front end showed, and the run its advice gives draws no such warning.
    void degenerateRunIsWarnedOfWhereItIsArchived()
    {
        const QString golden = QStringLiteral(TEST_DATA_DIR "/golden/slope/");
        request_.demFile = golden + "dem.asc";
        request_.startCellsFile = golden + "start_cells.asc";
        request_.settings.numberOfSimulations = 4;
        request_.settings.segmentLength = 0.1;
        request_.settings.profileStep = 0.05;
        tumbraController controller;
        const QStringList events = execute(controller);
        const QStringList warnings = events.filter(QStringLiteral("never left their start cell"));
        QCOMPARE(warnings.size(), 1);
        const QString log = QString::fromUtf8(readTextFile(outPath() + "/log.txt"));
        QVERIFY(log.contains("\n\nWarnings:\n\t") && log.contains(warnings[0].mid(QStringLiteral("warning:").size())));
        QVERIFY(log.contains("\tNot meaningful: "));
        static const QRegularExpression advice("--segment-length ([0-9.]+), profile step ([0-9.]+) or less");
        const QRegularExpressionMatch given = advice.match(warnings[0]);
        QVERIFY2(given.hasMatch(), qPrintable(warnings[0]));
        request_.settings.segmentLength = given.captured(1).toDouble();
        request_.settings.profileStep = given.captured(2).toDouble();
        request_.overwrite = true;
        const QStringList advised = execute(controller);
        QVERIFY2(advised.filter(QStringLiteral("warning:")).isEmpty(), qPrintable(advised.join('\n')));
        const QString advisedLog = QString::fromUtf8(readTextFile(outPath() + "/log.txt"));
        QVERIFY(!advisedLog.contains("Warnings:") && !advisedLog.contains("Not meaningful"));
    }

    // Every refusal ends with its message, reset, code 1 and no file written.
    void refusedRunEndsWithCodeOne_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QByteArray>("dem");
        QTest::addColumn<QByteArray>("start");
        QTest::addColumn<QString>("error");
        const QByteArray rows = "100 100 100 100 100\n";
        const QByteArray startRows = goodStart.mid(header.size());
        const QString invalid = "The header of file %1 is invalid: nrows, ncols and cellsize must be greater than 0.";
        const QString shortOf = "File %dem holds %1 complete data rows, but its header announces %2.";
        QTest::newRow("no DEM set") << "dem=" << goodDem << goodStart << "No file name provided!";
        for (const char* name : {"dem.png", "dem"})
            QTest::addRow("DEM named %s", name) << QStringLiteral("dem=") + name << goodDem << goodStart
                                                << "The file type of DEM %dem is not supported. Supported are ESRI "
                                                   "ASCII grids with the suffix .asc or .txt and GeoTIFF files with "
                                                   "the suffix .tif or .tiff.";
        QTest::newRow("profile step 0") << "step=0" << goodDem << goodStart
                                        << "The profile step must be greater than 0.";
        QTest::newRow("unknown class") << "class=7" << goodDem << goodStart
                                       << "Unknown propagation probability class 7.";
        QTest::newRow("DEM nrows 0") << "" << gridHeader("5", "0") + rows << goodStart << invalid.arg("%dem");
        QTest::newRow("DEM cellsize NaN")
            << "" << gridHeader("5", "4", "nan") + rows << goodStart
            << "File %dem gives cellsize as nan: the grid's position and cell size must be finite numbers.";
        QTest::newRow("DEM without elevation")
            << "" << header + QByteArray("-9999 -9999 -9999 -9999 -9999\n").repeated(4) << goodStart
            << "File %dem holds no elevation: every cell is NODATA (-9999). Give a DEM with elevations.";
        QTest::newRow("start cellsize < 0")
            << "" << goodDem << gridHeader("5", "4", "-2") + startRows << invalid.arg("%start");
        QTest::newRow("DEM short of rows") << "" << header + rows + rows + "100 100\n"
                                           << goodStart << shortOf.arg(2).arg(4);
        QTest::newRow("header far beyond the file")
            << "" << gridHeader("5", "2000000") + rows << gridHeader("5", "2000000") << shortOf.arg(1).arg(2000000);
        QTest::newRow("DEM without a complete row")
            << "" << header + "100 100\n"
            << goodStart << "No complete data row could be read from file %dem.";
        QTest::newRow("PNG as DEM")
            << "" << QByteArray::fromHex("89504e470d0a1a0a0000000d4948445200000010000000100806") << goodStart
            << "File %dem is not an ESRI ASCII grid: its first line reads \"\uFFFDPNG\", where a "
               "grid starts with \"ncols\". Give an ESRI ASCII grid (.asc) or a GeoTIFF (.tif).";
        QTest::newRow("NUL in start cells") << "" << goodDem << header + QByteArray("0 0 0 0 0\n0 0 1\0 0 0\n", 21)
                                            << "Failed to parse start cells file %start. Syntax error on line 8.";
        QTest::newRow("no start cell") << "" << goodDem << header + QByteArray("0 0 0 0 0\n").repeated(4)
                                       << "No start cells found. Aborting.";
        // Beyond the window's and tumbra-run's limits, but the controller checks for itself.
        QTest::newRow("beyond the counts")
            << "simulations=1073741824" << goodDem << header + "0 0 0 0 0\n0 1 0 1 0\n0 0 0 0 0\n0 0 0 0 0\n"
            << "The run would simulate 2147483648 trajectories (2 start cells x 1073741824 simulations), more than "
               "the 2147483647 that the passage counts can hold. Use fewer simulations or split the start cells over "
               "several runs. Aborting.";
        QTest::newRow("grids differ") << "" << goodDem
                                      << gridHeader("6", "3") + "0 0 0 0 0 0\n0 0 1 0 0 0\n0 0 0 0 0 0\n"
                                      << "Inconsistent number of columns in data! Inconsistent number of rows "
                                         "in data!\nDEM %dem: 4 rows, 5 columns, lower-left corner 600000.0 / "
                                         "150000.0, cell size 2\nStart cells %start: 3 rows, 6 columns, "
                                         "lower-left corner 600000.0 / 150000.0, cell size 2\nTo put the start "
                                         "cells on the DEM's grid, run\n  gdalwarp -te 600000 150000 600010 150008 "
                                         "-tr 2 2 -r near %start %dir/start_on_dem_grid.tif\nand give the file it "
                                         "writes as the start cells.";
    }

    void refusedRunEndsWithCodeOne()
    {
        QFETCH(QString, setting);
        QFETCH(QByteArray, dem);
        QFETCH(QByteArray, start);
        QFETCH(QString, error);
        tumbraController controller;
        request_.settings.profileStep = setting == QLatin1String("step=0") ? 0.0 : 1.0;
        request_.settings.probabilityClass = setting == QLatin1String("class=7") ? 7 : 0;
        if (setting.startsWith(QLatin1String("simulations=")))
            request_.settings.numberOfSimulations = setting.section('=', 1).toInt();
        const QString demName = setting.startsWith(QLatin1String("dem=")) ? setting.mid(4) : QStringLiteral("dem.asc");
        QCOMPARE(run(controller, dem, start, demName),
                 QStringList{"error:" + error.replace("%dir", dir_->path())} + failedEnd);
        QVERIFY(folderEntries(outPath()).isEmpty());
        QVERIFY(!controller.isRunning());
    }

    // A header of 2147483647 x 2147483647 cells over three values: refused by
    // its size where the machine's memory is known, otherwise by the rows it
    // lacks; neither way allocates for the header's size.
    void gridTooLargeForMemoryIsRefusedBeforeReading()
    {
        const QByteArray huge = gridHeader("2147483647", "2147483647") + "1 2 3\n";
        tumbraController controller;
        const QStringList events = run(controller, huge, huge);
        QCOMPARE(events.mid(1), failedEnd);
        const QString expected = physicalMemoryBytes() == 0
                                     ? "error:No complete data row could be read from file %dem."
                                     : "error:File %dem describes a grid of 2147483647 x 2147483647 cells: a run on "
                                       "it needs about ";
        QVERIFY2(events.first().startsWith(expected), qPrintable(events.first()));
    }

    // On flat ground no trajectory leaves its start cell: every phase in order
    // from 0 to 100, the files land in the run's folder though the current
    // directory changes meanwhile, and a second run replaces the first's files
    // (the golden runs pin the files' contents).
    void completedRunWritesExactFiles()
    {
        tumbraController controller;
        request_.settings.saveTrajectories = true;
        QList<QPair<QString, int>> phases;
        connect(
            &controller, &tumbraController::phaseProgress, &controller,
            [&phases](const QString& phase, int percent) {
                phases.append({phase, percent});
            },
            Qt::DirectConnection);
        QList<int> progress;
        connect(
            &controller, &tumbraController::setProgressBar, &controller,
            [&](int value) {
                if (progress.isEmpty())
                    QVERIFY(QDir::setCurrent(dir_->path()));
                progress << value;
            },
            Qt::DirectConnection);
        QCOMPARE(run(controller, goodDem, goodStart, QStringLiteral("dem.ASC")),
                 (QStringList{"init:10", stayedWarning} + completedEnd));

        QCOMPARE(progress, (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
        QStringList order;
        for (int i = 0; i < phases.size(); ++i) {
            const bool first = i == 0 || phases.at(i - 1).first != phases.at(i).first;
            QVERIFY(first ? phases.at(i).second == 0 && (i == 0 || phases.at(i - 1).second == 100)
                          : phases.at(i).second > phases.at(i - 1).second);
            if (first)
                order << phases.at(i).first;
        }
        QCOMPARE(phases.last().second, 100);
        QCOMPARE(order, (QStringList{"Reading the elevation model", "Deriving slope directions and relief",
                                     "Reading start cells", "Simulating", "Aggregating results", "Writing N.asc",
                                     "Writing Reach_prob.asc", "Writing trajectory_points.txt", "Writing log.txt"}));
        QCOMPARE(folderEntries(dir_->path()), (QStringList{"dem.ASC", "out", "start.asc"}));
        QVERIFY(QDir::setCurrent(outPath()));
        QCOMPARE(folderEntries(outPath()), (QStringList{"N.asc", "N.qml", "Reach_prob.asc", "Reach_prob.qml", "log.txt",
                                                        "trajectory_points.txt"}));
        QCOMPARE(readTextFile(QStringLiteral("N.asc")), writtenHeader + expectedCounts);
        const QString folder = QDir(outPath()).canonicalPath();
        QVERIFY(
            readTextFile(QStringLiteral("log.txt")).contains(("Results written to folder " + folder + '\n').toUtf8()));

        progress = {0};
        request_.settings.numberOfSimulations = 3;
        request_.settings.saveTrajectories = false;
        controller.run(request_);
        QVERIFY(readTextFile(QStringLiteral("N.asc")).endsWith("\n0 0 3 0 0\n0 0 0 0 0\n0 0 0 0 0"));
    }

    // Outputs that cannot be written fail the run and leave the earlier files
    // as they were: none of the new set is placed.
    void unwritableOutput_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QStringList>("events");
        QTest::newRow("read-only Reach_prob.asc")
            << "Reach_prob.asc"
            << QStringList{"init:10", stayedWarning, "error:%out/Reach_prob.asc is write-protected. Make it writable or choose "
                                      "another output folder."}
                   + failedEnd;
        QTest::newRow("read-only folder") << "read-only"
                                          << QStringList{"init:10", stayedWarning, "error:No file can be written into %out"}
                                                 + failedEnd;
        QTest::newRow("full disk") << "full" << QStringList{"init:10", stayedWarning, "error:Failed to write file N.asc: "}
                                                    + failedEnd;
        QTest::newRow("folder removed") << "removed"
                                        << QStringList{"init:10", stayedWarning, "warning:The output folder %out was removed "
                                                                  "during the run and has been created again."}
                                               + completedEnd;
        QTest::newRow("file in the folder's place") << "replaced"
                                                    << QStringList{"init:10", stayedWarning, "error:The output folder %out "
                                                                              "no longer exists and cannot be created "
                                                                              "again. No files saved."}
                                                           + failedEnd;
    }

    void unwritableOutput()
    {
        QFETCH(QString, fault);
        QFETCH(QStringList, events);
        const QString out = outPath();
        std::unique_ptr<readOnlyFolder> readOnly(fault == QLatin1String("read-only") ? new readOnlyFolder(out)
                                                                                     : nullptr);
        if (readOnly && !readOnly->usable())
            QSKIP("the superuser ignores permissions, and no volume could be mounted");
        QVERIFY(QDir::setCurrent(out));  // inside the volume, where there is one
        const QStringList earlier = {"N.asc", "Reach_prob.asc", "trajectory_points.txt", "log.txt"};
        if (fault == QLatin1String("full") || fault == QLatin1String("Reach_prob.asc"))
            for (const QString& name : earlier)
                QVERIFY(writeTextFile(name, "earlier"));
        if (fault == QLatin1String("Reach_prob.asc"))
            QVERIFY(QFile::setPermissions(fault, QFile::ReadOwner));
        if (fault == QLatin1String("Reach_prob.asc") && runningAsRoot())
            QSKIP("the superuser ignores permissions");
        tumbraController controller;
        request_.settings.saveTrajectories = true;
        connect(
            &controller, &tumbraController::initProgressBar, &controller,
            [&] {
                if (fault == QLatin1String("read-only"))
                    QVERIFY(readOnly->apply());
                if (fault == QLatin1String("removed") || fault == QLatin1String("replaced"))
                    QVERIFY(QDir(out).removeRecursively());
                if (fault == QLatin1String("replaced"))
                    QVERIFY(writeTextFile(out, "a file where the folder was"));
            },
            Qt::DirectConnection);
        prepare(goodDem, goodStart);
        std::unique_ptr<fileSizeLimit> limit(fault == QLatin1String("full") ? new fileSizeLimit(64) : nullptr);
        QStringList seen = execute(controller);
        limit.reset();
        for (QString& event : seen) {  // without the system's reason for a failed write
            if (event.startsWith(QLatin1String("error:Failed to write file ")))
                event = event.section(QStringLiteral(": "), 0, 0) + QStringLiteral(": ");
            if (event.startsWith(QLatin1String("error:No file can be written into ")))
                event = event.section(QStringLiteral(" ("), 0, 0);
        }
        QCOMPARE(seen, events);
        for (const QString& name : earlier)  // every earlier file stays whole where one new one failed
            if (fault == QLatin1String("full") || fault == QLatin1String("Reach_prob.asc"))
                QCOMPARE(readTextFile(name), QByteArray("earlier"));
        if (fault == QLatin1String("read-only"))
            QVERIFY(folderEntries(out).isEmpty());
        if (fault == QLatin1String("removed"))
            QVERIFY(readTextFile(out + "/log.txt").contains(("Results written to folder " + out + '\n').toUtf8()));
    }

    // An abort in any phase writes nothing, also one while the files are
    // written (they are dropped unplaced), and the next run on the same
    // controller completes.
    void abortInEveryPhase_data()
    {
        QTest::addColumn<QString>("phase");
        QTest::addColumn<QStringList>("events");
        QTest::newRow("reading") << "reading" << abortedEnd;
        QTest::newRow("checks") << "checks"
                                << QStringList{"warning:Undefined or unknown spatial reference in file %dem! "
                                               "Using 'corner' as default."}
                                       + abortedEnd;
        QTest::newRow("simulation") << "simulation" << QStringList{"init:10"} + abortedEnd;
        QTest::newRow("writing") << "writing" << QStringList{"init:10", stayedWarning} + abortedEnd;
    }

    void abortInEveryPhase()
    {
        QFETCH(QString, phase);
        QFETCH(QStringList, events);
        tumbraController controller;
        bool armed = true;
        auto abort = [&] {
            if (armed)
                controller.requestAbort();
        };
        if (phase == QLatin1String("reading"))
            connect(&controller, &tumbraController::phaseProgress, &controller, abort, Qt::DirectConnection);
        else if (phase == QLatin1String("checks"))
            connect(&controller, &tumbraController::displayWarning, &controller, abort, Qt::DirectConnection);
        else if (phase == QLatin1String("simulation"))
            connect(&controller, &tumbraController::setProgressBar, &controller, abort, Qt::DirectConnection);
        else
            connect(
                &controller, &tumbraController::phaseProgress, &controller,
                [&](const QString& name) {
                    if (name == QLatin1String("Writing Reach_prob.asc"))
                        abort();
                },
                Qt::DirectConnection);
        const QByteArray corner = phase == QLatin1String("checks") ? "" : "corner";
        QCOMPARE(run(controller, slopeDem(4, 5, 0, corner), oneStartCell(4, 5, corner)), events);
        QCOMPARE(folderEntries(outPath()), QStringList());
        QVERIFY(!controller.isRunning());

        armed = false;
        controllerRecorder recorder(controller);
        controller.run(request_);
        QCOMPARE(recorder.last.code, 0);
        QVERIFY(readTextFile(QStringLiteral("N.asc")).endsWith(expectedCounts));
    }

    // Fifty runs over a slope with trajectories saved: the memory in use after
    // the last is what it was after the first few.
    void manyRunsKeepMemoryFlat()
    {
        tumbraController controller;
        request_.settings.saveTrajectories = true;
        prepare(slopeDem(150, 150, 2), oneStartCell(150, 150));
        QList<int> done;  // codes only: a kept outcome would keep its grids
        connect(
            &controller, &tumbraController::finished, &controller,
            [&done](const runOutcome& outcome) { done << outcome.code; }, Qt::DirectConnection);
        qint64 settled = -1;
        for (int run = 1; run <= 50; ++run) {
            controller.run(request_);
            if (run == 5)
                settled = residentBytes();
        }
        const qint64 last = residentBytes();
        QCOMPARE(done.count(), 50);
        QCOMPARE(done.last(), 0);
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("AddressSanitizer holds freed memory back; its leak check covers this build");
#endif
        QVERIFY2(last - settled <= (qint64(4) << 20),
                 qPrintable(QStringLiteral("grew from %1 to %2").arg(settled).arg(last)));
    }

    // The progress signals carry an int however many trajectories a run has.
    void progressValueStaysWithinAnInt()
    {
        const uint64_t total = 1000ull * 3000000ull;
        const int maximum = tumbraController::progressValue(total, total);
        QCOMPARE(tumbraController::progressValue(5, 10), 5);
        QCOMPARE(tumbraController::progressValue(2147483647ull, 2147483647ull), 2147483647);
        QVERIFY(maximum > 0 && tumbraController::progressValue(total - 1, total) <= maximum);
        QVERIFY(tumbraController::progressValue(total / 2, total) <= maximum / 2 + 1);
    }

    // The one check of a request both front ends make before a run: inputs
    // that are regular files, every setting within its row's range, an
    // absolute output folder.
    void requestRefusalNamesTheProblem_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("as prepared") << ""
                                     << "";
        QTest::newRow("DEM a folder") << "dem=folder"
                                      << "The DEM FILE is a folder, not a file. Choose the file inside it.";
        QTest::newRow("DEM missing") << "dem=missing"
                                     << "The DEM FILE does not exist. Check its name and folder.";
        QTest::newRow("start cells missing") << "start=missing"
                                             << "The start cells file FILE does not exist. Check its name and folder.";
        QTest::newRow("no simulations") << "simulations=0"
                                        << "Number of simulations must lie between 1 and 1000000.";
        QTest::newRow("segment too long") << "segment=1000"
                                          << "Segment length must lie between 0.1 and 100 m.";
        QTest::newRow("step NaN") << "step=nan"
                                  << "Profile step must lie between 0.01 and 99.99 m.";
        QTest::newRow("too many threads") << "threads=1025"
                                          << "Threads must lie between 0 and 1024.";
        QTest::newRow("class limit beyond a file name") << "classes=1e300"
                                                        << "Energy class limits must be numbers from 0.001 to "
                                                           "1000000000 kJ, increasing and separated by commas (such "
                                                           "as 30,300).";
        QTest::newRow("relative output") << "output=out"
                                         << "The output folder \"out\" is not an absolute path.";
    }

    void requestRefusalNamesTheProblem()
    {
        QFETCH(QString, change);
        QFETCH(QString, refusal);
        prepare(goodDem, goodStart);
        const QString value = change.section('=', 1);
        const QString file = value == "folder" ? outPath() : inputPath("missing.asc");
        if (change.startsWith("dem="))
            request_.demFile = file;
        if (change.startsWith("start="))
            request_.startCellsFile = file;
        if (change.startsWith("simulations="))
            request_.settings.numberOfSimulations = value.toInt();
        if (change.startsWith("segment="))
            request_.settings.segmentLength = value.toDouble();
        if (change.startsWith("step="))
            request_.settings.profileStep = value.toDouble();
        if (change.startsWith("threads="))
            request_.threads = value.toInt();
        if (change.startsWith("output="))
            request_.outputFolder = value;
        if (change.startsWith("classes="))
            request_.intensity = intensitySettings{true, 2.0, 2700.0, {value.toDouble()}};
        QCOMPARE(requestRefusal(request_), QString(refusal).replace("FILE", file));
    }
};

QTEST_GUILESS_MAIN(tst_controller)
#include "tst_controller.moc"

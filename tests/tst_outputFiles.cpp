#include <memory>
#include <random>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include "raster/fixedNotation.h"
#include "raster/outputFiles.h"
#include "tests/recordingSink.h"
#include "tests/testPlatform.h"

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

QByteArray contents(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return file.readAll();
}

void store(const QString& fileName, const QByteArray& bytes)
{
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

rasterHeader sampleHeader(int nrows, int ncols, int32_t spatialReference = rasterHeader::corner)
{
    rasterHeader header;
    header.nrows = nrows;
    header.ncols = ncols;
    header.xll = 600000.0f;
    header.yll = 150000.0f;
    header.cellsize = 2.0f;
    header.nodataValue = -9999.0f;
    header.spatialReference = spatialReference;
    return header;
}

logReport sampleReport(int32_t spatialReference)
{
    logReport report;
    report.startTime = QDateTime(QDate(2026, 12, 5), QTime(5, 20, 2));
    report.endTime = QDateTime(QDate(2026, 12, 5), QTime(5, 24, 22));
    report.demFile = QStringLiteral("C:/data/dem.asc");
    report.startCellsFile = QStringLiteral("C:/data/start.asc");
    report.dem = sampleHeader(400, 300, spatialReference);
    report.dem.xll = 600012.25f;
    report.numberOfSimulations = 100;
    report.straightDistance = 10.0;
    report.profileStep = 0.25;
    report.maxDeviationAngle = 22;
    report.initialFallHeight = 1.0 / 3.0;
    report.riskLabel = QStringLiteral("High (log10") + QChar(0x207B) + QChar(0x2076) + QLatin1Char(')');
    report.resultsFolder = QStringLiteral("C:/out/100sims_22deg_10m_High");
    return report;
}

enum class writerKind { counts, probabilities, trajectories, log };

// Writes a file of the given kind whose size grows with `size`.
writeOutcome writeSample(writerKind kind, const QString& fileName, int size, messageSink& sink)
{
    switch (kind) {
    case writerKind::counts:
        return writeCountGrid(fileName, sampleHeader(size, size), grid<int32_t>(size, size, 12345), sink);
    case writerKind::probabilities:
        return writeProbabilityGrid(fileName, sampleHeader(size, size), grid<double>(size, size, 12.25), sink);
    case writerKind::trajectories:
        return writeTrajectoryPoints(fileName, trajectoryList(size, std::vector<trajectoryPoint>(size)), sink);
    case writerKind::log: {
        logReport report = sampleReport(rasterHeader::corner);
        report.resultsFolder = QString(size * size, u'x');
        return writeLogFile(fileName, report, sink);
    }
    }
    return writeOutcome::failed;
}

const std::pair<writerKind, const char*> sampleWriters[] = {{writerKind::counts, "count grid"},
                                                           {writerKind::probabilities, "probability grid"},
                                                           {writerKind::trajectories, "trajectory points"},
                                                           {writerKind::log, "log"}};

}  // namespace

class outputFilesTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> folder_;
    QString path(const QString& name) const { return folder_->filePath(name); }

private slots:
    void init()
    {
        folder_ = std::make_unique<QTemporaryDir>();
        QVERIFY(folder_->isValid());
    }

    void writesCountGridExactly()
    {
        grid<int32_t> counts(2, 3, 0);
        for (int i = 0; i < 6; ++i)
            counts(i / 3, i % 3) = i;
        recordingSink sink;
        QCOMPARE(writeCountGrid(path("N.asc"), sampleHeader(2, 3), counts, sink), writeOutcome::written);
        QCOMPARE(contents(path("N.asc")), QByteArray("ncols 3\n"
                                                     "nrows 2\n"
                                                     "xllcorner 600000.000000\n"
                                                     "yllcorner 150000.000000\n"
                                                     "cellsize 2.000000\n"
                                                     "NODATA_value -9999.000000\n"
                                                     "0 1 2\n"
                                                     "3 4 5"));
        QCOMPARE(sink.log, QStringList());
    }

    void writesProbabilitiesWithOneDecimal()
    {
        grid<double> probability(2, 3, 0.0);
        probability(0, 1) = 1.0 / 3.0 / 100.0 * 100.0;
        probability(0, 2) = 100.0;
        probability(1, 0) = 13.0 / 2.0 / 10.0 * 100.0;
        probability(1, 1) = 12.25;
        probability(1, 2) = 0.75;
        rasterHeader header = sampleHeader(2, 3);
        header.xll = 600012.25f;
        header.cellsize = 0.1f;
        recordingSink sink;
        QCOMPARE(writeProbabilityGrid(path("Reach_prob.asc"), header, probability, sink), writeOutcome::written);
        QCOMPARE(contents(path("Reach_prob.asc")), QByteArray("ncols 3\n"
                                                              "nrows 2\n"
                                                              "xllcorner 600012.250000\n"
                                                              "yllcorner 150000.000000\n"
                                                              "cellsize 0.100000\n"
                                                              "NODATA_value -9999.000000\n"
                                                              "0.0 0.3 100.0\n"
                                                              "65.0 12.3 0.8"));
    }

    // Grids large enough to be formatted on two threads come out as the values
    // written one after the other; the rows of probabilities may also be formed
    // while they are written. Values include exact ties, negative zero and the
    // extremes.
    void writesLargeGridsAsValueByValue_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("cols");
        QTest::newRow("two threads, rows of 1000") << 1100 << 1000;
        QTest::newRow("two threads, one long row") << 1 << 1100000;
        QTest::newRow("two threads, rows of 1") << 1100000 << 1;
        QTest::newRow("one thread") << 30 << 40;
    }

    void writesLargeGridsAsValueByValue()
    {
        QFETCH(int, rows);
        QFETCH(int, cols);
        std::mt19937 random(5);
        const double special[] = {0.0, -0.0, 100.0, 0.05, 0.25, -0.25, 12.25, 99.95, 1.0 / 3.0, 1e300, -1e-9};
        grid<int32_t> counts(rows, cols, 0);
        grid<double> probability(rows, cols, 0.0);
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < cols; ++c) {
                const uint32_t draw = random();
                counts(r, c) = draw % 7 == 0 ? INT32_MIN + int32_t(draw % 3) : int32_t(draw % 2001) - 1000;
                probability(r, c) = draw % 5 == 0 ? special[draw % std::size(special)] : (draw % 100001) / 1000.0;
            }
        }
        const rasterHeader header = sampleHeader(rows, cols);
        QByteArray expectedCounts = "ncols " + QByteArray::number(cols) + "\nnrows " + QByteArray::number(rows)
                                    + "\nxllcorner 600000.000000\nyllcorner 150000.000000\ncellsize 2.000000"
                                      "\nNODATA_value -9999.000000";
        QByteArray expectedProbabilities = expectedCounts;
        char text[fixedTextCapacity];
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < cols; ++c) {
                const char separator = c == 0 ? '\n' : ' ';
                expectedCounts += separator;
                expectedCounts.append(text, writeInteger(text, counts(r, c)) - text);
                expectedProbabilities += separator + fixedText(probability(r, c), 1);
            }
        }

        recordingSink sink;
        QList<int> progress;
        const auto record = [&progress, rows](int done, int total) {
            QCOMPARE(total, rows);
            progress << done;
        };
        QCOMPARE(writeCountGrid(path("N.asc"), header, counts, sink, record), writeOutcome::written);
        QVERIFY(contents(path("N.asc")) == expectedCounts);
        QVERIFY(!progress.isEmpty());
        QCOMPARE(progress.last(), rows);
        QVERIFY(std::is_sorted(progress.begin(), progress.end()));

        QCOMPARE(writeProbabilityGrid(path("Reach_prob.asc"), header, probability, sink), writeOutcome::written);
        QVERIFY(contents(path("Reach_prob.asc")) == expectedProbabilities);

        const auto rowOf = [&probability](int r, double* values) {
            std::copy(probability.row(r), probability.row(r) + probability.cols(), values);
        };
        QCOMPARE(writeProbabilityGrid(path("formed.asc"), header, rows, cols, rowOf, sink), writeOutcome::written);
        QVERIFY(contents(path("formed.asc")) == expectedProbabilities);
        QCOMPARE(sink.log, QStringList());
    }

    void numbersTrajectoriesInListOrder()
    {
        const trajectoryList trajectories = {{{600000.25f, 150000.75f, 1234.5f}, {600001.0f, 150002.04f, -0.04f}},
                                             {},
                                             {{1.0f, 2.0f, 3.0f}}};
        recordingSink sink;
        QCOMPARE(writeTrajectoryPoints(path("trajectory_points.txt"), trajectories, sink), writeOutcome::written);
        QCOMPARE(contents(path("trajectory_points.txt")), QByteArray("All trajectories\n"
                                                                     "#\tx\ty\tz\n"
                                                                     "1\t600000.3\t150000.8\t1234.5\n"
                                                                     "1\t600001.0\t150002.0\t-0.0\n"
                                                                     "3\t1.0\t2.0\t3.0"));
    }

    void writesLogExactly_data()
    {
        QTest::addColumn<int>("spatialReference");
        QTest::addColumn<QByteArray>("corner");
        QTest::addColumn<QByteArray>("gridKeyword");
        QTest::newRow("corner") << int(rasterHeader::corner) << QByteArray("corner") << QByteArray("corner");
        QTest::newRow("undefined: corner in the log only")
            << int(rasterHeader::undefined) << QByteArray("corner") << QByteArray("undefined");
        QTest::newRow("center") << int(rasterHeader::center) << QByteArray("center") << QByteArray("center");
    }

    // The log, and the grids' names of the spatial reference.
    void writesLogExactly()
    {
        QFETCH(int, spatialReference);
        QFETCH(QByteArray, corner);
        QFETCH(QByteArray, gridKeyword);
        recordingSink sink;
        const rasterHeader header = sampleHeader(1, 1, spatialReference);
        const QByteArray keywords = "\nxll" + gridKeyword + " 600000.000000\nyll" + gridKeyword + ' ';
        QCOMPARE(writeCountGrid(path("N.asc"), header, grid<int32_t>(1, 1, 0), sink), writeOutcome::written);
        QCOMPARE(writeProbabilityGrid(path("Reach_prob.asc"), header, grid<double>(1, 1, 0.0), sink),
                 writeOutcome::written);
        QVERIFY(contents(path("N.asc")).contains(keywords));
        QVERIFY(contents(path("Reach_prob.asc")).contains(keywords));

        QCOMPARE(writeLogFile(path("log.txt"), sampleReport(spatialReference), sink), writeOutcome::written);
        const QByteArray expected = "Tumbra 1.0 - Analysis completed on Sat Dec 5 05:24:22 2026\n"
                                    "(started Sat Dec 5 05:20:02 2026)\n"
                                    "\n"
                                    "Digital Elevation Model: C:/data/dem.asc\n"
                                    "Start cells file: C:/data/start.asc\n"
                                    "(nrows: 400; ncols: 300; xll" + corner + ": 600012.3; yll" + corner
                                    + ": 150000.0; cellsize: 2.0)\n"
                                      "\n"
                                      "Simulation settings:\n"
                                      "\tNumber of simulations: 100\n"
                                      "\tSegment length (m): 10.0\n"
                                      "\tProfile step (m): 0.3\n"
                                      "\tMax deviation angle (\xC2\xB0): 22\n"
                                      "\tInitial fall height (m): 0.3\n"
                                      "\tRisk acceptance: High (log10\xE2\x81\xBB\xE2\x81\xB6)\n"
                                      "\n"
                                      "Results written to folder C:/out/100sims_22deg_10m_High";
        QCOMPARE(contents(path("log.txt")), expected);
    }

    // An earlier file is replaced, missing folders are made, and a folder that
    // cannot be made skips the file without a word.
    void placesTheFile()
    {
        store(path("N.asc"), QByteArray(10000, 'x'));
        recordingSink sink;
        QCOMPARE(writeCountGrid(path("N.asc"), sampleHeader(1, 1), grid<int32_t>(1, 1, 7), sink),
                 writeOutcome::written);
        QVERIFY(contents(path("N.asc")).endsWith("NODATA_value -9999.000000\n7"));

        QCOMPARE(writeLogFile(path("run/sub/log.txt"), sampleReport(rasterHeader::corner), sink),
                 writeOutcome::written);
        QVERIFY(QFileInfo(path("run/sub/log.txt")).isFile());

        QCOMPARE(writeLogFile(path("N.asc/run/log.txt"), sampleReport(rasterHeader::corner), sink),
                 writeOutcome::notOpened);
        QCOMPARE(sink.log, QStringList());
        QCOMPARE(QDir(folder_->path()).entryList(QDir::Files), QStringList({"N.asc"}));
    }

    void skipsUnwritableTarget_data()
    {
        QTest::addColumn<writerKind>("kind");
        QTest::addColumn<QString>("obstacle");
        for (const auto& [kind, name] : sampleWriters)
            for (const char* obstacle : {"read-only file", "read-only folder", "folder"})
                QTest::addRow("%s, %s", name, obstacle) << kind << QString::fromLatin1(obstacle);
    }

    // A read-only file, a file in a read-only folder, or a folder of the
    // file's name: each is left as it was, after the warning box.
    void skipsUnwritableTarget()
    {
        QFETCH(writerKind, kind);
        QFETCH(QString, obstacle);
        if (obstacle != QLatin1String("folder") && runningAsRoot())
            QSKIP("permissions do not stop the superuser");
#ifdef Q_OS_WIN
        if (obstacle == QLatin1String("read-only folder"))
            QSKIP("Windows ignores the read-only mark of a folder");
#endif

        QVERIFY(QDir(folder_->path()).mkdir("out"));
        const QString fileName = path("out/result.txt");
        const QByteArray earlier = "earlier results";
        const QFile::Permissions readable = QFile::ReadOwner | QFile::ReadUser | QFile::ExeOwner | QFile::ExeUser;
        const QFile::Permissions writable = readable | QFile::WriteOwner | QFile::WriteUser;
        if (obstacle == QLatin1String("folder")) {
            QVERIFY(QDir().mkdir(fileName));
        } else {
            store(fileName, earlier);
            if (obstacle == QLatin1String("read-only file"))
                QVERIFY(QFile::setPermissions(fileName, QFile::ReadOwner | QFile::ReadUser));
            else
                QVERIFY(QFile::setPermissions(path("out"), readable));
        }

        recordingSink sink;
        const writeOutcome outcome = writeSample(kind, fileName, 3, sink);
        QFile::setPermissions(path("out"), writable);
        QCOMPARE(outcome, writeOutcome::notOpened);
        QCOMPARE(sink.log, QStringList{"box: " + permissionWarningText(false, fileName)});
        if (obstacle == QLatin1String("folder"))
            QVERIFY(QFileInfo(fileName).isDir());
        else
            QCOMPARE(contents(fileName), earlier);
        QCOMPARE(QDir(path("out")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"result.txt"});
    }

    void keepsEarlierFileWhenWritingFails_data()
    {
        QTest::addColumn<writerKind>("kind");
        for (const auto& [kind, name] : sampleWriters)
            QTest::newRow(name) << kind;
    }

    // A full disk is played by a file size limit: writes past it fail as they
    // would on a full volume, without needing one.
    void keepsEarlierFileWhenWritingFails()
    {
#ifdef Q_OS_UNIX
        QFETCH(writerKind, kind);
        const QString fileName = path("result.txt");
        const QByteArray earlier = "earlier results";
        store(fileName, earlier);

        rlimit original{};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &original) == 0);
        rlimit tight = original;
        tight.rlim_cur = 4096;
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        QVERIFY(setrlimit(RLIMIT_FSIZE, &tight) == 0);
        recordingSink sink;
        const writeOutcome outcome = writeSample(kind, fileName, 200, sink);
        setrlimit(RLIMIT_FSIZE, &original);
        std::signal(SIGXFSZ, previousHandler);

        QCOMPARE(outcome, writeOutcome::failed);
        QCOMPARE(sink.log.size(), 1);
        QVERIFY2(sink.log.first().startsWith(QStringLiteral("error: Failed to write file %1: ").arg(fileName)),
                 qPrintable(sink.log.first()));
        QCOMPARE(contents(fileName), earlier);
        QCOMPARE(QDir(folder_->path()).entryList(QDir::Files), QStringList{"result.txt"});
#else
        QSKIP("needs a file size limit to play a full disk");
#endif
    }
};

QTEST_GUILESS_MAIN(outputFilesTest)
#include "tst_outputFiles.moc"

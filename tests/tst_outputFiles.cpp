#include <memory>
#include <random>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include "raster/fixedNotation.h"
#include "raster/gridReader.h"
#include "outputs/logFile.h"
#include "outputs/trajectoryPointsFile.h"
#include "raster/outputFiles.h"
#include "tests/recordingSink.h"

namespace {

QByteArray contents(const QString& fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

rasterHeader sampleHeader(int nrows, int ncols, int32_t spatialReference = rasterHeader::corner)
{
    return {nrows, ncols, 600000.0f, 150000.0f, 2.0f, -9999.0f, spatialReference};
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
    report.settings = {{"Number of simulations", "100"},
                       {"Segment length (m)", logValueText(10.0)},
                       {"Profile step (m)", logValueText(0.25)},
                       {QStringLiteral("Max deviation angle (") + QChar(0x00B0) + ')', "22"},
                       {"Initial fall height (m)", logValueText(1.0 / 3.0)},
                       {"Risk acceptance", QStringLiteral("High (log10") + QChar(0x207B) + QChar(0x2076) + ')'}};
    report.resultsFolder = QStringLiteral("C:/out/100sims_22deg_10m_High");
    return report;
}

const QByteArray sampleHeaderText = "xllcorner 600000.000000\nyllcorner 150000.000000\ncellsize 2.000000\n"
                                    "NODATA_value -9999.000000";

}  // namespace

// The output files byte for byte; what happens when they cannot be written is
// tested on whole runs (tst_controller).
class tst_outputFiles : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> folder_;
    QString path(const QString& name) const { return folder_->filePath(name); }

private slots:
    void init()
    {
        folder_ = std::make_unique<QTemporaryDir>();
        QVERIFY(folder_->isValid());
    }

    // Points numbered by their trajectory (an empty one keeps its number), one decimal each.
    void writesPointsExactly()
    {
        const trajectoryList points = {
            {{600000.25f, 150000.75f, 1234.5f}, {600001.0f, 150002.04f, -0.04f}}, {}, {{1.0f, 2.0f, 3.0f}}};
        recordingSink sink;
        QCOMPARE(writeTrajectoryPoints(path("t.txt"), points, sink), writeOutcome::written);
        QCOMPARE(contents(path("t.txt")), QByteArray("All trajectories\n#\tx\ty\tz\n1\t600000.3\t150000.8\t1234.5\n"
                                                     "1\t600001.0\t150002.0\t-0.0\n3\t1.0\t2.0\t3.0"));
        QCOMPARE(sink.log, QStringList());
    }

    // Grids large enough for two threads come out as the values written one
    // after the other, also when the rows are formed while they are written.
    // Values include ties, negative zero and the extremes.
    void writesLargeGridsAsValueByValue_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("cols");
        QTest::newRow("rows of 1000") << 1100 << 1000;
        QTest::newRow("one long row") << 1 << 1100000;
        QTest::newRow("rows of 1") << 1100000 << 1;
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
        QByteArray expectedCounts =
            "ncols " + QByteArray::number(cols) + "\nnrows " + QByteArray::number(rows) + '\n' + sampleHeaderText;
        QByteArray expectedProbabilities = expectedCounts;
        char text[fixedTextCapacity];
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < cols; ++c) {
                const uint32_t draw = random();
                counts(r, c) = draw % 7 == 0 ? INT32_MIN + int32_t(draw % 3) : int32_t(draw % 2001) - 1000;
                probability(r, c) = draw % 5 == 0 ? special[draw % std::size(special)] : (draw % 100001) / 1000.0;
                expectedCounts += c == 0 ? '\n' : ' ';
                expectedCounts.append(text, writeInteger(text, counts(r, c)) - text);
                expectedProbabilities += (c == 0 ? '\n' : ' ') + fixedText(probability(r, c), 1);
            }
        }
        recordingSink sink;
        QList<int> progress;
        const auto record = [&progress, rows](int done, int total) { progress << (total == rows ? done : -1); };
        QCOMPARE(writeCountGrid(path("N.asc"), sampleHeader(rows, cols), counts, sink, record), writeOutcome::written);
        QVERIFY(contents(path("N.asc")) == expectedCounts);
        QVERIFY(!progress.isEmpty() && progress.last() == rows && std::is_sorted(progress.begin(), progress.end()));
        QCOMPARE(writeProbabilityGrid(path("R.asc"), sampleHeader(rows, cols), probability, sink),
                 writeOutcome::written);
        QVERIFY(contents(path("R.asc")) == expectedProbabilities);
        const auto rowOf = [&probability](int r, double* values) {
            std::copy(probability.row(r), probability.row(r) + probability.cols(), values);
        };
        QCOMPARE(writeProbabilityGrid(path("F.asc"), sampleHeader(rows, cols), rows, cols, rowOf, sink),
                 writeOutcome::written);
        QVERIFY(contents(path("F.asc")) == expectedProbabilities);
        QCOMPARE(sink.log, QStringList());
    }

    void writesLogAndReferenceNames_data()
    {
        QTest::addColumn<int>("reference");
        QTest::addColumn<QByteArray>("logName");
        QTest::addColumn<QByteArray>("gridName");
        QTest::newRow("corner") << int(rasterHeader::corner) << QByteArray("corner") << QByteArray("corner");
        QTest::newRow("undefined") << int(rasterHeader::undefined) << QByteArray("corner") << QByteArray("undefined");
        QTest::newRow("center") << int(rasterHeader::center) << QByteArray("center") << QByteArray("center");
    }

    void writesLogAndReferenceNames()
    {
        QFETCH(int, reference);
        QFETCH(QByteArray, logName);
        QFETCH(QByteArray, gridName);
        recordingSink sink;
        QCOMPARE(writeCountGrid(path("N.asc"), sampleHeader(1, 1, reference), grid<int32_t>(1, 1, 0), sink),
                 writeOutcome::written);
        QVERIFY(contents(path("N.asc")).contains("\nxll" + gridName + " 600000.000000\nyll" + gridName + ' '));
        QCOMPARE(writeLogFile(path("log.txt"), sampleReport(reference), sink), writeOutcome::written);
        QCOMPARE(
            contents(path("log.txt")),
            "Tumbra 1.0 - Analysis completed on Sat Dec 5 05:24:22 2026\n(started Sat Dec 5 05:20:02 2026)\n\n"
            "Digital Elevation Model: C:/data/dem.asc\nStart cells file: C:/data/start.asc\n(nrows: 400; ncols: 300; "
            "xll"
                + logName + ": 600012.3; yll" + logName
                + ": 150000.0; cellsize: 2.0)\n\nSimulation settings:\n"
                  "\tNumber of simulations: 100\n\tSegment length (m): 10.0\n\tProfile step (m): 0.3\n"
                  "\tMax deviation angle (\xC2\xB0): 22\n\tInitial fall height (m): 0.3\n"
                  "\tRisk acceptance: High (log10\xE2\x81\xBB\xE2\x81\xB6)\n\n"
                  "Results written to folder C:/out/100sims_22deg_10m_High");
    }

    // The origin and cell size read back as the values written; usual values
    // keep six decimals.
    void headerReadsBackExactly_data()
    {
        QTest::addColumn<double>("xll");
        QTest::addColumn<float>("cellsize");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("usual") << 600000.0 << 2.0f
                               << QByteArray("xllcorner 600000.000000\nyllcorner 150000.000000\n"
                                             "cellsize 2.000000\n");
        QTest::newRow("LV95 origin to the centimetre")
            << 2600000.37 << 0.5f
            << QByteArray("xllcorner 2600000.370000\nyllcorner 150000.000000\ncellsize 0.500000\n");
        QTest::newRow("cell size 1e-7") << 0.0 << 1e-7f << QByteArray("\ncellsize 0.0000001\n");
        QTest::newRow("cell size 1e-20") << 1.0 / 3 << 1e-20f << QByteArray("\ncellsize 1e-20\n");
    }

    void headerReadsBackExactly()
    {
        QFETCH(double, xll);
        QFETCH(float, cellsize);
        QFETCH(QByteArray, text);
        rasterHeader header = sampleHeader(1, 1);
        header.xll = xll;
        header.cellsize = cellsize;
        recordingSink sink;
        QCOMPARE(writeCountGrid(path("N.asc"), header, grid<int32_t>(1, 1, 7), sink), writeOutcome::written);
        QVERIFY2(contents(path("N.asc")).contains(text), contents(path("N.asc")).constData());
        rasterHeader read;
        asciiGridStream stream;
        QVERIFY(readGridHeader(path("N.asc"), read, stream, sink));
        QCOMPARE(read.xll, header.xll);
        QCOMPARE(read.yll, header.yll);
        QCOMPARE(read.cellsize, header.cellsize);
        QCOMPARE(sink.log, QStringList());
    }

    // An earlier file is replaced, missing folders are made, and a folder that
    // cannot be made skips the file without a word.
    void placesTheFile()
    {
        QVERIFY(QFile(path("N.asc")).open(QIODevice::WriteOnly));
        QVERIFY(QFile::resize(path("N.asc"), 10000));
        recordingSink sink;
        QCOMPARE(writeCountGrid(path("N.asc"), sampleHeader(1, 1), grid<int32_t>(1, 1, 7), sink),
                 writeOutcome::written);
        QVERIFY(contents(path("N.asc")).endsWith("NODATA_value -9999.000000\n7"));
        QCOMPARE(writeLogFile(path("run/sub/log.txt"), sampleReport(0), sink), writeOutcome::written);
        QVERIFY(QFileInfo(path("run/sub/log.txt")).isFile());
        QCOMPARE(writeLogFile(path("N.asc/run/log.txt"), sampleReport(0), sink), writeOutcome::notOpened);
        QCOMPARE(sink.log, QStringList());
        QCOMPARE(QDir(folder_->path()).entryList(QDir::Files), QStringList({"N.asc"}));
    }
};

QTEST_GUILESS_MAIN(tst_outputFiles)
#include "tst_outputFiles.moc"

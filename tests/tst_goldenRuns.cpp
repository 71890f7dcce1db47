#include <omp.h>

#include <algorithm>
#include <vector>

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "map/runResultGrids.h"
#include "controller/tumbraController.h"
#include "tests/controllerRecorder.h"
#include "tumbraVersion.h"

// Whole one-thread runs over small terrains, compared byte for byte with the
// outputs frozen in tests/data/golden. Any change to the engine's arithmetic
// moves a trajectory somewhere in these runs. scripts/golden --update writes
// the expected files anew (TUMBRA_UPDATE_GOLDEN=1); say why in the commit.
class tst_goldenRuns : public QObject
{
    Q_OBJECT

    static QString goldenDir() { return QStringLiteral(TEST_DATA_DIR "/golden"); }

    // The result map as text: one line per row, as the window receives it.
    static QByteArray displayGridText(const runOutcome& outcome)
    {
        QByteArray text;
        if (!outcome.grids)
            return text;
        const grid<int32_t>& shown = outcome.grids->displayGrid;
        for (int r = 0; r < shown.rows(); ++r) {
            for (int c = 0; c < shown.cols(); ++c)
                text += QByteArray::number(shown(r, c)) + (c + 1 < shown.cols() ? " " : "\n");
        }
        return text;
    }

    // log.txt with the version, the run's times and duration as words, and its folders as GOLDEN and OUTPUT.
    static QByteArray maskedLog(const QByteArray& log, const QString& outputFolder)
    {
        static const QRegularExpression times("(completed on |\\(started |Duration \\(s\\): )[^)\n]*");
        return QString::fromUtf8(log)
            .replace("Tumbra " + QLatin1String(tumbraVersion) + " ", "Tumbra VERSION ")
            .replace(goldenDir(), "GOLDEN")
            .replace(outputFolder, "OUTPUT")
            .replace(times, "\\1TIME")
            .toUtf8();
    }

private slots:
    void initTestCase() { omp_set_num_threads(1); }

    void runMatchesGolden_data()
    {
        QTest::addColumn<QString>("terrain");
        QTest::addColumn<double>("segment");
        QTest::addColumn<int>("angle");
        QTest::addColumn<double>("step");
        QTest::addColumn<double>("fallHeight");
        QTest::addColumn<int>("probabilityClass");
        QTest::addColumn<int>("simulations");
        QTest::addColumn<bool>("intensity");  // with a block of 2 m3, classes 30 and 300 kJ
        QTest::addColumn<bool>("points");     // counting the cells of recorded points only

        QTest::newRow("slope-2m-45deg-0.5m-high") << "slope" << 2.0 << 45 << 0.5 << 0.0 << 0 << 4 << false << true;
        QTest::newRow("slope-10m-5deg-1m-fall5-medium") << "slope" << 10.0 << 5 << 1.0 << 5.0 << 1 << 6 << false << true;
        QTest::newRow("slope-2m-5deg-1m-fall2-low") << "slope" << 2.0 << 5 << 1.0 << 2.0 << 2 << 4 << false << true;
        QTest::newRow("basin-2m-45deg-0.5m-fall3-low") << "basin" << 2.0 << 45 << 0.5 << 3.0 << 2 << 5 << false << true;
        QTest::newRow("basin-10m-45deg-1m-medium") << "basin" << 10.0 << 45 << 1.0 << 0.0 << 1 << 10 << false << true;
        QTest::newRow("basin-2m-5deg-0.5m-fall10-high") << "basin" << 2.0 << 5 << 0.5 << 10.0 << 0 << 5 << false << true;
        QTest::newRow("slope-2m-22deg-1m-fall5-high-intensity") << "slope" << 2.0 << 22 << 1.0 << 5.0 << 0 << 6 << true << true;
        // Counting every crossed cell, as runs do by default.
        QTest::newRow("slope-2m-45deg-0.5m-high-crossed") << "slope" << 2.0 << 45 << 0.5 << 0.0 << 0 << 4 << false << false;
        QTest::newRow("basin-10m-45deg-1m-medium-crossed") << "basin" << 10.0 << 45 << 1.0 << 0.0 << 1 << 10 << false << false;
        QTest::newRow("slope-2m-22deg-1m-fall5-high-intensity-crossed") << "slope" << 2.0 << 22 << 1.0 << 5.0 << 0 << 6 << true << false;
        QTest::newRow("slope-10m-5deg-1m-fall5-medium-objects-crossed") << "slope" << 10.0 << 5 << 1.0 << 5.0 << 1 << 6 << false << false;
        // A row whose name holds "-objects" runs with the terrain's objects.geojson: a road, two overlapping
        // polygons and a point.
        QTest::newRow("slope-2m-22deg-1m-high-objects") << "slope" << 2.0 << 22 << 1.0 << 0.0 << 0 << 6 << false << true;
    }

    void runMatchesGolden()
    {
        QFETCH(QString, terrain);
        QFETCH(double, segment);
        QFETCH(int, angle);
        QFETCH(double, step);
        QFETCH(double, fallHeight);
        QFETCH(int, probabilityClass);
        QFETCH(int, simulations);
        QFETCH(bool, intensity);
        QFETCH(bool, points);

        QTemporaryDir out;
        QVERIFY(out.isValid());
        runRequest request;
        request.demFile = goldenDir() + "/" + terrain + "/dem.asc";
        request.startCellsFile = goldenDir() + "/" + terrain + "/start_cells.asc";
        request.outputFolder = out.path();
        request.settings = {segment, simulations, angle, step, probabilityClass, fallHeight, true};
        request.settings.counting = points ? cellCounting::recordedPoints : cellCounting::crossedCells;
        request.intensity = intensitySettings{intensity, 2.0, 2700.0, {30.0, 300.0}};
        const bool objects = QByteArray(QTest::currentDataTag()).contains("-objects");
        if (objects) {
            request.objectsFile = goldenDir() + "/" + terrain + "/objects.geojson";
            request.objectsIdField = "id";
        }

        tumbraController controller;
        controllerRecorder recorder(controller);
        controller.run(request);
        QVERIFY2(recorder.events.contains("done:0"), qPrintable(recorder.events.join('\n')));

        // Every file the run writes, log.txt masked, and the map as the window receives it.
        const QString caseDir = goldenDir() + "/" + QTest::currentDataTag();
        QMap<QString, QByteArray> outputs{{"result_map.txt", displayGridText(recorder.last)}};
        for (const QString& name : QDir(out.path()).entryList(QDir::Files)) {
            const QByteArray text = readTextFile(out.filePath(name));
            outputs.insert(name, name == "log.txt" ? maskedLog(text, out.path()) : text);
        }
        if (qEnvironmentVariableIntValue("TUMBRA_UPDATE_GOLDEN") == 1) {
            QVERIFY(QDir().mkpath(caseDir));
            for (auto file = outputs.cbegin(); file != outputs.cend(); ++file)
                QVERIFY(writeTextFile(caseDir + "/" + file.key(), file.value()));
            return;
        }
        QStringList expectedNames = QDir(caseDir).entryList(QDir::Files);
        expectedNames.sort();
        QCOMPARE(outputs.keys(), expectedNames);
        for (auto file = outputs.cbegin(); file != outputs.cend(); ++file)
            QVERIFY2(file.value() == readTextFile(caseDir + "/" + file.key()),
                     qPrintable(file.key() + " differs from the golden run"));
    }

    // The bundled example's 5 m segments on its 2 m grid: counting points
    // leaves whole rows across the slope at 0 passages between rows that
    // every trajectory reaches; counting crossed cells leaves none.
    void exampleSlopeHasNoEmptyRows_data()
    {
        QTest::addColumn<bool>("points");
        QTest::addColumn<bool>("emptyRows");
        QTest::newRow("recorded points") << true << true;
        QTest::newRow("crossed cells") << false << false;
    }

    void exampleSlopeHasNoEmptyRows()
    {
        QFETCH(bool, points);
        QFETCH(bool, emptyRows);
        QTemporaryDir out;
        QVERIFY(out.isValid());
        runRequest request;
        request.demFile = QStringLiteral(EXAMPLES_DIR "/dem.asc");
        request.startCellsFile = QStringLiteral(EXAMPLES_DIR "/start_cells.asc");
        request.outputFolder = out.path();
        request.settings.numberOfSimulations = 2;
        request.settings.counting = points ? cellCounting::recordedPoints : cellCounting::crossedCells;
        tumbraController controller;
        controllerRecorder recorder(controller);
        controller.run(request);
        QVERIFY2(recorder.events.contains("done:0"), qPrintable(recorder.events.join('\n')));
        const grid<int32_t>& counts = recorder.last.grids->passageCounts;
        std::vector<int64_t> rowSums(static_cast<std::size_t>(counts.rows()), 0);
        for (int r = 0; r < counts.rows(); ++r)
            for (int c = 0; c < counts.cols(); ++c)
                rowSums[static_cast<std::size_t>(r)] += counts(r, c);
        const auto first = std::find_if(rowSums.begin(), rowSums.end(), [](int64_t sum) { return sum > 0; });
        const auto last = std::find_if(rowSums.rbegin(), rowSums.rend(), [](int64_t sum) { return sum > 0; }).base();
        QVERIFY(first < last);
        QCOMPARE(std::find(first, last, 0) != last, emptyRows);
    }
};

QTEST_GUILESS_MAIN(tst_goldenRuns)
#include "tst_goldenRuns.moc"

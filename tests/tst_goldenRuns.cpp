#include <omp.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "controller/runResultGrids.h"
#include "controller/tumbraController.h"
#include "tests/controllerRecorder.h"

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

    // The values of an ESRI ASCII grid after its six header lines.
    static QList<double> gridValues(const QByteArray& text)
    {
        QList<double> values;
        const QList<QByteArray> lines = text.split('\n');
        for (int i = 6; i < lines.size(); ++i)
            for (const QByteArray& word : lines[i].simplified().split(' '))
                if (!word.isEmpty())
                    values << word.toDouble();
        return values;
    }

    // log.txt's intensity summary, counted from the golden Energy_max and N
    // grids (2 m cells: 0.0004 ha each), classes 30 and 300 kJ.
    static QByteArray intensitySummary(const QString& caseDir)
    {
        const QList<double> energies = gridValues(readTextFile(caseDir + "/Energy_max.asc"));
        const QList<double> passages = gridValues(readTextFile(caseDir + "/N.asc"));
        double largest = 0.0;
        int cells[3] = {0, 0, 0};
        for (int i = 0; i < energies.size(); ++i) {
            largest = std::max(largest, energies[i]);
            if (passages.value(i) > 0)
                ++cells[energies[i] >= 300.0 ? 2 : energies[i] >= 30.0 ? 1 : 0];
        }
        const auto area = [](int count) { return QByteArray::number(count * 0.0004, 'f', 4); };
        return "\tLargest energy (kJ): " + QByteArray::number(largest, 'f', 1)
               + "\n\tArea below 30 kJ (ha): " + area(cells[0]) + "\n\tArea from 30 to 300 kJ (ha): " + area(cells[1])
               + "\n\tArea from 300 kJ (ha): " + area(cells[2]);
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

        QTest::newRow("slope-2m-45deg-0.5m-high") << "slope" << 2.0 << 45 << 0.5 << 0.0 << 0 << 4 << false;
        QTest::newRow("slope-10m-5deg-1m-fall5-medium") << "slope" << 10.0 << 5 << 1.0 << 5.0 << 1 << 6 << false;
        QTest::newRow("slope-2m-5deg-1m-fall2-low") << "slope" << 2.0 << 5 << 1.0 << 2.0 << 2 << 4 << false;
        QTest::newRow("basin-2m-45deg-0.5m-fall3-low") << "basin" << 2.0 << 45 << 0.5 << 3.0 << 2 << 5 << false;
        QTest::newRow("basin-10m-45deg-1m-medium") << "basin" << 10.0 << 45 << 1.0 << 0.0 << 1 << 10 << false;
        QTest::newRow("basin-2m-5deg-0.5m-fall10-high") << "basin" << 2.0 << 5 << 0.5 << 10.0 << 0 << 5 << false;
        QTest::newRow("slope-2m-22deg-1m-fall5-high-intensity") << "slope" << 2.0 << 22 << 1.0 << 5.0 << 0 << 6 << true;
        // A row whose name ends in "-objects" runs with the terrain's objects.geojson: a road, two overlapping
        // polygons and a point.
        QTest::newRow("slope-2m-22deg-1m-high-objects") << "slope" << 2.0 << 22 << 1.0 << 0.0 << 0 << 6 << false;
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

        QTemporaryDir out;
        QVERIFY(out.isValid());
        runRequest request;
        request.demFile = goldenDir() + "/" + terrain + "/dem.asc";
        request.startCellsFile = goldenDir() + "/" + terrain + "/start_cells.asc";
        request.outputFolder = out.path();
        request.settings = {segment, simulations, angle, step, probabilityClass, fallHeight, true};
        request.intensity = intensitySettings{intensity, 2.0, 2700.0, {30.0, 300.0}};
        const bool objects = QByteArray(QTest::currentDataTag()).endsWith("-objects");
        if (objects) {
            request.objectsFile = goldenDir() + "/" + terrain + "/objects.geojson";
            request.objectsIdField = "id";
        }

        tumbraController controller;
        controllerRecorder recorder(controller);
        controller.run(request);
        QVERIFY2(recorder.events.contains("done:0"), qPrintable(recorder.events.join('\n')));

        const QString caseDir = goldenDir() + "/" + QTest::currentDataTag();
        QMap<QString, QByteArray> outputs{
            {"N.asc", readTextFile(out.filePath("N.asc"))},
            {"Reach_prob.asc", readTextFile(out.filePath("Reach_prob.asc"))},
            {"trajectory_points.txt", readTextFile(out.filePath("trajectory_points.txt"))},
            {"result_map.txt", displayGridText(recorder.last)},
        };
        QCOMPARE(QFileInfo::exists(out.filePath("Height_max.asc")), intensity);
        if (intensity) {
            for (const char* name : {"Height_max.asc", "Height_mean.asc", "Velocity_max.asc", "Energy_max.asc",
                                     "Reach_prob_30kJ.asc", "Reach_prob_300kJ.asc"})
                outputs.insert(name, readTextFile(out.filePath(name)));
        }
        // Without intensity log.txt says nothing of it.
        const QByteArray log = readTextFile(out.filePath("log.txt"));
        QCOMPARE(log.contains("Intensity"), intensity);
        if (intensity && qEnvironmentVariableIntValue("TUMBRA_UPDATE_GOLDEN") != 1) {
            QVERIFY2(log.contains("\tIntensity: yes\n\tBlock volume (m\xC2\xB3): 2.0\n\tRock density (kg/m\xC2\xB3): "
                                  "2700.0\n\tEnergy class limits (kJ): 30,300\n"),
                     log.constData());
            QVERIFY2(log.contains(intensitySummary(caseDir)), log.constData());
        }
        QCOMPARE(QFileInfo::exists(out.filePath("objects.csv")), objects);
        if (objects) {
            for (const char* name : {"objects.csv", "Source_share.asc"})
                outputs.insert(name, readTextFile(out.filePath(name)));
        }
        if (qEnvironmentVariableIntValue("TUMBRA_UPDATE_GOLDEN") == 1) {
            QVERIFY(QDir().mkpath(caseDir));
            for (auto file = outputs.cbegin(); file != outputs.cend(); ++file)
                QVERIFY(writeTextFile(caseDir + "/" + file.key(), file.value()));
            return;
        }
        for (auto file = outputs.cbegin(); file != outputs.cend(); ++file) {
            const QByteArray expected = readTextFile(caseDir + "/" + file.key());
            QVERIFY2(!expected.isEmpty(), qPrintable("no golden file " + caseDir + "/" + file.key()));
            QVERIFY2(file.value() == expected, qPrintable(file.key() + " differs from the golden run"));
        }
    }
};

QTEST_GUILESS_MAIN(tst_goldenRuns)
#include "tst_goldenRuns.moc"

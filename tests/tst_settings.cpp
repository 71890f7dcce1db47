#include <QCheckBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QSettings>
#include <QTest>

#include "controller/propagationProbability.h"
#include "controller/runRequest.h"
#include "controller/settingsTable.h"
#include "tests/dialogDriver.h"
#include "widgets/mruComboBox.h"

// What the window remembers between sessions, in a settings store in a
// temporary folder, and what it takes as settings at all.
class tst_settings : public QObject
{
    Q_OBJECT

    scratchSettingsStore store_;

    static void store(const QString& key, const QVariant& value)
    {
        QSettings(QStringLiteral("velmora"), QStringLiteral("tumbra")).setValue(key, value);
    }

    // Every remembered field as one line of text.
    static QStringList shown(const tumbraMainDialog& dialog)
    {
        QStringList fields;
        for (const char* name : {"outputFolder", "digitalElevationModel", "startRaster"})
            fields << child<mruComboBox>(dialog, name)->stringList().join('|');
        for (const char* name : {"segmentLength", "profileStep", "initialHeight"})
            fields << QString::number(child<QDoubleSpinBox>(dialog, name)->value());
        for (const char* name : {"numberOfSimulations", "maxAngle", "probabilityClass"})
            fields << child<QComboBox>(dialog, name)->currentText();
        for (const char* name : {"saveTrajectories", "intensity"})
            fields << (child<QCheckBox>(dialog, name)->isChecked() ? "true" : "false");
        for (const char* name : {"blockVolume", "rockDensity"})
            fields << child<QDoubleSpinBox>(dialog, name)->text();
        fields << child<QLineEdit>(dialog, "energyClasses")->text();
        fields << child<mruComboBox>(dialog, "objectsFile")->stringList().join('|');
        for (const char* name : {"startLayer", "objectsLayer"})
            fields << child<QComboBox>(dialog, name)->currentText();
        for (const char* name : {"startWhere", "objectsIdField", "returnPeriods", "hazardMatrix"})
            fields << child<QLineEdit>(dialog, name)->text();
        for (const char* name :
             {"frequencyField", "frequencyPerHaField", "volumeField", "densityField", "fallHeightField"})
            fields << child<QComboBox>(dialog, name)->currentText();
        fields << child<QDoubleSpinBox>(dialog, "releaseFrequency")->text()
               << (child<QCheckBox>(dialog, "hazard")->isChecked() ? "true" : "false");
        return fields;
    }

private slots:
    void init() { store_.clear(); }

    void closingWritesWhatTheNextWindowRestores()
    {
        {
            tumbraMainDialog dialog;
            child<mruComboBox>(dialog, "outputFolder")->setStringList({"a", "b", "c", "d", "e", "f", "g"});
            child<mruComboBox>(dialog, "digitalElevationModel")->setStringList({"dem.asc", "/data/other.asc"});
            child<mruComboBox>(dialog, "startRaster")->setStringList({"start.txt"});
            child<QDoubleSpinBox>(dialog, "segmentLength")->setValue(2.5);
            child<QDoubleSpinBox>(dialog, "profileStep")->setValue(0.25);
            child<QDoubleSpinBox>(dialog, "initialHeight")->setValue(12.75);
            child<QComboBox>(dialog, "numberOfSimulations")->setCurrentText("1000");
            child<QComboBox>(dialog, "maxAngle")->setCurrentText("35");
            child<QComboBox>(dialog, "probabilityClass")->setCurrentIndex(2);
            child<QCheckBox>(dialog, "saveTrajectories")->setChecked(true);
            child<QCheckBox>(dialog, "intensity")->setChecked(true);
            child<QDoubleSpinBox>(dialog, "blockVolume")->setValue(2.5);
            child<QDoubleSpinBox>(dialog, "rockDensity")->setValue(2650);
            child<QLineEdit>(dialog, "energyClasses")->setText("10,100,1000");
            child<mruComboBox>(dialog, "objectsFile")->setStringList({"roads.gpkg"});
            child<QComboBox>(dialog, "startLayer")->setCurrentText("cliffs");
            child<QComboBox>(dialog, "objectsLayer")->setCurrentText("roads");
            child<QLineEdit>(dialog, "startWhere")->setText("type = 'rock'");
            child<QLineEdit>(dialog, "objectsIdField")->setText("ref");
            child<QLineEdit>(dialog, "returnPeriods")->setText("10,50,200");
            child<QLineEdit>(dialog, "hazardMatrix")->setText("332,221,111");
            for (const char* name :
                 {"frequencyField", "frequencyPerHaField", "volumeField", "densityField", "fallHeightField"})
                child<QComboBox>(dialog, name)->setCurrentText(QString(name).chopped(5));
            child<QDoubleSpinBox>(dialog, "releaseFrequency")->setValue(0.125);
            child<QCheckBox>(dialog, "hazard")->setChecked(true);
            dialog.show();
            dialog.resize(760, 800);
            dialog.move(50, 60);
            QVERIFY(dialog.close());
        }
        tumbraMainDialog restored;
        QCOMPARE(restored.size(), QSize(760, 800));
        QCOMPARE(restored.pos(), QPoint(50, 60));
        // Lists come back whole; only the next promotion cuts them to five.
        QCOMPARE(shown(restored),
                 QStringList({"a|b|c|d|e|f|g", "dem.asc|/data/other.asc", "start.txt", "2.5", "0.25", "12.75", "1000",
                              "35", propagationProbabilityLabels().at(2), "true", "true", "2.500", "2650",
                              "10,100,1000", "roads.gpkg", "cliffs", "roads", "type = 'rock'", "ref", "10,50,200",
                              "332,221,111", "frequency", "frequencyPerHa", "volume", "density", "fallHeight",
                              "0.125000", "true"}));
    }

    // log.txt names the layer and filter of vector start cells; a raster has none.
    void logNamesTheStartLayerOfAVectorFile()
    {
        runRequest request;
        request.startLayer = "cliffs";
        request.startWhere = "type = 'rock'";
        const auto startLines = [&request] {
            QStringList lines;
            for (const auto& [label, value] : settingLogLines(request))
                if (label.startsWith("Start cells"))
                    lines << label + ": " + value;
            return lines;
        };
        request.startCellsFile = "start.asc";
        QCOMPARE(startLines(), QStringList());
        request.startCellsFile = "start.gpkg";
        QCOMPARE(startLines(), QStringList({"Start cells layer: cliffs", "Start cells filter: type = 'rock'"}));
    }

    // A first start: the settings table's defaults, the suggestion lists and the window's own first values.
    void firstStartValues()
    {
        tumbraMainDialog dialog;
        QStringList fields = shown(dialog);
        for (const char* name : {"numberOfSimulations", "maxAngle", "outputFormat"}) {
            QStringList items;
            for (int i = 0; i < child<QComboBox>(dialog, name)->count(); ++i)
                items << child<QComboBox>(dialog, name)->itemText(i);
            fields << items.join('|');
        }
        fields << child<QSpinBox>(dialog, "seed")->text()
               << (child<QCheckBox>(dialog, "reproducible")->isChecked() ? "true" : "false");
        QCOMPARE(fields, QStringList({QDir::homePath(), "", "", "5", "1", "0", "100", "22",
                                      propagationProbabilityLabels().at(0), "false", "false", "not given", "2700",
                                      "30,300", "", "", "", "", "", "30,100,300", "333,322,211", "", "", "", "", "",
                                      "not given", "false", "1|10|50|100|1000", "5|10|15|20|25|30|35|40|45",
                                      "ESRI ASCII grid|GeoTIFF", "1", "false"}));
        QCOMPARE(dialog.size(), QSize(1400, 860));
    }

    void storedValuesAreBoundedByTheFields_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("value");
        QTest::newRow("length no number") << "straightDistance" << QVariant("abc") << 3 << "0.1";
        QTest::newRow("length above range") << "straightDistance" << QVariant(250.0) << 3 << "100";
        QTest::newRow("profile step rounded") << "profileStep" << QVariant(0.456) << 4 << "0.46";
        QTest::newRow("angle in the list") << "maxDeviationAngle" << QVariant("30") << 7 << "30";
        QTest::newRow("angle not in the list") << "maxDeviationAngle" << QVariant("22.5") << 7 << "22";
        QTest::newRow("simulations not in the list") << "numberOfSimulations" << QVariant("7") << 6 << "7";
        QTest::newRow("class beyond the list")
            << "riskIntensity" << QVariant(7) << 8 << propagationProbabilityLabels().at(0);
        QTest::newRow("negative class") << "riskIntensity" << QVariant(-1) << 8 << propagationProbabilityLabels().at(0);
    }

    void storedValuesAreBoundedByTheFields()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, stored);
        QFETCH(int, field);
        QFETCH(QString, value);
        store("1.0/Parameters/" + key, stored);
        QCOMPARE(shown(tumbraMainDialog()).at(field), value);
    }

    void positionIsUsedOnlyOnAScreen_data()
    {
        QTest::addColumn<QPoint>("stored");
        QTest::addColumn<bool>("moved");
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QTest::newRow("inside") << screen.topLeft() + QPoint(10, 20) << true;
        QTest::newRow("bottom right corner") << screen.bottomRight() << true;
        QTest::newRow("right of the screen") << QPoint(screen.right() + 1, screen.top()) << false;
    }

    void positionIsUsedOnlyOnAScreen()
    {
        QFETCH(QPoint, stored);
        QFETCH(bool, moved);
        if (QGuiApplication::screens().size() != 1)
            QSKIP("Needs exactly one screen");
        store(QStringLiteral("1.0/MainWindow/pos"), stored);
        store(QStringLiteral("1.0/MainWindow/size"), QSize(640, 480));
        tumbraMainDialog dialog;
        QCOMPARE(dialog.size(), QSize(640, 480));
        QCOMPARE(dialog.pos() == stored, moved);
    }

    // The window takes only settings a run can be made with, as they are typed or restored.
    void windowRefusesWhatCannotRun()
    {
        tumbraMainDialog dialog;
        auto* simulations = child<QComboBox>(dialog, "numberOfSimulations");
        child<QDoubleSpinBox>(dialog, "profileStep")->setValue(0.0);
        QVERIFY(child<QDoubleSpinBox>(dialog, "profileStep")->value() > 0.0);

        auto* run = child<QPushButton>(dialog, "runProcess");
        typePath(dialog, "outputFolder", EXAMPLES_DIR);  // the inputs are found relative to it
        typePath(dialog, "digitalElevationModel", "dem.asc");
        typePath(dialog, "startRaster", "start_cells.asc");
        child<QComboBox>(dialog, "maxAngle")->setCurrentText("22");
        simulations->setCurrentText("500");
        QVERIFY(run->isEnabled());
        for (const char* text : {"", "0", "22.5", "+5", " 5", "1000001", "99999999999", "1e3"}) {
            simulations->setCurrentText(text);
            QVERIFY2(!run->isEnabled(), text);
        }
        simulations->setCurrentText("1000000");
        QVERIFY(run->isEnabled());
        typePath(dialog, "startRaster", "none.asc");
        QVERIFY(!run->isEnabled());
        typePath(dialog, "startRaster", "start_cells.asc");
        typePath(dialog, "outputFolder", EXAMPLES_DIR "/missing");
        QVERIFY(!run->isEnabled());
    }
};

QTEST_MAIN(tst_settings)
#include "tst_settings.moc"

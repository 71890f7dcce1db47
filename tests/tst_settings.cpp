#include <QCheckBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QTest>

#include "controller/propagationProbability.h"
#include "dialogDriver.h"
#include "widgets/mruComboBox.h"

// What the window remembers between sessions, read through a real window
// from a settings store in a temporary folder.
class tst_settings : public QObject
{
    Q_OBJECT

private:
    scratchSettingsStore store_;

    static void store(const QString& key, const QVariant& value)
    {
        QSettings settings(QStringLiteral("velmora"), QStringLiteral("tumbra"));
        settings.setValue(key, value);
    }

    static QString shownValue(const tumbraMainDialog& dialog, const QString& field)
    {
        QWidget* widget = dialog.findChild<QWidget*>(field);
        if (auto* spinBox = qobject_cast<QDoubleSpinBox*>(widget))
            return QString::number(spinBox->value());
        if (auto* comboBox = qobject_cast<QComboBox*>(widget))
            return comboBox->currentText();
        if (auto* checkBox = qobject_cast<QCheckBox*>(widget))
            return checkBox->isChecked() ? QStringLiteral("true") : QStringLiteral("false");
        return QStringLiteral("<no field %1>").arg(field);
    }

private slots:
    void init() { store_.clear(); }

    void firstStartUsesTheDefaults()
    {
        tumbraMainDialog dialog;
        QCOMPARE(dialog.size(), QSize(900, 650));
        if (QGuiApplication::primaryScreen()->geometry().contains(QPoint(200, 200)))
            QCOMPARE(dialog.pos(), QPoint(200, 200));
        QCOMPARE(child<mruComboBox>(dialog, "workingDirectory")->stringList(), QStringList{QDir::homePath()});
        QCOMPARE(child<mruComboBox>(dialog, "digitalElevationModel")->stringList(), QStringList());
        QCOMPARE(child<mruComboBox>(dialog, "startRaster")->stringList(), QStringList());
        QCOMPARE(shownValue(dialog, "straightDistance"), QStringLiteral("5"));
        QCOMPARE(shownValue(dialog, "profileStep"), QStringLiteral("1"));
        QCOMPARE(shownValue(dialog, "initialHeight"), QStringLiteral("0"));
        QCOMPARE(shownValue(dialog, "numberOfSimulations"), QStringLiteral("100"));
        // The stored default "22.5" is no entry of the list, so its first entry stays.
        QCOMPARE(shownValue(dialog, "maxAngle"), QStringLiteral("5"));
        QCOMPARE(child<QComboBox>(dialog, "riskIntensity")->currentIndex(), 0);
        QCOMPARE(shownValue(dialog, "saveTrajectories"), QStringLiteral("false"));
    }

    void closingWritesWhatTheNextWindowRestores()
    {
        const QStringList longList{"a", "b", "c", "d", "e", "f", "g"};
        {
            tumbraMainDialog dialog;
            child<mruComboBox>(dialog, "workingDirectory")->setStringList(longList);
            child<mruComboBox>(dialog, "digitalElevationModel")->setStringList({"dem.asc", "/data/other.asc"});
            child<mruComboBox>(dialog, "startRaster")->setStringList({"start.txt"});
            child<QDoubleSpinBox>(dialog, "straightDistance")->setValue(2.5);
            child<QDoubleSpinBox>(dialog, "profileStep")->setValue(0.25);
            child<QDoubleSpinBox>(dialog, "initialHeight")->setValue(12.75);
            child<QComboBox>(dialog, "numberOfSimulations")->setCurrentText("1000");
            child<QComboBox>(dialog, "maxAngle")->setCurrentText("35");
            child<QComboBox>(dialog, "riskIntensity")->setCurrentIndex(2);
            child<QCheckBox>(dialog, "saveTrajectories")->setChecked(true);
            dialog.show();
            dialog.resize(760, 580);
            dialog.move(50, 60);
            QVERIFY(dialog.close());
        }
        tumbraMainDialog restored;
        QCOMPARE(restored.size(), QSize(760, 580));
        QCOMPARE(restored.pos(), QPoint(50, 60));
        // Restored in full; only the next promotion cuts a list to five.
        QCOMPARE(child<mruComboBox>(restored, "workingDirectory")->stringList(), longList);
        QCOMPARE(child<mruComboBox>(restored, "digitalElevationModel")->stringList(),
                 QStringList({"dem.asc", "/data/other.asc"}));
        QCOMPARE(child<mruComboBox>(restored, "startRaster")->stringList(), QStringList{"start.txt"});
        QCOMPARE(shownValue(restored, "straightDistance"), QStringLiteral("2.5"));
        QCOMPARE(shownValue(restored, "profileStep"), QStringLiteral("0.25"));
        QCOMPARE(shownValue(restored, "initialHeight"), QStringLiteral("12.75"));
        QCOMPARE(shownValue(restored, "numberOfSimulations"), QStringLiteral("1000"));
        QCOMPARE(shownValue(restored, "maxAngle"), QStringLiteral("35"));
        QCOMPARE(child<QComboBox>(restored, "riskIntensity")->currentIndex(), 2);
        QCOMPARE(shownValue(restored, "saveTrajectories"), QStringLiteral("true"));
    }

    void storedValuesAreBoundedByTheFields_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("shown");
        const QString parameters = QStringLiteral("1.0/Parameters/");
        QTest::newRow("length that is no number") << parameters + "straightDistance" << QVariant("abc")
                                                  << "straightDistance" << "0.1";
        QTest::newRow("length above the range") << parameters + "straightDistance" << QVariant(250.0)
                                                << "straightDistance" << "100";
        QTest::newRow("profile step rounded") << parameters + "profileStep" << QVariant(0.456) << "profileStep"
                                              << "0.46";
        QTest::newRow("angle in the list") << parameters + "maxDeviationAngle" << QVariant("30") << "maxAngle"
                                           << "30";
        QTest::newRow("angle not in the list") << parameters + "maxDeviationAngle" << QVariant("22.5") << "maxAngle"
                                               << "5";
        QTest::newRow("simulations not in the list") << parameters + "numberOfSimulations" << QVariant("7")
                                                     << "numberOfSimulations" << "7";
        QTest::newRow("last class") << parameters + "riskIntensity" << QVariant(2) << "riskIntensity"
                                    << propagationProbabilityLabels().at(2);
        QTest::newRow("class beyond the list") << parameters + "riskIntensity" << QVariant(7) << "riskIntensity"
                                               << propagationProbabilityLabels().at(0);
        QTest::newRow("negative class") << parameters + "riskIntensity" << QVariant(-1) << "riskIntensity"
                                        << propagationProbabilityLabels().at(0);
    }

    void storedValuesAreBoundedByTheFields()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, stored);
        QFETCH(QString, field);
        QFETCH(QString, shown);
        store(key, stored);
        tumbraMainDialog dialog;
        QCOMPARE(shownValue(dialog, field), shown);
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
};

QTEST_MAIN(tst_settings)
#include "tst_settings.moc"

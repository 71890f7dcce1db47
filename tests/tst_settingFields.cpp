#include <QDoubleSpinBox>
#include <QPushButton>

#include "tests/dialogDriver.h"
#include "ui/settingFields.h"

// The window takes only settings a run can be made with, as they are typed or restored.
class tst_settingFields : public QObject
{
    Q_OBJECT

    scratchSettingsStore store_;

private slots:
    void wholeNumbersInRangeOnly_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        for (const char* text : {"1", "22", "500", "1000000"})
            QTest::newRow(text) << text << true;
        for (const char* text : {"", "0", "22.5", "+5", " 5", "1000001", "99999999999", "1e3"})
            QTest::newRow(text) << text << false;
    }

    void wholeNumbersInRangeOnly()
    {
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        QCOMPARE(wholeNumberInRange(text, 1, 1000000), accepted);
    }

    void windowRefusesWhatCannotRun()
    {
        tumbraMainDialog dialog;
        auto* simulations = child<QComboBox>(dialog, "numberOfSimulations");
        child<QDoubleSpinBox>(dialog, "profileStep")->setValue(0.0);
        QVERIFY(child<QDoubleSpinBox>(dialog, "profileStep")->value() > 0.0);

        typePath(dialog, "workingDirectory", QDir::tempPath());
        typePath(dialog, "digitalElevationModel", EXAMPLES_DIR "/dem.asc");
        typePath(dialog, "startRaster", EXAMPLES_DIR "/start_cells.asc");
        child<QComboBox>(dialog, "maxAngle")->setCurrentText("22");
        simulations->setCurrentText("500");
        QVERIFY(child<QPushButton>(dialog, "runProcess")->isEnabled());
        simulations->setCurrentText("0");
        QVERIFY(!child<QPushButton>(dialog, "runProcess")->isEnabled());
    }
};

QTEST_MAIN(tst_settingFields)
#include "tst_settingFields.moc"

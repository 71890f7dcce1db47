#include <QDoubleSpinBox>
#include <QPushButton>

#include "tests/dialogDriver.h"

// The window takes only settings a run can be made with, as they are typed or restored.
class tst_settingFields : public QObject
{
    Q_OBJECT

    scratchSettingsStore store_;

private slots:
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
        for (const char* text : {"", "0", "22.5", "+5", " 5", "1000001", "99999999999", "1e3"}) {
            simulations->setCurrentText(text);
            QVERIFY2(!child<QPushButton>(dialog, "runProcess")->isEnabled(), text);
        }
        simulations->setCurrentText("1000000");
        QVERIFY(child<QPushButton>(dialog, "runProcess")->isEnabled());
    }
};

QTEST_MAIN(tst_settingFields)
#include "tst_settingFields.moc"

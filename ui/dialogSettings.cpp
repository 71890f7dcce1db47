#include "ui/dialogSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QGuiApplication>
#include <QPoint>
#include <QScreen>
#include <QSettings>
#include <QSpinBox>
#include <QSize>
#include <QWidget>

#include "controller/resultMapPicture.h"
#include "ui/resultMapPanel.h"
#include "ui/settingFields.h"
#include "ui/tumbraMainDialogForm.h"
#include "widgets/mruComboBox.h"
#include "tumbraVersion.h"

namespace {

const QString versionGroup = QString::fromLatin1(tumbraVersion);
const QString windowGroup = QStringLiteral("MainWindow");
const QString parametersGroup = QStringLiteral("Parameters");

QSettings openStore() { return QSettings(QStringLiteral("velmora"), QStringLiteral("tumbra")); }

// A position saved on a monitor that has since gone would open the window
// out of sight; the window system places it instead. Edge points count.
void moveIfOnScreen(QWidget& dialog, const QPoint& position)
{
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen->geometry().contains(position)) {
            dialog.move(position);
            return;
        }
    }
}

void readWindowGeometry(QSettings& store, QWidget& dialog)
{
    store.beginGroup(windowGroup);
    dialog.resize(store.value(QStringLiteral("size"), QSize(900, 650)).toSize());
    moveIfOnScreen(dialog, store.value(QStringLiteral("pos"), QPoint(200, 200)).toPoint());
    store.endGroup();
}

// The choice lists hold three classes; an index from elsewhere would leave
// the list without a selection, so it keeps the one it has.
void selectProbabilityClass(QComboBox& probabilityClass, int index)
{
    if (index >= 0 && index < probabilityClass.count())
        probabilityClass.setCurrentIndex(index);
}

void readParameters(QSettings& store, tumbraMainDialogForm& form)
{
    store.beginGroup(parametersGroup);
    // The output directory comes first so the two file lists are judged
    // against the restored directory.
    form.workingDirectory->setStringList(
        store.value(QStringLiteral("workingDirMRU"), QStringList{QDir::homePath()}).toStringList());
    form.digitalElevationModel->setStringList(store.value(QStringLiteral("demFileMRU")).toStringList());
    form.startRaster->setStringList(store.value(QStringLiteral("startRasterMRU")).toStringList());

    form.segmentLength->setValue(store.value(QStringLiteral("straightDistance"), 5.0).toDouble());
    // A stored text that is no whole number in range (the first start's
    // "22.5") leaves the list's selection as it is.
    restoreWholeNumber(*form.numberOfSimulations,
                       store.value(QStringLiteral("numberOfSimulations"), QStringLiteral("100")).toString());
    restoreWholeNumber(*form.maxAngle,
                       store.value(QStringLiteral("maxDeviationAngle"), QStringLiteral("22.5")).toString());
    form.profileStep->setValue(store.value(QStringLiteral("profileStep"), 1.0).toDouble());
    selectProbabilityClass(*form.probabilityClass, store.value(QStringLiteral("riskIntensity"), 0).toInt());
    form.initialHeight->setValue(store.value(QStringLiteral("initialFallHeight"), 0).toDouble());
    form.saveTrajectories->setChecked(store.value(QStringLiteral("saveTrajectories"), false).toBool());
    const int format = store.value(QStringLiteral("outputFormat"), 0).toInt();
    form.outputFormat->setCurrentIndex(format >= 0 && format < form.outputFormat->count() ? format : 0);
    form.reproducible->setChecked(store.value(QStringLiteral("reproducible"), false).toBool());
    form.seed->setValue(store.value(QStringLiteral("seed"), 1).toInt());
    mapColouring colouring = mapColouring::reachProbability;
    mapColouringFromName(store.value(QStringLiteral("mapColouring")).toString(), colouring);
    form.resultPanel->setColouring(colouring);
    store.endGroup();
}

}  // namespace

void readDialogSettings(QWidget& dialog, tumbraMainDialogForm& form)
{
    QSettings store = openStore();
    store.beginGroup(versionGroup);
    readWindowGeometry(store, dialog);
    readParameters(store, form);
    store.endGroup();
}

void writeDialogSettings(const QWidget& dialog, const tumbraMainDialogForm& form)
{
    QSettings store = openStore();
    store.beginGroup(versionGroup);

    store.beginGroup(windowGroup);
    store.setValue(QStringLiteral("size"), dialog.size());
    store.setValue(QStringLiteral("pos"), dialog.pos());
    store.endGroup();

    store.beginGroup(parametersGroup);
    store.setValue(QStringLiteral("workingDirMRU"), form.workingDirectory->stringList());
    store.setValue(QStringLiteral("demFileMRU"), form.digitalElevationModel->stringList());
    store.setValue(QStringLiteral("startRasterMRU"), form.startRaster->stringList());
    store.setValue(QStringLiteral("straightDistance"), form.segmentLength->value());
    store.setValue(QStringLiteral("numberOfSimulations"), form.numberOfSimulations->currentText());
    store.setValue(QStringLiteral("maxDeviationAngle"), form.maxAngle->currentText());
    store.setValue(QStringLiteral("profileStep"), form.profileStep->value());
    store.setValue(QStringLiteral("riskIntensity"), form.probabilityClass->currentIndex());
    store.setValue(QStringLiteral("initialFallHeight"), form.initialHeight->value());
    store.setValue(QStringLiteral("saveTrajectories"), form.saveTrajectories->isChecked());
    store.setValue(QStringLiteral("outputFormat"), form.outputFormat->currentIndex());
    store.setValue(QStringLiteral("reproducible"), form.reproducible->isChecked());
    store.setValue(QStringLiteral("seed"), form.seed->value());
    store.setValue(QStringLiteral("mapColouring"), mapColouringName(form.resultPanel->colouring()));
    store.endGroup();

    store.endGroup();
    store.sync();
}

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

#include "map/resultMapPicture.h"
#include "controller/settingsTable.h"
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

constexpr QSize firstStartSize(1400, 860);  // wide enough for the form beside a map that takes most of the window

// A stored size beyond the screen (a larger monitor's since gone, or a
// damaged store's 100000 x 100000, whose window buffers cannot be had) is cut
// to the screen's free area, though never below the first-start size, which
// the window takes on any screen.
QSize fittedToScreen(const QSize& stored)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? stored.boundedTo(screen->availableSize().expandedTo(firstStartSize)) : stored;
}

void readWindowGeometry(QSettings& store, QWidget& dialog)
{
    store.beginGroup(windowGroup);
    dialog.resize(fittedToScreen(store.value(QStringLiteral("size"), firstStartSize).toSize()));
    moveIfOnScreen(dialog, store.value(QStringLiteral("pos"), QPoint(200, 200)).toPoint());
    store.endGroup();
}

void readParameters(QSettings& store, tumbraMainDialogForm& form)
{
    store.beginGroup(parametersGroup);
    // The output directory comes first so the two file lists are judged
    // against the restored directory.
    form.outputFolder->setStringList(
        store.value(QStringLiteral("workingDirMRU"), QStringList{QDir::homePath()}).toStringList());
    form.digitalElevationModel->setStringList(store.value(QStringLiteral("demFileMRU")).toStringList());
    form.startRaster->setStringList(store.value(QStringLiteral("startRasterMRU")).toStringList());
    form.objectsFile->setStringList(store.value(QStringLiteral("objectsFileMRU")).toStringList());
    form.forestFile->setStringList(store.value(QStringLiteral("forestFileMRU")).toStringList());
    form.barriersFile->setStringList(store.value(QStringLiteral("barriersFileMRU")).toStringList());

    // A stored value the field cannot hold (an earlier version's angle
    // "22.5", a class beyond the list) leaves the table's default.
    for (const settingRow& row : settingsTable())
        if (QWidget* field = settingField(form, row); field && !row.storeKey.isEmpty())
            restoreFieldValue(field, store.value(row.storeKey, row.defaultValue));
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
    form.formPaneWidth = store.value(windowGroup + QStringLiteral("/formPaneWidth"), 0).toInt();
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
    store.setValue(QStringLiteral("formPaneWidth"), form.formPaneWidth);
    store.endGroup();

    store.beginGroup(parametersGroup);
    store.setValue(QStringLiteral("workingDirMRU"), form.outputFolder->stringList());
    store.setValue(QStringLiteral("demFileMRU"), form.digitalElevationModel->stringList());
    store.setValue(QStringLiteral("startRasterMRU"), form.startRaster->stringList());
    store.setValue(QStringLiteral("objectsFileMRU"), form.objectsFile->stringList());
    store.setValue(QStringLiteral("forestFileMRU"), form.forestFile->stringList());
    store.setValue(QStringLiteral("barriersFileMRU"), form.barriersFile->stringList());
    for (const settingRow& row : settingsTable())
        if (const QWidget* field = settingField(form, row); field && !row.storeKey.isEmpty())
            store.setValue(row.storeKey, fieldValue(field));
    store.setValue(QStringLiteral("outputFormat"), form.outputFormat->currentIndex());
    store.setValue(QStringLiteral("reproducible"), form.reproducible->isChecked());
    store.setValue(QStringLiteral("seed"), form.seed->value());
    store.setValue(QStringLiteral("mapColouring"), mapColouringName(form.resultPanel->colouring()));
    store.endGroup();

    store.endGroup();
    store.sync();
}

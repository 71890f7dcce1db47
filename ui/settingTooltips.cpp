#include "ui/settingTooltips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QLabel>

#include "ui/tumbraMainDialogForm.h"
#include "widgets/mruComboBox.h"

namespace {

QString tr(const char* text) { return QCoreApplication::translate("tumbraMainDialog", text); }

// What each propagation probability class means for the run-out, by list position.
const char* const classExplanations[] = {
    QT_TRANSLATE_NOOP("tumbraMainDialog",
                      "High (log10⁻⁶): the longest run-out. Trajectories stop only where about one rock in a "
                      "million would still go further; for rare but possible events."),
    QT_TRANSLATE_NOOP("tumbraMainDialog",
                      "Medium (log10⁻⁴): trajectories stop where about one rock in ten thousand would still go "
                      "further."),
    QT_TRANSLATE_NOOP("tumbraMainDialog",
                      "Low (log10⁻²): the shortest run-out. Trajectories stop where about one rock in a hundred "
                      "would still go further; for frequent events."),
};

}  // namespace

// The settings' own tooltips come from the settings table; here are what
// the table does not hold: each class's meaning, and the paths.
void applySettingTooltips(tumbraMainDialogForm& form)
{
    QString classes = form.probabilityClass->toolTip();
    for (int i = 0; i < form.probabilityClass->count() && i < 3; ++i) {
        const QString explanation = tr(classExplanations[i]);
        form.probabilityClass->setItemData(i, explanation, Qt::ToolTipRole);
        classes += QStringLiteral("\n") + explanation;
    }
    form.probabilityClass->setToolTip(classes);
    form.probabilityClassLabel->setToolTip(classes);

    form.outputFolder->setToolTip(
        tr("Folder in which every run makes a sub-folder of its own for N.asc, Reach_prob.asc, log.txt and "
           "trajectory_points.txt."));
    form.digitalElevationModel->setToolTip(
        tr("Digital elevation model: an ESRI ASCII grid (.asc or .txt), elevations in metres."));
    form.startRaster->setToolTip(tr("Start cells: an ESRI ASCII grid on the DEM's grid; cells above 0 are "
                                    "the sources of the rocks."));
}

#include "ui/settingTooltips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QLabel>

#include "ui/settingFields.h"
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

void applySettingTooltips(tumbraMainDialogForm& form)
{
    const QString simulations =
        tr("Trajectories simulated from random points of every start cell. More give steadier reach "
           "probabilities and take longer. A whole number from %1 to %2; the list holds suggestions.")
            .arg(settingLimits::fewestSimulations)
            .arg(settingLimits::mostSimulations);
    form.numberOfSimulations->setToolTip(simulations);
    form.label_10->setToolTip(simulations);

    const QString segment = tr("Length of the straight segments a trajectory advances by, in metres "
                               "(%1 to %2 m). Shorter segments follow the terrain more closely.")
                                .arg(form.segmentLength->minimum())
                                .arg(form.segmentLength->maximum());
    form.segmentLength->setToolTip(segment);
    form.label_4->setToolTip(segment);

    const QString step = tr("Distance between the points at which the terrain profile under a trajectory is "
                            "sampled for the stop criterion, in metres (%1 to %2 m; 0 cannot run).")
                             .arg(form.profileStep->minimum())
                             .arg(form.profileStep->maximum());
    form.profileStep->setToolTip(step);
    form.label_3->setToolTip(step);

    const QString angle = tr("Largest turn of a trajectory's heading towards the local downslope direction "
                             "before each segment, in whole degrees from %1 to %2; the list holds suggestions.")
                              .arg(settingLimits::smallestAngle)
                              .arg(settingLimits::largestAngle);
    form.maxAngle->setToolTip(angle);
    form.label_2->setToolTip(angle);

    const QString height = tr("Height from which the rocks fall at their start cell, in metres (%1 to %2 m).")
                               .arg(form.initialHeight->minimum())
                               .arg(form.initialHeight->maximum());
    form.initialHeight->setToolTip(height);
    form.label_8->setToolTip(height);

    QString classes = tr("How far trajectories run before the energy-line criterion stops them. log.txt names "
                         "this setting \"Risk acceptance\".");
    for (int i = 0; i < form.probabilityClass->count() && i < 3; ++i) {
        const QString explanation = tr(classExplanations[i]);
        form.probabilityClass->setItemData(i, explanation, Qt::ToolTipRole);
        classes += QStringLiteral("\n") + explanation;
    }
    form.probabilityClass->setToolTip(classes);
    form.label_5->setToolTip(classes);

    form.saveTrajectories->setToolTip(
        tr("Also write trajectory_points.txt: every point of every trajectory (x, y in map units, z in metres). "
           "The file can be large."));
    form.workingDirectory->setToolTip(
        tr("Folder in which every run makes a sub-folder of its own for N.asc, Reach_prob.asc, log.txt and "
           "trajectory_points.txt."));
    form.digitalElevationModel->setToolTip(
        tr("Digital elevation model: an ESRI ASCII grid (.asc or .txt), elevations in metres."));
    form.startRaster->setToolTip(tr("Start cells: an ESRI ASCII grid on the DEM's grid; cells above 0 are "
                                    "the sources of the rocks."));
}

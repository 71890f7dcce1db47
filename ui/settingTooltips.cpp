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

// What each risk acceptance class means for the run-out, by list position.
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
        tr("Folder in which every run makes a sub-folder of its own for its outputs: N (trajectories that passed "
           "each cell), Reach_prob (reach probability in percent), their QGIS styles (.qml), log.txt (settings and "
           "run summary) and, when asked for, the trajectory points."));
    form.digitalElevationModel->setToolTip(
        tr("Digital elevation model: an ESRI ASCII grid (.asc or .txt) or a GeoTIFF (.tif, .tiff), elevations in "
           "metres, in a coordinate system in metres."));
    form.startRaster->setToolTip(tr("Start cells: an ESRI ASCII grid or a GeoTIFF on the DEM's grid, whose cells "
                                    "above 0 are the sources of the rocks, or a vector layer (GeoPackage, Shapefile, "
                                    "GeoJSON, FlatGeobuf; its first layer): polygons give the cells whose centres lie "
                                    "inside, lines and points the cells they touch."));
}

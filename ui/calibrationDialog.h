#pragma once

#include <QByteArray>
#include <QDialog>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

#include "raster/grid.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class mruComboBox;
class resultMapPanel;
struct runResultGrids;
class tumbraMainDialogForm;
struct runRequest;

// The window's field evidence: the observed run-out file with its layer, and
// the button that opens the calibration against it. Placed below the file
// panel's last row; the layer is the settings-table row "observedLayer".
struct observedRunOutRow
{
    QLabel* label = nullptr;
    mruComboBox* file = nullptr;
    QPushButton* browse = nullptr;
    QLabel* layerLabel = nullptr;
    QComboBox* layer = nullptr;  // editable: the file's layer names, empty for the first
    QPushButton* calibrate = nullptr;
};

// Adds the row to the form's path grid, the button to its run row and the
// fields to the form's lists, before the settings table is applied.
observedRunOutRow placeObservedRunOutRow(tumbraMainDialogForm& form, QWidget* parent);
// Shows the layer row for a file only, offers its layers and locks the row
// during a run; whether the path is empty or names a file.
bool updateObservedRunOutRow(const observedRunOutRow& row, bool running);
// The observed file's list of recent paths in the user's settings store.
void readObservedRunOutRow(observedRunOutRow& row);
void writeObservedRunOutRow(const observedRunOutRow& row);

// Reads the observed run-out off the window's thread and draws the boundary
// cells of its polygons and the cells of its points over the result's map.
void showObservedOutline(resultMapPanel* panel, const std::shared_ptr<const runResultGrids>& result,
                         const QString& file, const QString& layer);

// The cells of `area` (1 inside) that touch a cell outside it or the grid's edge.
grid<uint8_t> boundaryCells(const grid<uint8_t>& area);

// A settings row's values typed as a list ("15, 22, 30"), read as tumbra-run
// reads its option's list: each a value the row can take. Empty text gives
// no values; a value it cannot take gives none and says why in `problem`.
QVariantList typedSettingValues(const QString& rowName, const QString& text, QString* problem);

// The settings of a row of calibration.csv as the window's fields take them
// (settings row name, field value), from the columns named as a settings
// row's label with its unit.
QList<QPair<QString, QVariant>> fieldValuesOfTableRow(const QStringList& header, const QStringList& row);

// Lists of values per setting and the criterion of a calibration, run
// through the window's own run; afterwards the ranking of calibration.csv,
// best first, whose best settings the form can take.
class calibrationDialog : public QDialog
{
    Q_OBJECT

public:
    calibrationDialog(tumbraMainDialogForm& form, QWidget* parent);

    // The calibration's part of a request: the lists (a list of one value
    // sets the setting), the criterion and the study area. False, with the
    // problem shown in the dialog, when a list holds a value that cannot run.
    bool fillRequest(runRequest& request) const;
    // Shows calibration.csv of a completed calibration's folder.
    void showResults(const QString& runFolder);
    void setRunning(bool running);

signals:
    void runRequested();

private:
    void requestRun();
    void useBestSettings();

    tumbraMainDialogForm& form_;
    QList<QCheckBox*> classes_;  // by the probability class's index
    QLineEdit* maxAngles_ = nullptr;
    QLineEdit* fallHeights_ = nullptr;
    QLineEdit* segmentLengths_ = nullptr;
    QComboBox* criterion_ = nullptr;
    QLineEdit* studyArea_ = nullptr;
    QPushButton* browseStudyArea_ = nullptr;
    QLabel* problem_ = nullptr;
    QPushButton* run_ = nullptr;
    QTableWidget* table_ = nullptr;
    QPushButton* useBest_ = nullptr;
    QStringList header_;
    QStringList best_;
};

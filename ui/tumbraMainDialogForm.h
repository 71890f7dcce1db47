#pragma once

#include <QHash>
#include <QList>
#include <QString>

class QCheckBox;
class QComboBox;
class QDialog;
class QDoubleSpinBox;
class QGridLayout;
class QGroupBox;
class QSpinBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QVBoxLayout;
class QWidget;

class QVisibleHandleSplitter;
class clearableTextBrowser;
class fittingScrollArea;
class mruComboBox;
class mapView;
class resultMapPanel;
class runClockLabel;

// The window's field of a settings-table row and the label beside it; a
// check box carries its own label.
struct settingWidgets
{
    QWidget* field = nullptr;
    QLabel* label = nullptr;
};

// The main dialog's widget tree, built in code. Every widget carries the
// object name of its member, so tests and style sheets find it by name; the
// widgets belong to the dialog, this holder only points at them.
class tumbraMainDialogForm
{
public:
    void setupUi(QDialog* dialog);
    void retranslateUi(QDialog* dialog);

    QHBoxLayout* windowLayout = nullptr;
    QVisibleHandleSplitter* splitter = nullptr;

    QWidget* formPane = nullptr;
    QVBoxLayout* formColumn = nullptr;
    // The paths and settings scroll when the window is too short for them,
    // so that the window fits a small screen.
    fittingScrollArea* inputsScroll = nullptr;
    QWidget* inputsPane = nullptr;
    QVBoxLayout* inputsColumn = nullptr;
    QHBoxLayout* titleRow = nullptr;
    QLabel* velmoraLogo = nullptr;
    QPushButton* aboutButton = nullptr;

    QGridLayout* pathGrid = nullptr;
    QLabel* outputFolderLabel = nullptr;
    mruComboBox* outputFolder = nullptr;
    QPushButton* browseOutputFolder = nullptr;
    QLabel* digitalElevationModelLabel = nullptr;
    mruComboBox* digitalElevationModel = nullptr;
    QPushButton* browseDigitalElevationModel = nullptr;
    QLabel* startCellsLabel = nullptr;
    mruComboBox* startRaster = nullptr;
    QPushButton* browseStartRaster = nullptr;
    // The layer and filter of a vector start-cells file, the optional objects
    // at risk with the layer and id field of a vector one.
    QLabel* startLayerLabel = nullptr;
    QComboBox* startLayer = nullptr;  // editable: the file's layer names, empty for the first
    QLabel* startWhereLabel = nullptr;
    QLineEdit* startWhere = nullptr;
    // The start layer's fields that give each release its own frequency,
    // block and fall height: editable lists of the layer's number fields.
    QComboBox* frequencyField = nullptr;
    QComboBox* frequencyPerHaField = nullptr;
    QComboBox* volumeField = nullptr;
    QComboBox* densityField = nullptr;
    QComboBox* fallHeightField = nullptr;
    // Every widget of the rows that apply only to a vector start-cells file.
    QList<QWidget*> startLayerRows;
    QLabel* objectsLabel = nullptr;
    mruComboBox* objectsFile = nullptr;
    QPushButton* browseObjects = nullptr;
    QLabel* objectsLayerLabel = nullptr;
    QComboBox* objectsLayer = nullptr;
    QLabel* objectsIdLabel = nullptr;
    QLineEdit* objectsIdField = nullptr;
    // The optional forest (the field row for a vector one) and barriers.
    QLabel* forestLabel = nullptr;
    mruComboBox* forestFile = nullptr;
    QPushButton* browseForest = nullptr;
    QLabel* forestFieldLabel = nullptr;
    QLineEdit* forestField = nullptr;
    QLabel* barriersLabel = nullptr;
    mruComboBox* barriersFile = nullptr;
    QPushButton* browseBarriers = nullptr;
    QLabel* barrierCapacityFieldLabel = nullptr;
    QLineEdit* barrierCapacityField = nullptr;

    QHBoxLayout* settingsRow = nullptr;
    QGroupBox* settingsGroup = nullptr;
    QGridLayout* settingsGrid = nullptr;
    QLabel* simulationsLabel = nullptr;
    QComboBox* numberOfSimulations = nullptr;
    QLabel* segmentLengthLabel = nullptr;
    QDoubleSpinBox* segmentLength = nullptr;
    QLabel* profileStepLabel = nullptr;
    QDoubleSpinBox* profileStep = nullptr;
    QLabel* maxAngleLabel = nullptr;
    QComboBox* maxAngle = nullptr;
    QLabel* fallHeightLabel = nullptr;
    QDoubleSpinBox* initialHeight = nullptr;
    QLabel* probabilityClassLabel = nullptr;
    QComboBox* probabilityClass = nullptr;
    QCheckBox* saveTrajectories = nullptr;
    QLabel* outputFormatLabel = nullptr;
    QComboBox* outputFormat = nullptr;  // index: the outputFormat value
    QCheckBox* reproducible = nullptr;
    QSpinBox* seed = nullptr;

    // The intensity setting, and beside it the button that opens the small
    // dialog holding the block volume, the rock density and the class limits.
    QCheckBox* intensity = nullptr;
    QPushButton* intensityDetails = nullptr;
    QDialog* intensityDialog = nullptr;
    QGridLayout* intensityGrid = nullptr;
    QLabel* blockVolumeLabel = nullptr;
    QDoubleSpinBox* blockVolume = nullptr;
    QLabel* rockDensityLabel = nullptr;
    QDoubleSpinBox* rockDensity = nullptr;
    QLabel* energyClassesLabel = nullptr;
    QLineEdit* energyClasses = nullptr;

    // The hazard map, and beside it the button that opens the small dialog
    // holding the release frequency, the return periods and the matrix.
    QCheckBox* hazard = nullptr;
    QPushButton* hazardDetails = nullptr;
    QDialog* hazardDialog = nullptr;
    QGridLayout* hazardGrid = nullptr;
    QLabel* releaseFrequencyLabel = nullptr;
    QDoubleSpinBox* releaseFrequency = nullptr;
    QLabel* returnPeriodsLabel = nullptr;
    QLineEdit* returnPeriods = nullptr;
    QLabel* hazardMatrixLabel = nullptr;
    QLineEdit* hazardMatrix = nullptr;

    // The button that opens the small dialog of the forest's friction.
    QLabel* forestDetailsLabel = nullptr;
    QPushButton* forestDetails = nullptr;
    QDialog* forestDialog = nullptr;
    QGridLayout* forestGrid = nullptr;
    QDoubleSpinBox* forestAngleMax = nullptr;
    QDoubleSpinBox* forestAngleMin = nullptr;
    QDoubleSpinBox* forestSpeed = nullptr;
    QDoubleSpinBox* forestSkip = nullptr;

    QHBoxLayout* runRow = nullptr;
    QPushButton* runProcess = nullptr;
    QPushButton* stopProcess = nullptr;
    QProgressBar* progressBar = nullptr;
    runClockLabel* runClock = nullptr;

    clearableTextBrowser* logWindow = nullptr;

    QStackedWidget* stackedWidget = nullptr;
    QLabel* noResultsLabel = nullptr;
    QWidget* resultPage = nullptr;
    QVBoxLayout* resultLayout = nullptr;
    resultMapPanel* resultPanel = nullptr;
    mapView* raster = nullptr;  // the map itself, inside resultPanel
    QLabel* mapCaption = nullptr;
    // The form's width beside the map as last set by hand; 0: its smallest.
    int formPaneWidth = 0;

    // Each settings-table row's widgets by the row's name, recorded as the
    // form places them; rows without a field (the thread count) have none.
    QHash<QString, settingWidgets> settingFields;
    // The input paths with their browse buttons.
    QList<QWidget*> pathControls;

private:
    void setupFilePanel(QWidget* parent);
    void setupSettingsPanel(QWidget* parent);
    void setupIntensityPanel(QWidget* parent);
    void setupHazardPanel(QWidget* parent);
    void setupForestPanel(QWidget* parent);
    QDialog* detailsDialog(QWidget* parent, QPushButton* opener, const char* name, QGridLayout** grid,
                           const char* gridName);
    void setupRunArea(QWidget* parent);
    void setupResultPane();
    template <typename Field>
    Field* placeSetting(QGridLayout* grid, int gridRow, const char* rowName, const char* fieldName,
                        QLabel** label = nullptr, const char* labelName = nullptr);
    void markDefaultButtons();
};

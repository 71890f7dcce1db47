#pragma once

class QCheckBox;
class QComboBox;
class QDialog;
class QDoubleSpinBox;
class QGridLayout;
class QGroupBox;
class QSpinBox;
class QHBoxLayout;
class QLabel;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QVBoxLayout;
class QWidget;

class QVisibleHandleSplitter;
class clearableTextBrowser;
class mruComboBox;
class mapView;
class resultMapPanel;
class runClockLabel;

// The main dialog's widget tree, built in code. Every widget carries the
// object name of its member, so tests and style sheets find it by name; the
// widgets belong to the dialog, this holder only points at them.
class tumbraMainDialogForm
{
public:
    void setupUi(QDialog* dialog);
    void retranslateUi(QDialog* dialog);

    QHBoxLayout* horizontalLayout_7 = nullptr;
    QVisibleHandleSplitter* splitter = nullptr;

    QWidget* widget = nullptr;
    QVBoxLayout* verticalLayout_2 = nullptr;
    QHBoxLayout* horizontalLayout_2 = nullptr;
    QLabel* velmoraLogo = nullptr;
    QPushButton* aboutButton = nullptr;

    QGridLayout* gridLayout = nullptr;
    QLabel* label_7 = nullptr;
    mruComboBox* workingDirectory = nullptr;
    QPushButton* browseWorkingDir = nullptr;
    QLabel* digitalElevationModelLabel = nullptr;
    mruComboBox* digitalElevationModel = nullptr;
    QPushButton* browseDigitalElevationModel = nullptr;
    QLabel* label = nullptr;
    mruComboBox* startRaster = nullptr;
    QPushButton* browseStartRaster = nullptr;

    QHBoxLayout* horizontalLayout = nullptr;
    QGroupBox* groupBox_2 = nullptr;
    QGridLayout* gridLayout_2 = nullptr;
    QLabel* label_10 = nullptr;
    QComboBox* numberOfSimulations = nullptr;
    QLabel* label_4 = nullptr;
    QDoubleSpinBox* segmentLength = nullptr;
    QLabel* label_3 = nullptr;
    QDoubleSpinBox* profileStep = nullptr;
    QLabel* label_2 = nullptr;
    QComboBox* maxAngle = nullptr;
    QLabel* label_8 = nullptr;
    QDoubleSpinBox* initialHeight = nullptr;
    QLabel* label_5 = nullptr;
    QComboBox* probabilityClass = nullptr;
    QCheckBox* saveTrajectories = nullptr;
    QLabel* outputFormatLabel = nullptr;
    QComboBox* outputFormat = nullptr;  // index: the outputFormat value
    QCheckBox* reproducible = nullptr;
    QSpinBox* seed = nullptr;

    QHBoxLayout* horizontalLayout_6 = nullptr;
    QPushButton* runProcess = nullptr;
    QPushButton* stopProcess = nullptr;
    QProgressBar* progressBar = nullptr;
    runClockLabel* runClock = nullptr;

    clearableTextBrowser* logWindow = nullptr;

    QStackedWidget* stackedWidget = nullptr;
    QLabel* noResultsLabel = nullptr;
    QWidget* verticalLayoutWidget = nullptr;
    QVBoxLayout* verticalLayout = nullptr;
    resultMapPanel* resultPanel = nullptr;
    mapView* raster = nullptr;  // the map itself, inside resultPanel
    QLabel* label_6 = nullptr;

private:
    void setupFilePanel(QWidget* parent);
    void setupSettingsPanel(QWidget* parent);
    void setupRunArea(QWidget* parent);
    void setupResultPane();
    void markDefaultButtons();
};

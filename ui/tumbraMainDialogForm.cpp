#include "ui/tumbraMainDialogForm.h"

#include <QByteArray>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QSpacerItem>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <utility>

#include "controller/settingsTable.h"
#include "widgets/QVisibleHandleSplitter.h"
#include "widgets/clearableTextBrowser.h"
#include "widgets/fittingScrollArea.h"
#include "widgets/mruComboBox.h"
#include "ui/resultMapPanel.h"
#include "widgets/mapView.h"
#include "widgets/runClockLabel.h"

namespace {

template <typename T>
T* named(T* object, const char* name)
{
    object->setObjectName(QString::fromLatin1(name));
    return object;
}

template <typename Layout>
Layout* spacedLayout(Layout* layout, const char* name, int margin)
{
    named(layout, name);
    layout->setSpacing(6);
    if (margin >= 0)
        layout->setContentsMargins(margin, margin, margin, margin);
    return layout;
}

QLabel* rowLabel(QWidget* parent, const char* name)
{
    auto* label = named(new QLabel(parent), name);
    label->setAlignment(Qt::AlignLeading | Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}

// The field a settings-table row takes, by its kind: a list for a whole
// number (editable, its items suggestions) or a choice, a spin box for a
// number, a check box for a yes/no, a line for a text. Ranges, decimals,
// defaults, labels and tooltips come from the row (applySettingsTable).
QWidget* fieldOfKind(settingType type, QWidget* parent)
{
    switch (type) {
    case settingType::wholeNumber:
    case settingType::choice:
        return new QComboBox(parent);
    case settingType::number: {
        auto* spinBox = new QDoubleSpinBox(parent);
        spinBox->setStepType(QAbstractSpinBox::AdaptiveDecimalStepType);
        spinBox->setSingleStep(1.0);
        return spinBox;
    }
    case settingType::yesNo:
        return new QCheckBox(parent);
    case settingType::text:
        break;
    }
    return new QLineEdit(parent);
}

QString tr(const char* text) { return QCoreApplication::translate("tumbraMainDialog", text); }

}  // namespace

void tumbraMainDialogForm::setupUi(QDialog* dialog)
{
    if (dialog->objectName().isEmpty())
        dialog->setObjectName(QStringLiteral("tumbraMainDialog"));
    dialog->resize(962, 725);
    dialog->setStyleSheet(QString());

    windowLayout = spacedLayout(new QHBoxLayout(dialog), "windowLayout", 11);
    splitter = named(new QVisibleHandleSplitter(dialog), "splitter");
    splitter->setFrameShape(QFrame::NoFrame);
    splitter->setMidLineWidth(0);
    splitter->setOrientation(Qt::Horizontal);
    splitter->setOpaqueResize(true);
    splitter->setHandleWidth(5);
    splitter->setChildrenCollapsible(true);

    formPane = named(new QWidget(splitter), "formPane");
    // The window's own margin frames both panes; inside, only a gap beside the handle.
    formColumn = spacedLayout(new QVBoxLayout(formPane), "formColumn", -1);
    formColumn->setContentsMargins(0, 0, 6, 0);

    titleRow = spacedLayout(new QHBoxLayout(), "titleRow", -1);
    velmoraLogo = named(new QLabel(formPane), "velmoraLogo");
    velmoraLogo->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    velmoraLogo->setMaximumSize(146, 35);
    velmoraLogo->setAutoFillBackground(false);
    velmoraLogo->setPixmap(QPixmap(QStringLiteral(":/images/logoVelmora.png")));
    velmoraLogo->setScaledContents(true);
    titleRow->addWidget(velmoraLogo);
    titleRow->addItem(new QSpacerItem(400, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    aboutButton = named(new QPushButton(formPane), "aboutButton");
    titleRow->addWidget(aboutButton);
    formColumn->addLayout(titleRow);

    inputsScroll = named(new fittingScrollArea(formPane), "inputsScroll");
    inputsPane = named(new QWidget(inputsScroll), "inputsPane");
    inputsColumn = spacedLayout(new QVBoxLayout(inputsPane), "inputsColumn", 0);
    setupFilePanel(inputsPane);
    setupSettingsPanel(inputsPane);
    inputsScroll->setWidget(inputsPane);
    formColumn->addWidget(inputsScroll);
    formColumn->addItem(new QSpacerItem(20, 20, QSizePolicy::Minimum, QSizePolicy::Expanding));
    setupRunArea(formPane);

    logWindow = named(new clearableTextBrowser(formPane), "logWindow");
    logWindow->setTabChangesFocus(false);
    formColumn->addWidget(logWindow, 1);

    splitter->addWidget(formPane);
    setupResultPane();
    splitter->addWidget(stackedWidget);
    windowLayout->addWidget(splitter);

    QWidget::setTabOrder(runProcess, stopProcess);
    QWidget::setTabOrder(stopProcess, logWindow);
    QWidget::setTabOrder(logWindow, aboutButton);

    retranslateUi(dialog);
    markDefaultButtons();
    stackedWidget->setCurrentIndex(1);
}

void tumbraMainDialogForm::setupFilePanel(QWidget* parent)
{
    pathGrid = spacedLayout(new QGridLayout(), "pathGrid", -1);
    const auto addRow = [this](int row, QLabel* label, mruComboBox* field, QPushButton* button) {
        pathGrid->addWidget(label, row, 0);
        pathGrid->addWidget(field, row, 1);
        pathGrid->addWidget(button, row, 2);
        button->setStyleSheet(QString());
        // The path takes the row's width; the button keeps its own.
        button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        pathControls << field << button;
    };
    outputFolderLabel = rowLabel(parent, "outputFolderLabel");
    outputFolder = named(new mruComboBox(parent), "outputFolder");
    browseOutputFolder = named(new QPushButton(parent), "browseOutputFolder");
    addRow(0, outputFolderLabel, outputFolder, browseOutputFolder);
    digitalElevationModelLabel = rowLabel(parent, "digitalElevationModelLabel");
    digitalElevationModel = named(new mruComboBox(parent), "digitalElevationModel");
    browseDigitalElevationModel = named(new QPushButton(parent), "browseDigitalElevationModel");
    addRow(1, digitalElevationModelLabel, digitalElevationModel, browseDigitalElevationModel);
    startCellsLabel = rowLabel(parent, "startCellsLabel");
    startRaster = named(new mruComboBox(parent), "startRaster");
    browseStartRaster = named(new QPushButton(parent), "browseStartRaster");
    addRow(2, startCellsLabel, startRaster, browseStartRaster);
    objectsLabel = rowLabel(parent, "objectsLabel");
    objectsFile = named(new mruComboBox(parent), "objectsFile");
    browseObjects = named(new QPushButton(parent), "browseObjects");
    addRow(9, objectsLabel, objectsFile, browseObjects);
    // Below each file, the rows of its vector layer: a field, and beside it
    // a second one with its label where there is one. Each field is the
    // settings-table row of its name; labels and tooltips come from the
    // table (applySettingsTable).
    const auto nameList = [parent](const char* name, const QString& placeholder) {
        auto* list = named(new QComboBox(parent), name);
        list->setEditable(true);
        list->setInsertPolicy(QComboBox::NoInsert);
        list->lineEdit()->setPlaceholderText(placeholder);
        return list;
    };
    const auto addLayerRow = [this, parent](int row, QWidget* first, QLabel*& firstLabel, QWidget* second,
                                            QLabel*& secondLabel) {
        firstLabel = rowLabel(parent, (first->objectName() + QStringLiteral("Label")).toLatin1().constData());
        // In a widget of its own: an empty layout in the grid would cap the
        // path column at its narrowest while the row is hidden.
        auto* box = new QWidget(parent);
        auto* line = new QHBoxLayout(box);
        line->setContentsMargins(0, 0, 0, 0);
        line->addWidget(first, 1);
        pathGrid->addWidget(firstLabel, row, 0);
        pathGrid->addWidget(box, row, 1);
        settingFields.insert(first->objectName(), {first, firstLabel});
        QList<QWidget*> widgets{firstLabel, box, first};
        if (second) {
            secondLabel = rowLabel(parent, (second->objectName() + QStringLiteral("Label")).toLatin1().constData());
            line->addWidget(secondLabel);
            line->addWidget(second, 1);
            settingFields.insert(second->objectName(), {second, secondLabel});
            widgets << secondLabel << second;
        }
        return widgets;
    };
    QLabel* releaseLabel = nullptr;  // the release rows' labels are reached through settingFields
    startLayer = nameList("startLayer", tr("the first"));
    startWhere = named(new QLineEdit(parent), "startWhere");
    startLayerRows << addLayerRow(3, startLayer, startLayerLabel, startWhere, startWhereLabel);
    // One to a row: side by side, their long labels would widen the form and narrow the map.
    const std::pair<QComboBox**, const char*> releaseFields[] = {{&frequencyField, "frequencyField"},
                                                                 {&frequencyPerHaField, "frequencyPerHaField"},
                                                                 {&volumeField, "volumeField"},
                                                                 {&densityField, "densityField"},
                                                                 {&fallHeightField, "fallHeightField"}};
    int row = 4;
    for (const auto& [field, name] : releaseFields) {
        *field = nameList(name, tr("none"));
        startLayerRows << addLayerRow(row++, *field, releaseLabel, nullptr, releaseLabel);
    }
    objectsLayer = nameList("objectsLayer", tr("the first"));
    objectsIdField = named(new QLineEdit(parent), "objectsIdField");
    addLayerRow(10, objectsLayer, objectsLayerLabel, objectsIdField, objectsIdLabel);
    // Forest and barriers, each with the field of its layer below it.
    QLabel* noLabel = nullptr;
    forestLabel = rowLabel(parent, "forestLabel");
    forestFile = named(new mruComboBox(parent), "forestFile");
    browseForest = named(new QPushButton(parent), "browseForest");
    addRow(11, forestLabel, forestFile, browseForest);
    forestField = named(new QLineEdit(parent), "forestField");
    addLayerRow(12, forestField, forestFieldLabel, nullptr, noLabel);
    barriersLabel = rowLabel(parent, "barriersLabel");
    barriersFile = named(new mruComboBox(parent), "barriersFile");
    browseBarriers = named(new QPushButton(parent), "browseBarriers");
    addRow(13, barriersLabel, barriersFile, browseBarriers);
    barrierCapacityField = named(new QLineEdit(parent), "barrierCapacityField");
    addLayerRow(14, barrierCapacityField, barrierCapacityFieldLabel, nullptr, noLabel);
    pathGrid->setColumnStretch(1, 1);
    inputsColumn->addLayout(pathGrid);
}

// A settings row: its label in column 0, its field in column 1.
static void addSettingsRow(QGridLayout* layout, int row, QWidget* label, QWidget* field)
{
    layout->addWidget(label, row, 0);
    layout->addWidget(field, row, 1);
}

// A settings-table row's label (none for a check box, which carries its
// own) and field of the row's kind, placed on the grid's row and recorded
// under the row's name for the settings' code.
template <typename Field>
Field* tumbraMainDialogForm::placeSetting(QGridLayout* grid, int gridRow, const char* rowName, const char* fieldName,
                                          QLabel** label, const char* labelName)
{
    QWidget* const parent = grid->parentWidget();
    if (label)
        *label = named(new QLabel(parent), labelName);
    auto* field = qobject_cast<Field*>(fieldOfKind(settingNamed(QLatin1String(rowName)).type, parent));
    if (!field)
        qFatal("The field %s is not of the kind its row %s asks for", fieldName, rowName);
    named(field, fieldName);
    if (label)
        addSettingsRow(grid, gridRow, *label, field);
    else
        grid->addWidget(field, gridRow, 0, 1, 2);
    settingFields.insert(QLatin1String(rowName), {field, label ? *label : nullptr});
    return field;
}

void tumbraMainDialogForm::setupSettingsPanel(QWidget* parent)
{
    settingsRow = spacedLayout(new QHBoxLayout(), "settingsRow", -1);
    settingsGroup = named(new QGroupBox(parent), "settingsGroup");
    settingsGrid = spacedLayout(new QGridLayout(settingsGroup), "settingsGrid", 11);

    numberOfSimulations = placeSetting<QComboBox>(settingsGrid, 0, "numberOfSimulations", "numberOfSimulations",
                                                  &simulationsLabel, "simulationsLabel");
    segmentLength = placeSetting<QDoubleSpinBox>(settingsGrid, 1, "segmentLength", "segmentLength", &segmentLengthLabel,
                                                 "segmentLengthLabel");
    profileStep = placeSetting<QDoubleSpinBox>(settingsGrid, 2, "profileStep", "profileStep", &profileStepLabel,
                                               "profileStepLabel");
    maxAngle =
        placeSetting<QComboBox>(settingsGrid, 3, "maxDeviationAngle", "maxAngle", &maxAngleLabel, "maxAngleLabel");
    initialHeight = placeSetting<QDoubleSpinBox>(settingsGrid, 4, "initialFallHeight", "initialHeight",
                                                 &fallHeightLabel, "fallHeightLabel");
    probabilityClass = placeSetting<QComboBox>(settingsGrid, 6, "probabilityClass", "probabilityClass",
                                               &probabilityClassLabel, "probabilityClassLabel");

    // Each on a row of its own, so that the form stays narrow beside the map.
    outputFormatLabel = named(new QLabel(settingsGroup), "outputFormatLabel");
    outputFormat = named(new QComboBox(settingsGroup), "outputFormat");
    addSettingsRow(settingsGrid, 7, outputFormatLabel, outputFormat);
    saveTrajectories = placeSetting<QCheckBox>(settingsGrid, 8, "saveTrajectories", "saveTrajectories");

    // A seeded run gives the same maps on any machine and number of cores.
    reproducible = named(new QCheckBox(settingsGroup), "reproducible");
    seed = named(new QSpinBox(settingsGroup), "seed");
    seed->setRange(0, 2147483647);
    seed->setValue(1);
    seed->setEnabled(false);
    QObject::connect(reproducible, &QCheckBox::toggled, seed, &QWidget::setEnabled);
    addSettingsRow(settingsGrid, 5, reproducible, seed);
    setupIntensityPanel(parent);
    setupHazardPanel(parent);
    setupForestPanel(parent);

    settingsRow->addWidget(settingsGroup);
    inputsColumn->addLayout(settingsRow);
}

// A small dialog of details, opened by its button and closed by its own
// Close button; its fields go on the grid's rows above that button.
QDialog* tumbraMainDialogForm::detailsDialog(QWidget* parent, QPushButton* opener, const char* name, QGridLayout** grid,
                                             const char* gridName)
{
    auto* dialog = named(new QDialog(parent), name);
    *grid = spacedLayout(new QGridLayout(dialog), gridName, 11);
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    QObject::connect(close, &QDialogButtonBox::rejected, dialog, &QDialog::hide);
    (*grid)->addWidget(close, 10, 0, 1, 2);
    QObject::connect(opener, &QPushButton::clicked, dialog, &QDialog::show);
    return dialog;
}

// A row below the settings; the fields live in a small dialog of their own so
// that the window keeps its size. Their labels, ranges and tooltips come from
// the settings table (applySettingsTable).
void tumbraMainDialogForm::setupIntensityPanel(QWidget* parent)
{
    intensity = named(new QCheckBox(settingsGroup), "intensity");
    intensityDetails = named(new QPushButton(settingsGroup), "intensityDetails");
    intensityDetails->setEnabled(false);
    QObject::connect(intensity, &QCheckBox::toggled, intensityDetails, &QWidget::setEnabled);
    addSettingsRow(settingsGrid, 9, intensity, intensityDetails);
    settingFields.insert(QStringLiteral("intensity"), {intensity, nullptr});

    intensityDialog = detailsDialog(parent, intensityDetails, "intensityDialog", &intensityGrid, "intensityGrid");
    blockVolume = placeSetting<QDoubleSpinBox>(intensityGrid, 0, "blockVolume", "blockVolume", &blockVolumeLabel,
                                               "blockVolumeLabel");
    rockDensity = placeSetting<QDoubleSpinBox>(intensityGrid, 1, "rockDensity", "rockDensity", &rockDensityLabel,
                                               "rockDensityLabel");
    energyClasses = placeSetting<QLineEdit>(intensityGrid, 2, "energyClasses", "energyClasses", &energyClassesLabel,
                                            "energyClassesLabel");
}

// As the intensity's row. The button opens its dialog also without the
// hazard map: a release frequency alone gives the frequency grids.
void tumbraMainDialogForm::setupHazardPanel(QWidget* parent)
{
    hazard = named(new QCheckBox(settingsGroup), "hazard");
    hazardDetails = named(new QPushButton(settingsGroup), "hazardDetails");
    addSettingsRow(settingsGrid, 10, hazard, hazardDetails);
    settingFields.insert(QStringLiteral("hazard"), {hazard, nullptr});

    hazardDialog = detailsDialog(parent, hazardDetails, "hazardDialog", &hazardGrid, "hazardGrid");
    releaseFrequency = placeSetting<QDoubleSpinBox>(hazardGrid, 0, "releaseFrequency", "releaseFrequency",
                                                    &releaseFrequencyLabel, "releaseFrequencyLabel");
    returnPeriods = placeSetting<QLineEdit>(hazardGrid, 1, "returnPeriods", "returnPeriods", &returnPeriodsLabel,
                                            "returnPeriodsLabel");
    hazardMatrix =
        placeSetting<QLineEdit>(hazardGrid, 2, "hazardMatrix", "hazardMatrix", &hazardMatrixLabel, "hazardMatrixLabel");
}

// As the intensity's row, for the forest's friction; it applies with a forest file.
void tumbraMainDialogForm::setupForestPanel(QWidget* parent)
{
    forestDetailsLabel = named(new QLabel(settingsGroup), "forestDetailsLabel");
    forestDetails = named(new QPushButton(settingsGroup), "forestDetails");
    addSettingsRow(settingsGrid, 11, forestDetailsLabel, forestDetails);

    forestDialog = detailsDialog(parent, forestDetails, "forestDialog", &forestGrid, "forestGrid");
    const std::pair<QDoubleSpinBox**, const char*> numbers[] = {{&forestAngleMax, "forestAngleMax"},
                                                                {&forestAngleMin, "forestAngleMin"},
                                                                {&forestSpeed, "forestSpeed"},
                                                                {&forestSkip, "forestSkip"}};
    int row = 0;
    for (const auto& [number, name] : numbers) {
        // The labels are reached through settingFields.
        QLabel* label = nullptr;
        const QByteArray labelName = QByteArray(name) + "Label";
        *number = placeSetting<QDoubleSpinBox>(forestGrid, row++, name, name, &label, labelName.constData());
    }
}

void tumbraMainDialogForm::setupRunArea(QWidget* parent)
{
    runRow = spacedLayout(new QHBoxLayout(), "runRow", -1);
    runProcess = named(new QPushButton(parent), "runProcess");
    stopProcess = named(new QPushButton(parent), "stopProcess");
    for (QPushButton* button : {runProcess, stopProcess}) {
        button->setAutoFillBackground(false);
        button->setStyleSheet(QString());
        button->setAutoDefault(true);
        button->setFlat(false);
    }
    progressBar = named(new QProgressBar(parent), "progressBar");
    progressBar->setValue(0);
    runRow->addWidget(runProcess);
    runRow->addWidget(stopProcess);
    runRow->addWidget(progressBar, 1);
    runRow->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    formColumn->addLayout(runRow);
    // On a line of its own: beside the bar, its text would widen the form and narrow the map.
    runClock = named(new runClockLabel(parent), "runClock");
    runClock->hide();
    formColumn->addWidget(runClock);
}

void tumbraMainDialogForm::setupResultPane()
{
    stackedWidget = named(new QStackedWidget(splitter), "stackedWidget");

    noResultsLabel = named(new QLabel(), "noResultsLabel");
    noResultsLabel->setAlignment(Qt::AlignCenter);
    stackedWidget->addWidget(noResultsLabel);

    resultPage = named(new QWidget(), "resultPage");
    resultLayout = spacedLayout(new QVBoxLayout(resultPage), "resultLayout", -1);
    resultLayout->setContentsMargins(6, 0, 0, 0);
    resultPanel = named(new resultMapPanel(resultPage), "resultPanel");
    raster = resultPanel->view();
    resultLayout->addWidget(resultPanel);
    mapCaption = named(new QLabel(resultPage), "mapCaption");
    QFont captionFont = mapCaption->font();
    captionFont.setPointSize(13);
    mapCaption->setFont(captionFont);
    mapCaption->setAlignment(Qt::AlignCenter);
    resultLayout->addWidget(mapCaption);
    resultLayout->setStretch(0, 1);
    stackedWidget->addWidget(resultPage);
}

// Marking both makes Return start a run while idle and stop it while running,
// whichever of the two buttons is shown.
void tumbraMainDialogForm::markDefaultButtons()
{
    runProcess->setDefault(true);
    stopProcess->setDefault(true);
}

void tumbraMainDialogForm::retranslateUi(QDialog* dialog)
{
    dialog->setWindowTitle(tr("Tumbra"));
    velmoraLogo->setText(QString());
    aboutButton->setText(tr("About Tumbra"));

    outputFolderLabel->setText(tr("Output directory"));
    browseOutputFolder->setToolTip(tr("Browse the folder where output files will be stored"));
    browseOutputFolder->setText(tr("Browse"));
    digitalElevationModelLabel->setText(tr("Input DEM file"));
    browseDigitalElevationModel->setToolTip(tr("Browse the folder which contains the digital elevation model"));
    browseDigitalElevationModel->setText(tr("Browse"));
    startCellsLabel->setText(tr("Start cells file"));
    browseStartRaster->setToolTip(tr("Browse for the start cells: a raster or a vector layer"));
    browseStartRaster->setText(tr("Browse"));
    objectsLabel->setText(tr("Objects at risk"));
    objectsLabel->setToolTip(tr("Optional: buildings, roads, railways. A raster on the DEM's grid (cells above 0 hold "
                                "an object's id) or a vector layer (each feature one object). The run then writes "
                                "objects.csv and Source_share."));
    browseObjects->setToolTip(tr("Browse for the objects at risk: a raster on the DEM's grid or a vector file"));
    browseObjects->setText(tr("Browse"));
    forestLabel->setText(tr("Forest"));
    forestLabel->setToolTip(tr("Optional: forest indices from 0 (none) to 1 (dense), a raster on the DEM's grid or "
                               "a polygon layer with an index field. Needs a seed (Reproducible)."));
    browseForest->setToolTip(tr("Browse for the forest: a raster on the DEM's grid or a polygon layer"));
    browseForest->setText(tr("Browse"));
    barriersLabel->setText(tr("Barriers"));
    barriersLabel->setToolTip(tr("Optional: a line layer of protection structures with their capacity in kJ. Needs "
                                 "a seed (Reproducible) and the intensity with a block volume. The run then writes "
                                 "barriers.csv and barriers.gpkg."));
    browseBarriers->setToolTip(tr("Browse for the barriers: a line layer"));
    browseBarriers->setText(tr("Browse"));

    settingsGroup->setTitle(tr("Simulation settings"));
    // The settings' labels come from the settings table (applySettingsTable).
    outputFormatLabel->setText(tr("Output format"));
    outputFormat->setToolTip(tr("ESRI ASCII grids (N.asc, Reach_prob.asc) or GeoTIFF (N.tif, Reach_prob.tif and, "
                                "with saved trajectories, trajectories.gpkg)"));
    intensityDetails->setText(tr("Block and classes..."));
    intensityDetails->setToolTip(tr("Block volume, rock density and energy class limits of the intensity"));
    intensityDialog->setWindowTitle(tr("Intensity"));
    hazardDetails->setText(tr("Frequency and matrix..."));
    hazardDetails->setToolTip(tr("Release frequency of every start cell, return periods of the probability classes "
                                 "and the hazard matrix"));
    hazardDialog->setWindowTitle(tr("Hazard map"));
    forestDetailsLabel->setText(tr("Forest friction"));
    forestDetails->setText(tr("Forest..."));
    forestDetails->setToolTip(tr("The angles forest adds to the energy line, the speed above which trees barely "
                                 "slow a block and the metres at the start of every path it spares"));
    forestDialog->setWindowTitle(tr("Forest"));
    reproducible->setText(tr("Reproducible (seed)"));
    reproducible->setToolTip(tr("Every trajectory draws from a random stream of its own, keyed by the seed: the "
                                "results are the same for any number of cores."));

    runProcess->setToolTip(tr("<html><head/><body><p><span style=\" font-size:8pt;\">Run Simulation</span></p>"
                              "</body></html>"));
    runProcess->setText(tr("Run"));
    stopProcess->setToolTip(tr("Stop the running simulation"));
    stopProcess->setText(tr("Stop"));

    noResultsLabel->setText(tr("The result map appears here when a run completes: each cell a falling rock can "
                               "reach, coloured by its reach probability over the shaded relief of the DEM, "
                               "with a legend, zoom and the values of the cell under the mouse."));
    noResultsLabel->setWordWrap(true);
    mapCaption->setText(tr("Reach probability map"));
}

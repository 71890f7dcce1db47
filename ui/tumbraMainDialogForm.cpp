#include "ui/tumbraMainDialogForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QSpacerItem>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "widgets/QVisibleHandleSplitter.h"
#include "widgets/clearableTextBrowser.h"
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

QDoubleSpinBox* lengthSpinBox(QWidget* parent, const char* name, int decimals, double minimum, double maximum,
                              double value)
{
    auto* spinBox = named(new QDoubleSpinBox(parent), name);
    spinBox->setStepType(QAbstractSpinBox::AdaptiveDecimalStepType);
    spinBox->setDecimals(decimals);
    spinBox->setMinimum(minimum);
    spinBox->setMaximum(maximum);
    spinBox->setSingleStep(1.0);
    spinBox->setValue(value);
    return spinBox;
}

QString tr(const char* text) { return QCoreApplication::translate("tumbraMainDialog", text); }

}  // namespace

void tumbraMainDialogForm::setupUi(QDialog* dialog)
{
    if (dialog->objectName().isEmpty())
        dialog->setObjectName(QStringLiteral("tumbraMainDialog"));
    dialog->resize(962, 725);
    dialog->setStyleSheet(QString());

    horizontalLayout_7 = spacedLayout(new QHBoxLayout(dialog), "horizontalLayout_7", 11);
    splitter = named(new QVisibleHandleSplitter(dialog), "splitter");
    splitter->setFrameShape(QFrame::NoFrame);
    splitter->setMidLineWidth(0);
    splitter->setOrientation(Qt::Horizontal);
    splitter->setOpaqueResize(true);
    splitter->setHandleWidth(5);
    splitter->setChildrenCollapsible(true);

    widget = named(new QWidget(splitter), "widget");
    verticalLayout_2 = spacedLayout(new QVBoxLayout(widget), "verticalLayout_2", 11);

    horizontalLayout_2 = spacedLayout(new QHBoxLayout(), "horizontalLayout_2", -1);
    velmoraLogo = named(new QLabel(widget), "velmoraLogo");
    velmoraLogo->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    velmoraLogo->setMaximumSize(146, 35);
    velmoraLogo->setAutoFillBackground(false);
    velmoraLogo->setPixmap(QPixmap(QStringLiteral(":/images/logoVelmora.png")));
    velmoraLogo->setScaledContents(true);
    horizontalLayout_2->addWidget(velmoraLogo);
    horizontalLayout_2->addItem(new QSpacerItem(400, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    aboutButton = named(new QPushButton(widget), "aboutButton");
    horizontalLayout_2->addWidget(aboutButton);
    verticalLayout_2->addLayout(horizontalLayout_2);

    setupFilePanel(widget);
    setupSettingsPanel(widget);
    verticalLayout_2->addItem(new QSpacerItem(20, 20, QSizePolicy::Minimum, QSizePolicy::Expanding));
    setupRunArea(widget);

    logWindow = named(new clearableTextBrowser(widget), "logWindow");
    logWindow->setTabChangesFocus(false);
    verticalLayout_2->addWidget(logWindow);
    verticalLayout_2->setStretch(5, 1);

    splitter->addWidget(widget);
    setupResultPane();
    splitter->addWidget(stackedWidget);
    horizontalLayout_7->addWidget(splitter);

    QWidget::setTabOrder(runProcess, stopProcess);
    QWidget::setTabOrder(stopProcess, logWindow);
    QWidget::setTabOrder(logWindow, aboutButton);

    retranslateUi(dialog);
    markDefaultButtons();
    stackedWidget->setCurrentIndex(1);
}

void tumbraMainDialogForm::setupFilePanel(QWidget* parent)
{
    gridLayout = spacedLayout(new QGridLayout(), "gridLayout", -1);
    const auto addRow = [this](int row, QLabel* label, mruComboBox* field, QPushButton* button) {
        gridLayout->addWidget(label, row, 0);
        gridLayout->addWidget(field, row, 1);
        gridLayout->addWidget(button, row, 2);
        button->setStyleSheet(QString());
    };
    label_7 = rowLabel(parent, "label_7");
    workingDirectory = named(new mruComboBox(parent), "workingDirectory");
    browseWorkingDir = named(new QPushButton(parent), "browseWorkingDir");
    addRow(0, label_7, workingDirectory, browseWorkingDir);
    digitalElevationModelLabel = rowLabel(parent, "digitalElevationModelLabel");
    digitalElevationModel = named(new mruComboBox(parent), "digitalElevationModel");
    browseDigitalElevationModel = named(new QPushButton(parent), "browseDigitalElevationModel");
    addRow(1, digitalElevationModelLabel, digitalElevationModel, browseDigitalElevationModel);
    label = rowLabel(parent, "label");
    startRaster = named(new mruComboBox(parent), "startRaster");
    browseStartRaster = named(new QPushButton(parent), "browseStartRaster");
    addRow(2, label, startRaster, browseStartRaster);
    gridLayout->setColumnStretch(1, 1);
    verticalLayout_2->addLayout(gridLayout);
}

// A settings row: its label in column 0, its field in column 1.
static void addSettingsRow(QGridLayout* layout, int row, QWidget* label, QWidget* field)
{
    layout->addWidget(label, row, 0);
    layout->addWidget(field, row, 1);
}

void tumbraMainDialogForm::setupSettingsPanel(QWidget* parent)
{
    horizontalLayout = spacedLayout(new QHBoxLayout(), "horizontalLayout", -1);
    groupBox_2 = named(new QGroupBox(parent), "groupBox_2");
    gridLayout_2 = spacedLayout(new QGridLayout(groupBox_2), "gridLayout_2", 11);

    label_10 = named(new QLabel(groupBox_2), "label_10");
    numberOfSimulations = named(new QComboBox(groupBox_2), "numberOfSimulations");
    addSettingsRow(gridLayout_2, 0, label_10, numberOfSimulations);

    label_4 = named(new QLabel(groupBox_2), "label_4");
    segmentLength = lengthSpinBox(groupBox_2, "straightDistance", 1, 0.1, 100.0, 5.0);
    addSettingsRow(gridLayout_2, 1, label_4, segmentLength);

    label_3 = named(new QLabel(groupBox_2), "label_3");
    profileStep = lengthSpinBox(groupBox_2, "profileStep", 2, 0.0, 99.99, 0.0);
    addSettingsRow(gridLayout_2, 2, label_3, profileStep);

    label_2 = named(new QLabel(groupBox_2), "label_2");
    maxAngle = named(new QComboBox(groupBox_2), "maxAngle");
    addSettingsRow(gridLayout_2, 3, label_2, maxAngle);

    label_8 = named(new QLabel(groupBox_2), "label_8");
    initialHeight = lengthSpinBox(groupBox_2, "initialHeight", 2, 0.0, 1000.0, 0.0);
    addSettingsRow(gridLayout_2, 4, label_8, initialHeight);

    label_5 = named(new QLabel(groupBox_2), "label_5");
    probabilityClass = named(new QComboBox(groupBox_2), "riskIntensity");
    addSettingsRow(gridLayout_2, 6, label_5, probabilityClass);
    gridLayout_2->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum), 6, 2);

    saveTrajectories = named(new QCheckBox(groupBox_2), "saveTrajectories");
    saveTrajectories->setChecked(false);
    gridLayout_2->addWidget(saveTrajectories, 7, 0);

    // Beside the check box, so that the window keeps its height.
    auto* outputFormatRow = new QHBoxLayout();
    outputFormatLabel = named(new QLabel(groupBox_2), "outputFormatLabel");
    outputFormat = named(new QComboBox(groupBox_2), "outputFormat");
    outputFormatRow->addWidget(outputFormatLabel);
    outputFormatRow->addWidget(outputFormat, 1);
    gridLayout_2->addLayout(outputFormatRow, 7, 1);

    // A seeded run gives the same maps on any machine and number of cores.
    reproducible = named(new QCheckBox(groupBox_2), "reproducible");
    seed = named(new QSpinBox(groupBox_2), "seed");
    seed->setRange(0, 2147483647);
    seed->setValue(1);
    seed->setEnabled(false);
    QObject::connect(reproducible, &QCheckBox::toggled, seed, &QWidget::setEnabled);
    addSettingsRow(gridLayout_2, 5, reproducible, seed);

    horizontalLayout->addWidget(groupBox_2);
    verticalLayout_2->addLayout(horizontalLayout);
}

void tumbraMainDialogForm::setupRunArea(QWidget* parent)
{
    horizontalLayout_6 = spacedLayout(new QHBoxLayout(), "horizontalLayout_6", -1);
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
    horizontalLayout_6->addWidget(runProcess);
    horizontalLayout_6->addWidget(stopProcess);
    horizontalLayout_6->addWidget(progressBar);
    runClock = named(new runClockLabel(parent), "runClock");
    runClock->hide();
    horizontalLayout_6->addWidget(runClock);
    horizontalLayout_6->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    horizontalLayout_6->setStretch(2, 1);
    verticalLayout_2->addLayout(horizontalLayout_6);
}

void tumbraMainDialogForm::setupResultPane()
{
    stackedWidget = named(new QStackedWidget(splitter), "stackedWidget");

    noResultsLabel = named(new QLabel(), "noResultsLabel");
    noResultsLabel->setAlignment(Qt::AlignCenter);
    stackedWidget->addWidget(noResultsLabel);

    verticalLayoutWidget = named(new QWidget(), "verticalLayoutWidget");
    verticalLayout = spacedLayout(new QVBoxLayout(verticalLayoutWidget), "verticalLayout", 11);
    resultPanel = named(new resultMapPanel(verticalLayoutWidget), "resultPanel");
    raster = resultPanel->view();
    verticalLayout->addWidget(resultPanel);
    label_6 = named(new QLabel(verticalLayoutWidget), "label_6");
    QFont captionFont = label_6->font();
    captionFont.setPointSize(13);
    label_6->setFont(captionFont);
    label_6->setAlignment(Qt::AlignCenter);
    verticalLayout->addWidget(label_6);
    verticalLayout->setStretch(0, 1);
    stackedWidget->addWidget(verticalLayoutWidget);
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

    label_7->setText(tr("Output directory"));
    browseWorkingDir->setToolTip(tr("Browse the folder where output files will be stored"));
    browseWorkingDir->setText(tr("Browse"));
    digitalElevationModelLabel->setText(tr("Input DEM file"));
    browseDigitalElevationModel->setToolTip(tr("Browse the folder which contains the digital elevation model"));
    browseDigitalElevationModel->setText(tr("Browse"));
    label->setText(tr("Start cells file"));
    browseStartRaster->setToolTip(tr("Browse for the raster that marks the start cells"));
    browseStartRaster->setText(tr("Browse"));

    groupBox_2->setTitle(tr("Simulation settings"));
    label_10->setText(tr("Number of simulations"));
    label_4->setText(tr("Segment length (m)"));
    label_3->setText(tr("Profile step (m)"));
    label_2->setText(tr("Max deviation angle (°)"));
    label_8->setText(tr("Initial fall height (m)"));
    label_5->setText(tr("Propagation probability"));
    saveTrajectories->setText(tr("Save trajectory points"));
    outputFormatLabel->setText(tr("Output format"));
    outputFormat->setToolTip(tr("ESRI ASCII grids (N.asc, Reach_prob.asc) or GeoTIFF (N.tif, Reach_prob.tif and, "
                                "with saved trajectories, trajectories.gpkg)"));
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
    label_6->setText(tr("Reach probability map"));
}

#include "ui/tumbraMainDialog.h"

#include <algorithm>
#include <utility>

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPixmap>
#include <QProgressBar>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QStackedWidget>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QThread>

#include "controller/settingsTable.h"
#include "raster/vectorLayer.h"
#include "ui/dialogSettings.h"
#include "ui/layerChoice.h"
#include "ui/resultMapPanel.h"
#include "ui/runFolderName.h"
#include "ui/settingFields.h"
#include "ui/settingTooltips.h"
#include "ui/tumbraMainDialogForm.h"
#include "widgets/QVisibleHandleSplitter.h"
#include "widgets/clearableTextBrowser.h"
#include "widgets/fittingScrollArea.h"
#include "widgets/mapView.h"
#include "widgets/mruComboBox.h"
#include "widgets/runClockLabel.h"
#include "widgets/updatableLineEdit.h"
#include "tumbraVersion.h"

namespace {

// The boxes have no parent window: they are modal to the whole application
// and stay usable while the main window is hidden or minimised.
void showErrorBox(const QString& text)
{
    QMessageBox box;
    box.setIcon(QMessageBox::Warning);
    box.setText(text);
    box.exec();
}

int showQuestionBox(tumbraMainDialog* dialog, const QString& questionText, const QString& informativeText)
{
    QMessageBox box;
    QObject::connect(dialog, &tumbraMainDialog::stopQuestionOutlived, &box, [&box] { box.done(QMessageBox::No); });
    box.setIcon(QMessageBox::Question);
    box.setText(questionText);
    box.setInformativeText(informativeText);
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec();
}

// Appends a paragraph as QTextEdit::append does, but always as plain text:
// append would take a message that happens to hold a tag, such as a file
// name with angle brackets, for markup.
void appendLogParagraph(QTextEdit& log, const QString& text)
{
    QScrollBar* scrollBar = log.verticalScrollBar();
    const bool followsTheEnd = scrollBar->value() >= scrollBar->maximum();
    QTextCursor cursor(log.document());
    cursor.movePosition(QTextCursor::End);
    if (!log.document()->isEmpty())
        cursor.insertBlock();
    cursor.insertText(text);
    if (followsTheEnd)
        scrollBar->setValue(scrollBar->maximum());
}

const QString asciiGridFilter = QStringLiteral(
    "Rasters (*.asc *.txt *.tif *.tiff);;Ascii files (*.asc *.txt);;GeoTIFF files (*.tif *.tiff);;All files (*)");

// Start cells and objects at risk: a raster on the DEM's grid or a vector layer.
const QString rasterOrVectorFilter = QStringLiteral(
    "Rasters and vector layers (*.asc *.txt *.tif *.tiff *.gpkg *.shp *.geojson *.json *.fgb);;Ascii files (*.asc "
    "*.txt);;GeoTIFF files (*.tif *.tiff);;GeoPackage (*.gpkg);;Shapefile (*.shp);;GeoJSON (*.geojson *.json);;"
    "FlatGeobuf (*.fgb);;All files (*)");

// Barriers: a line layer.
const QString vectorFilter = QStringLiteral(
    "Vector layers (*.gpkg *.shp *.geojson *.json *.fgb);;GeoPackage (*.gpkg);;Shapefile (*.shp);;GeoJSON "
    "(*.geojson *.json);;FlatGeobuf (*.fgb);;All files (*)");

// The path of an optional field: empty while nothing is typed.
QString optionalPath(const updatableLineEdit& edit)
{
    return edit.text().trimmed().isEmpty() ? QString() : edit.absoluteFilePath();
}

}  // namespace

tumbraMainDialog::tumbraMainDialog(QWidget* parent)
    : QDialog(parent, Qt::WindowFlags()), ui(std::make_unique<tumbraMainDialogForm>()), workerThread(new QThread(this)),
      questionBox_(
          [this](const QString& text, const QString& informative) { return showQuestionBox(this, text, informative); }),
      errorBox_(showErrorBox), warningBox_(showErrorBox)
{
    controller.moveToThread(workerThread);
    workerThread->start(QThread::InheritPriority);

    ui->setupUi(this);
    observed_ = placeObservedRunOutRow(*ui, ui->inputsPane);
    calibration_ = new calibrationDialog(*ui, this);
    ui->splitter->collapseSecondWidget();
    ui->stackedWidget->setCurrentWidget(ui->noResultsLabel);
    installPathEdits();
    fillComboBoxes();
    applySettingsTable(*ui);
    applySettingTooltips(*ui);
    setWindowFlags(Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    connectSignals();
    initProgressBarAnimation();
    readSettings();
    updateButtons();
}

// The thread is never destroyed while it runs: a run still going on (the
// window was closed during it and the close asked it to stop) is waited for.
tumbraMainDialog::~tumbraMainDialog()
{
    workerThread->quit();
    // A stop asked before the controller took the run up was cleared as it
    // did; it is asked again while the run is waited for.
    constexpr int askAgainMs = 100;
    while (!workerThread->wait(QDeadlineTimer(askAgainMs)))
        if (stopAsked_)
            controller.requestAbort();
    delete workerThread;
    workerThread = nullptr;
    // Closed during a run that was then stopped: its end never reached this
    // window, so the folder it left empty goes here.
    if (runStarted_)
        leaveUnfinishedRunFolder();
    ui.reset();
}

void tumbraMainDialog::installPathEdits()
{
    auto* outputDirectoryEdit = new updatableLineEdit();
    outputDirectoryEdit->setMustBeDirectory(true);
    ui->outputFolder->setPathEdit(outputDirectoryEdit);
    ui->startRaster->setPathEdit(new updatableLineEdit());
    ui->digitalElevationModel->setPathEdit(new updatableLineEdit());
    ui->objectsFile->setPathEdit(new updatableLineEdit());
    ui->forestFile->setPathEdit(new updatableLineEdit());
    ui->barriersFile->setPathEdit(new updatableLineEdit());
}

void tumbraMainDialog::fillComboBoxes()
{
    ui->numberOfSimulations->clear();
    ui->numberOfSimulations->addItems({QStringLiteral("1"), QStringLiteral("10"), QStringLiteral("50"),
                                       QStringLiteral("100"), QStringLiteral("1000")});
    ui->maxAngle->clear();
    for (int degrees = 5; degrees <= 45; degrees += 5)
        ui->maxAngle->addItem(QString::number(degrees));
    ui->outputFormat->clear();
    ui->outputFormat->addItems({tr("ESRI ASCII grid"), tr("GeoTIFF")});
}

void tumbraMainDialog::connectSignals()
{
    connect(ui->browseDigitalElevationModel, &QPushButton::clicked, this,
            &tumbraMainDialog::browseDigitalElevationModel);
    connect(ui->browseOutputFolder, &QPushButton::clicked, this, &tumbraMainDialog::browseOutputFolder);
    connect(ui->browseStartRaster, &QPushButton::clicked, this, &tumbraMainDialog::browseStartRaster);
    connect(ui->outputFolder, &QComboBox::editTextChanged, this, &tumbraMainDialog::updateAllFields);
    connect(ui->digitalElevationModel, &QComboBox::editTextChanged, this, &tumbraMainDialog::updateButtons);
    connect(ui->startRaster, &QComboBox::editTextChanged, this, &tumbraMainDialog::updateButtons);
    connect(ui->browseObjects, &QPushButton::clicked, this, &tumbraMainDialog::browseObjects);
    connect(ui->objectsFile, &QComboBox::editTextChanged, this, &tumbraMainDialog::updateButtons);
    connect(ui->browseForest, &QPushButton::clicked, this, &tumbraMainDialog::browseForest);
    connect(ui->forestFile, &QComboBox::editTextChanged, this, &tumbraMainDialog::updateButtons);
    connect(ui->browseBarriers, &QPushButton::clicked, this, &tumbraMainDialog::browseBarriers);
    connect(ui->barriersFile, &QComboBox::editTextChanged, this, &tumbraMainDialog::updateButtons);
    // The release lists offer the fields of the layer named.
    connect(ui->startLayer, &QComboBox::editTextChanged, this, &tumbraMainDialog::updateButtons);
    connect(ui->numberOfSimulations, &QComboBox::editTextChanged, this, &tumbraMainDialog::updateButtons);
    connect(ui->maxAngle, &QComboBox::editTextChanged, this, &tumbraMainDialog::updateButtons);
    connect(ui->runProcess, &QPushButton::clicked, this, &tumbraMainDialog::runProcess);
    connect(ui->stopProcess, &QPushButton::clicked, this, &tumbraMainDialog::onAbortRequested);
    connect(ui->aboutButton, &QPushButton::clicked, this, &tumbraMainDialog::onAbout);
    connect(observed_.file, &QComboBox::editTextChanged, this, &tumbraMainDialog::updateButtons);
    connect(observed_.calibrate, &QPushButton::clicked, calibration_, &QDialog::show);
    connect(calibration_, &calibrationDialog::runRequested, this, &tumbraMainDialog::runCalibration);

    // The controller lives on the worker thread: these connections queue.
    connect(&controller, &tumbraController::initProgressBar, this, &tumbraMainDialog::onInitProgressBar);
    connect(&controller, &tumbraController::setProgressBar, this, &tumbraMainDialog::onSetProgressBar);
    connect(&controller, &tumbraController::resetProgressBar, this, &tumbraMainDialog::onResetProgressBar);
    connect(this, &tumbraMainDialog::startRun, &controller, &tumbraController::run);
    connect(&controller, &tumbraController::displayMessage, this, &tumbraMainDialog::onDisplayMessage);
    connect(&controller, &tumbraController::displayError, this, &tumbraMainDialog::onDisplayError);
    connect(&controller, &tumbraController::displayWarning, this, &tumbraMainDialog::onDisplayWarning);
    connect(&controller, &tumbraController::finished, this, &tumbraMainDialog::onRunFinished);
    connect(&controller, &tumbraController::requestWarningBox, this, &tumbraMainDialog::onWarningBoxRequested);
    connect(ui->resultPanel, &resultMapPanel::message, this, &tumbraMainDialog::onDisplayMessage);
    connect(ui->resultPanel, &resultMapPanel::captionChanged, ui->mapCaption, &QLabel::setText);
    // Only a width set by hand is remembered, never the folded one.
    connect(ui->splitter, &QSplitter::splitterMoved, this, [this] {
        if (ui->splitter->sizes().value(1) > 0)
            ui->formPaneWidth = ui->splitter->sizes().value(0);
    });
}

// The map takes what the form leaves: the form keeps its remembered width or,
// when none was set, a quarter of the window (room for the log's lines) and
// never less than it needs.
void tumbraMainDialog::showResultPane()
{
    if (ui->splitter->sizes().value(1) > 0)
        return;
    const int total = ui->splitter->width() - ui->splitter->handleWidth();
    const int form = std::clamp(ui->formPaneWidth > 0 ? ui->formPaneWidth : formWidthForPaths(total), 0,
                                std::max(0, total));
    ui->splitter->setSizes({form, total - form});
}

// The form's smallest width, widened until the longest path reads whole,
// though never beyond a third of the window: the map keeps the most room,
// and a path still too long is elided in its middle.
int tumbraMainDialog::formWidthForPaths(int total) const
{
    const int smallest = ui->formPane->minimumSizeHint().width();
    int wider = 0;
    for (QWidget* control : std::as_const(ui->pathControls)) {
        const auto* field = qobject_cast<const QComboBox*>(control);
        if (!field || !field->lineEdit())
            continue;
        const QLineEdit& edit = *field->lineEdit();
        // The arrow and frame beside the text keep their width as the field narrows.
        const int textAtSmallest = field->minimumSizeHint().width() - (field->width() - edit.width());
        constexpr int textMargins = 8;  // the line edit's own, either side of its text
        const int needed = edit.fontMetrics().horizontalAdvance(edit.text()) + textMargins;
        wider = std::max(wider, needed - textAtSmallest);
    }
    return std::max(smallest, std::min(smallest + wider, total / 3));
}

updatableLineEdit* tumbraMainDialog::outputFolderEdit() const { return ui->outputFolder->pathEdit(); }
updatableLineEdit* tumbraMainDialog::demEdit() const { return ui->digitalElevationModel->pathEdit(); }
updatableLineEdit* tumbraMainDialog::startRasterEdit() const { return ui->startRaster->pathEdit(); }
updatableLineEdit* tumbraMainDialog::objectsEdit() const { return ui->objectsFile->pathEdit(); }
updatableLineEdit* tumbraMainDialog::forestEdit() const { return ui->forestFile->pathEdit(); }
updatableLineEdit* tumbraMainDialog::barriersEdit() const { return ui->barriersFile->pathEdit(); }

// The two input paths may be typed relative to the output directory.
void tumbraMainDialog::updateAllFields()
{
    workingDir = outputFolderEdit()->text();
    demEdit()->setBaseDir(workingDir);
    startRasterEdit()->setBaseDir(workingDir);
    objectsEdit()->setBaseDir(workingDir);
    observed_.file->pathEdit()->setBaseDir(workingDir);
    forestEdit()->setBaseDir(workingDir);
    barriersEdit()->setBaseDir(workingDir);
    updateButtons();
}

// Every input path and setting is locked while a run is under way: the run
// goes on with what they held when it started. That is from the click that
// starts it, while its inputs are read before it reports its size.
void tumbraMainDialog::updateButtons()
{
    const bool running = runStarted_ || controller.isRunning();
    for (QWidget* control : ui->pathControls)
        control->setEnabled(!running);
    for (const settingWidgets& widgets : std::as_const(ui->settingFields))
        widgets.field->setEnabled(!running);
    ui->outputFormat->setEnabled(!running);
    ui->reproducible->setEnabled(!running);
    ui->seed->setEnabled(!running && ui->reproducible->isChecked());
    ui->intensityDetails->setEnabled(!running && ui->intensity->isChecked());
    ui->hazardDetails->setEnabled(!running);
    ui->forestDetails->setEnabled(!running);
    const auto optionalValid = [](const updatableLineEdit& edit) {
        return optionalPath(edit).isEmpty() || edit.isValid();
    };
    const bool observedValid = updateObservedRunOutRow(observed_, running);
    calibration_->setRunning(running);
    const bool pathsValid = outputFolderEdit()->isValid() && demEdit()->isValid() && startRasterEdit()->isValid()
                            && optionalValid(*objectsEdit()) && optionalValid(*forestEdit())
                            && optionalValid(*barriersEdit()) && observedValid;
    ui->runProcess->setEnabled(!running && pathsValid && settingsCanRun(*ui));
    // A layer and its filter or id field belong to a vector file only.
    const QString startCells = optionalPath(*startRasterEdit());
    const QString objects = optionalPath(*objectsEdit());
    offerLayersOf(ui->startLayer, startCells);
    offerLayersOf(ui->objectsLayer, objects);
    offerNumberFieldsOf(
        {ui->frequencyField, ui->frequencyPerHaField, ui->volumeField, ui->densityField, ui->fallHeightField},
        startCells, ui->startLayer->currentText().trimmed());
    // Shown only then, so that the window keeps its height for rasters.
    const auto showLayerRow = [running](bool vector, const QList<QWidget*>& row) {
        for (QWidget* widget : row) {
            widget->setVisible(vector);
            widget->setEnabled(!running && vector);
        }
    };
    showLayerRow(isVectorFileName(startCells), ui->startLayerRows);
    // The layer's parent is the row's box in the path grid.
    showLayerRow(isVectorFileName(objects), {ui->objectsLayerLabel, ui->objectsLayer->parentWidget(),
                                             ui->objectsLayer, ui->objectsIdLabel, ui->objectsIdField});
    showLayerRow(isVectorFileName(optionalPath(*forestEdit())),
                 {ui->forestFieldLabel, ui->forestField->parentWidget(), ui->forestField});
    showLayerRow(!optionalPath(*barriersEdit()).isEmpty(), {ui->barrierCapacityFieldLabel,
                                                            ui->barrierCapacityField->parentWidget(),
                                                            ui->barrierCapacityField});
    // Hiding the rows' widgets renews their pane's layout only: the grid
    // would go on taking their height, and the form would go on giving the
    // scrolled inputs their former height until the next turn of the event loop.
    ui->pathGrid->invalidate();
    ui->inputsScroll->updateGeometry();
    ui->stopProcess->setEnabled(running);
    ui->runProcess->setVisible(!running);
    ui->stopProcess->setVisible(running);
}

bool tumbraMainDialog::browseForFile(updatableLineEdit* lineEdit, const QString& caption, const QString& filter)
{
    const QString startFolder = lineEdit->text().isEmpty() ? lineEdit->baseDir() : lineEdit->text();
    const QString path =
        QFileDialog::getOpenFileName(this, caption, startFolder, filter, nullptr, QFileDialog::DontResolveSymlinks);
    if (path.isEmpty())
        return false;
    lineEdit->setText(path);
    return true;
}

bool tumbraMainDialog::browseForDirectory(QLineEdit* lineEdit, const QString& defaultDir, const QString& caption)
{
    const QString startFolder = lineEdit->text().isEmpty() ? defaultDir : lineEdit->text();
    const QString path = QFileDialog::getExistingDirectory(
        this, caption, startFolder, QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (path.isEmpty())
        return false;
    lineEdit->setText(path);
    return true;
}

void tumbraMainDialog::browseDigitalElevationModel()
{
    browseForFile(demEdit(), tr("Choose a digital elevation model"), asciiGridFilter);
}

void tumbraMainDialog::browseStartRaster()
{
    browseForFile(startRasterEdit(), tr("Choose the start cells: a raster or a vector layer"), rasterOrVectorFilter);
}

void tumbraMainDialog::browseObjects()
{
    browseForFile(objectsEdit(), tr("Choose the objects at risk: a raster or a vector layer"), rasterOrVectorFilter);
}

void tumbraMainDialog::browseForest()
{
    browseForFile(forestEdit(), tr("Choose the forest: a raster or a polygon layer"), rasterOrVectorFilter);
}

void tumbraMainDialog::browseBarriers()
{
    browseForFile(barriersEdit(), tr("Choose the barriers: a line layer"), vectorFilter);
}

void tumbraMainDialog::browseOutputFolder()
{
    if (browseForDirectory(outputFolderEdit(), workingDir, tr("Choose the output directory for generated files")))
        workingDir = outputFolderEdit()->text();
}

void tumbraMainDialog::onAbout()
{
    const QString credits =
        tr("Monte Carlo simulation of rockfall runout and reach probability over a digital elevation model.<br>"
           "Made by Velmora with Qt and OpenMP.");
    QMessageBox::about(this, tr("About Tumbra"),
                       tr("Tumbra v%1").arg(QLatin1String(tumbraVersion)) + QStringLiteral("<br><br>") + credits
                           + QStringLiteral("<br><br>"));
}

void tumbraMainDialog::runCalibration()
{
    if (optionalPath(*observed_.file->pathEdit()).isEmpty() || !ui->runProcess->isEnabled()) {
        onDisplayError(tr("The calibration needs the observed run-out and the inputs a run takes: check the paths "
                          "and settings."));
        return;
    }
    calibrationRun_ = true;
    runProcess();
    calibrationRun_ = runStarted_;
}

void tumbraMainDialog::runProcess()
{
    // The run button stays enabled until the controller announces the run's
    // size; a second click in that time must not prepare a second run.
    if (runStarted_ || controller.isRunning())
        return;
    ui->logWindow->clear();
    // The last completed run's map stays on view, marked, until this run
    // completes; a run that never starts leaves the mark as it was.
    const QString noteBefore = ui->raster->note();
    if (ui->resultPanel->hasResult()) {
        ui->resultPanel->markAsPrevious(tr("Previous run's map: a new run is under way"));
    } else {
        ui->splitter->collapseSecondWidget();
        ui->stackedWidget->setCurrentWidget(ui->noResultsLabel);
    }
    // As tumbra-run does: the request is refused before its folder is made.
    runRequest request = requestFromForm(plannedRunFolder());
    const QString refusal = requestRefusal(request);
    if (!refusal.isEmpty()) {
        onDisplayError(refusal);
        ui->resultPanel->markAsPrevious(noteBefore);
        return;
    }
    if (!prepareRunFolder(request.outputFolder)) {
        ui->resultPanel->markAsPrevious(noteBefore);
        return;
    }
    request.outputFolder = runFolder_->path();
    onDisplayMessage(tr("Starting processing..."));
    ui->logWindow->repaint();
    if (!checkExistingOutputFiles(request)) {
        leaveUnfinishedRunFolder();
        ui->resultPanel->markAsPrevious(noteBefore);
        return;
    }
    runStarted_ = true;
    updateButtons();
    emit startRun(request);
}

// Creates the run's own sub-folder of the output directory; the run writes
// its files into it by absolute paths.
QString tumbraMainDialog::plannedRunFolder() const
{
    const QString name = runFolderName(ui->numberOfSimulations->currentText(), ui->maxAngle->currentText(),
                                       ui->segmentLength->value(), QDateTime::currentDateTime());
    return QDir(outputFolderEdit()->text()).absoluteFilePath(name);
}

bool tumbraMainDialog::prepareRunFolder(const QString& path)
{
    const QDir outputDir(outputFolderEdit()->text());
    workingDir = outputDir.absolutePath();
    // A folder that was there before (two runs in one second) is never removed;
    // an output directory removed since it was chosen is not made again.
    runFolder_ = std::make_unique<runFolder>(path);
    QString error = QStringLiteral("Failed to create output folder (%1)!").arg(runFolder_->path());
    if (outputDir.exists() && runFolder_->prepare(error))
        return true;
    runFolder_.reset();
    onDisplayMessage(error);
    return false;
}

outputFormat tumbraMainDialog::selectedOutputFormat() const
{
    return ui->outputFormat->currentIndex() == static_cast<int>(outputFormat::geoTiff) ? outputFormat::geoTiff
                                                                                       : outputFormat::esriAscii;
}

runRequest tumbraMainDialog::requestFromForm(const QString& outputFolder) const
{
    runRequest request;
    request.demFile = demEdit()->absoluteFilePath();
    request.startCellsFile = startRasterEdit()->absoluteFilePath();
    request.objectsFile = optionalPath(*objectsEdit());
    request.observedFile = optionalPath(*observed_.file->pathEdit());
    request.forestFile = optionalPath(*forestEdit());
    request.barriersFile = optionalPath(*barriersEdit());
    request.outputFolder = outputFolder;
    fillSettings(*ui, request);
    // The fields of a layer keep their text while a raster is chosen; it does not apply to one.
    const auto clearRows = [&request](std::initializer_list<const char*> names) {
        for (const char* name : names)
            settingNamed(QLatin1String(name)).write(request, QString());
    };
    if (!isVectorFileName(request.startCellsFile))
        clearRows({"startLayer", "startWhere", "frequencyField", "frequencyPerHaField", "volumeField", "densityField",
                   "fallHeightField"});
    if (!isVectorFileName(request.objectsFile))
        clearRows({"objectsLayer", "objectsIdField"});
    if (request.observedFile.isEmpty())
        clearRows({"observedLayer"});
    if (calibrationRun_)
        calibration_->fillRequest(request);
    if (!isVectorFileName(request.forestFile))
        clearRows({"forestField"});
    request.format = selectedOutputFormat();
    request.seed = ui->reproducible->isChecked() ? std::optional<uint64_t>(ui->seed->value()) : std::nullopt;
    return request;
}

bool tumbraMainDialog::checkExistingOutputFiles(const runRequest& request)
{
    if (const QString refusal = runFolder_->outputsRefusal(request); !refusal.isEmpty()) {
        onDisplayError(refusal);
        return false;
    }
    const QStringList present = runFolder_->existingOutputs(request);
    if (present.isEmpty())
        return true;
    QString existingList;
    for (const QString& path : present)
        existingList += QStringLiteral("\n - ") + QFileInfo(path).fileName();
    const QString question = present.size() == outputNames(request).size()
                                 ? tr("Output files already exist.")
                                 : tr("The following files already exist:%1.").arg(existingList);
    if (onDisplayQuestion(question, tr("Do you wish to overwrite them?")) == QMessageBox::Yes) {
        onDisplayMessage(tr("Existing output files will be overwritten"));
        return true;
    }
    onDisplayMessage(tr("Output files already existed - Process aborted by user"));
    return false;
}

void tumbraMainDialog::onRunFinished(const runOutcome& outcome)
{
    runStarted_ = false;
    stopAsked_ = false;
    updateButtons();
    showEndOnProgressBar(outcome.code);
    const bool calibrated = std::exchange(calibrationRun_, false);
    closeOutlivedQuestion(outcome);
    reportFilesNotWritten(outcome.filesNotWritten);
    if (outcome.code == resultCode::completed) {
        const QString folder = runFolder_ ? runFolder_->path() : QString();
        runFolder_.reset();  // unlocked; it holds the run's files
        onDisplayMessage(tr("Results written to folder %1").arg(folder));
        ui->outputFolder->promoteCurrentText();
        ui->digitalElevationModel->promoteCurrentText();
        ui->startRaster->promoteCurrentText();
        if (!ui->objectsFile->currentText().trimmed().isEmpty())
            ui->objectsFile->promoteCurrentText();
        if (!observed_.file->currentText().trimmed().isEmpty())
            observed_.file->promoteCurrentText();
        for (mruComboBox* measures : {ui->forestFile, ui->barriersFile})
            if (!measures->currentText().trimmed().isEmpty())
                measures->promoteCurrentText();
        showResultPane();
        ui->stackedWidget->setCurrentWidget(ui->resultPage);
        if (outcome.grids)
            ui->resultPanel->showResult(outcome.grids, folder, outcome.report, outcome.objects);
        if (outcome.grids && !observed_.file->currentText().trimmed().isEmpty())
            showObservedOutline(ui->resultPanel, outcome.grids, optionalPath(*observed_.file->pathEdit()),
                                observed_.layer->currentText());
        if (calibrated)
            calibration_->showResults(folder);
    } else {
        leaveUnfinishedRunFolder();
        if (ui->resultPanel->hasResult())
            ui->resultPanel->markAsPrevious(tr("Previous run's map: the last run did not complete"));
    }
    for (const QString& line : outcome.summary)
        onDisplayMessage(line);
    onDisplayMessage(outcome.closingLine);
    emit runFinished(outcome.code);
}

void tumbraMainDialog::closeOutlivedQuestion(const runOutcome& outcome)
{
    if (!stopQuestionOpen_)
        return;
    stopQuestionOutlived_ = true;
    emit stopQuestionOutlived();
    if (outcome.code == resultCode::completed)
        onDisplayMessage(tr("The run completed before the question to stop it was answered: nothing was stopped "
                            "and its files are kept."));
    else
        onDisplayMessage(tr("The run ended before the question to stop it was answered."));
}

// The run's folder goes only when it is empty: whatever a run did write stays.
void tumbraMainDialog::leaveUnfinishedRunFolder() { runFolder_.reset(); }

// The warning box of each file was shown as it failed; the log keeps the
// list, as an error, since the results are incomplete.
void tumbraMainDialog::reportFilesNotWritten(const QStringList& fileNames)
{
    if (fileNames.isEmpty())
        return;
    onDisplayMessage(
        tr("Error: %1").arg(tr("These output files were not written: %1").arg(fileNames.join(QStringLiteral(", ")))));
}

void tumbraMainDialog::initProgressBarAnimation()
{
    ui->progressBar->hide();
    progressBarAnimation = new QPropertyAnimation(ui->progressBar, "geometry", this);
    progressBarAnimation->setDuration(500);
    connect(progressBarAnimation, &QPropertyAnimation::finished, this, &tumbraMainDialog::restoreProgressBarGeometry);
    progressBarHideTimer.setSingleShot(true);
    progressBarHideTimer.setInterval(1000);
    connect(&progressBarHideTimer, &QTimer::timeout, this, &tumbraMainDialog::hideProgressBar);
}

void tumbraMainDialog::onInitProgressBar(int nRows)
{
    // A run started soon after the previous one ended must not lose its bar
    // to the previous run's delayed hide.
    progressBarHideTimer.stop();
    if (progressBarAnimation->state() != QAbstractAnimation::Stopped) {
        progressBarAnimation->stop();
        ui->progressBar->setGeometry(progressBarGeometry);
    }
    updateButtons();
    if (stopAsked_)
        controller.requestAbort();
    ui->progressBar->setMaximum(nRows);
    ui->progressBar->setValue(0);
    ui->progressBar->setFormat(QStringLiteral("%p%"));
    ui->progressBar->show();
    ui->runClock->start(nRows);
}

void tumbraMainDialog::onSetProgressBar(int progress)
{
    ui->progressBar->setValue(progress);
    ui->runClock->setProgress(progress);
}

void tumbraMainDialog::onResetProgressBar()
{
    ui->runClock->stop();
    progressBarHideTimer.start();
}

// Until it leaves, the bar tells how the run ended instead of where it stopped.
void tumbraMainDialog::showEndOnProgressBar(int code)
{
    QProgressBar& bar = *ui->progressBar;
    if (code == resultCode::completed) {
        bar.setValue(bar.maximum());
        return;
    }
    bar.setValue(bar.minimum());
    bar.setFormat(code == resultCode::stoppedByUser ? tr("Stopped") : tr("Did not complete"));
}

void tumbraMainDialog::hideProgressBar()
{
    progressBarGeometry = ui->progressBar->geometry();
    QRect collapsed = progressBarGeometry;
    collapsed.setLeft((progressBarGeometry.left() + progressBarGeometry.right()) / 2);
    collapsed.setRight(progressBarGeometry.left() - 1);
    progressBarAnimation->setStartValue(progressBarGeometry);
    progressBarAnimation->setEndValue(collapsed);
    progressBarAnimation->start(QAbstractAnimation::KeepWhenStopped);
}

void tumbraMainDialog::restoreProgressBarGeometry()
{
    ui->progressBar->setGeometry(progressBarGeometry);
    ui->progressBar->hide();
}

void tumbraMainDialog::onDisplayMessage(QString text) { appendLogParagraph(*ui->logWindow, text); }

void tumbraMainDialog::onDisplayWarning(QString warningText) { onDisplayMessage(tr("Warning: %1").arg(warningText)); }

void tumbraMainDialog::onDisplayError(QString errorText)
{
    onDisplayMessage(tr("Error: %1").arg(errorText));
    errorBox_(errorText);
}

void tumbraMainDialog::onWarningBoxRequested(QString text) { warningBox_(text); }

int tumbraMainDialog::onDisplayQuestion(QString questionText, QString yesNoQuestion)
{
    return questionBox_(questionText, yesNoQuestion);
}

// A run that ends while the question is open closes it (onRunFinished):
// there is nothing left to stop, and the answer is not acted on.
bool tumbraMainDialog::onAbortRequested()
{
    stopQuestionOpen_ = true;
    stopQuestionOutlived_ = false;
    const int answer = onDisplayQuestion(tr("Do you really want to abort the process?"), tr("No files will be saved!"));
    stopQuestionOpen_ = false;
    if (stopQuestionOutlived_ || answer != QMessageBox::Yes)
        return false;
    controller.requestAbort();
    // The controller clears the request as it takes a run up: a stop asked
    // before that is asked again once the run reports its size.
    stopAsked_ = true;
    return true;
}

void tumbraMainDialog::closeEvent(QCloseEvent* event)
{
    if ((runStarted_ || controller.isRunning()) && !onAbortRequested()) {
        event->ignore();
        return;
    }
    hide();
    writeSettings();
    event->accept();
}

// Escape would close a dialog; this window closes only through its close
// button, where a run in progress is asked about.
void tumbraMainDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape)
        return;
    QDialog::keyPressEvent(event);
}

void tumbraMainDialog::readSettings()
{
    readDialogSettings(*this, *ui);
    readObservedRunOutRow(observed_);
}

void tumbraMainDialog::writeSettings()
{
    writeDialogSettings(*this, *ui);
    writeObservedRunOutRow(observed_);
}

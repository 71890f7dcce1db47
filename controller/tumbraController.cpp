#include "controller/tumbraController.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <new>

#include <QLoggingCategory>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <omp.h>

#include "outputs/intensityOutputs.h"
#include "controller/intensitySummary.h"
#include "controller/runCoordinator.h"
#include "controller/runFolder.h"
#include "controller/rasterMismatch.h"
#include "outputs/resultGridStyles.h"
#include "controller/runMemory.h"
#include "controller/runPhases.h"
#include "map/runResultGrids.h"
#include "controller/runSummaryLines.h"
#include "controller/segmentLengthAdvice.h"
#include "controller/settingsTable.h"
#include "engine/aggregation.h"
#include "outputs/mapPictureFile.h"
#include "engine/monteCarloDriver.h"
#include "engine/profileWork.h"
#include "engine/objectReach.h"
#include "engine/randomGenerator.h"
#include "engine/stopCriterion.h"
#include "engine/terrainDerivatives.h"
#include "raster/asciiGridProjection.h"
#include "raster/consistencyChecks.h"
#include "raster/geoTiffWriter.h"
#include "raster/outputFiles.h"
#include "outputs/objectsTable.h"
#include "outputs/trajectoryGeoPackage.h"
#include "raster/vectorStartCells.h"

// How long the simulation took, for developers: off unless asked for with
// QT_LOGGING_RULES="tumbra.timing.debug=true".
Q_LOGGING_CATEGORY(timingLog, "tumbra.timing", QtInfoMsg)

namespace {
using resultCode::completed;
using resultCode::failed;
using resultCode::stoppedByUser;
const QString abortedText = QStringLiteral("Process aborted by user. No files saved.");
}  // namespace

// Forwards what the raster code reports to the controller's signals.
class tumbraController::signalSink final : public messageSink
{
public:
    explicit signalSink(tumbraController& controller) : controller_(controller) {}
    void error(const QString& text) override { emit controller_.displayError(text); }
    void warning(const QString& text) override { emit controller_.displayWarning(text); }
    void message(const QString& text) override { emit controller_.displayMessage(text); }
    void warningBox(const QString& text) override { emit controller_.requestWarningBox(text); }

private:
    tumbraController& controller_;
};

tumbraController::tumbraController() : sink_(std::make_unique<signalSink>(*this))
{
    qRegisterMetaType<runRequest>();
    qRegisterMetaType<runOutcome>();
}

tumbraController::~tumbraController() = default;

int tumbraController::progressValue(uint64_t count, uint64_t total)
{
    const uint64_t maxValue = static_cast<uint64_t>(INT_MAX);
    if (total <= maxValue)
        return static_cast<int>(count);
    const uint64_t divisor = total / maxValue + 1;
    return static_cast<int>(count / divisor);
}

void tumbraController::closeInputs()
{
    for (rasterInput* input : {demInput_.get(), startCellsInput_.get()}) {
        if (input)
            input->close();
    }
}

void tumbraController::finishProcessing(runOutcome& outcome)
{
    closeInputs();
    elevationGrid_.clear();
    objects_.reset();
    sourceShares_.reset();
    runStartCells_ = nullptr;
    abortRequested.store(false);
    running.store(false);
    // The last line says how the run ended: a stopped run does not end in
    // "Done.", which reads as a completed one.
    if (outcome.code == completed)
        outcome.closingLine = QStringLiteral("Done.");
    else if (outcome.code == stoppedByUser)
        outcome.closingLine =
            filesWritten_ > 0 ? QStringLiteral("Process stopped by user after its files were written.") : abortedText;
    else
        outcome.closingLine = QStringLiteral("Done with errors.");
    emit resetProgressBar();
    emit finished(std::move(outcome));
}

void tumbraController::run(const runRequest& request)
{
    // The flag is cleared before the run shows as running, so an abort
    // requested as soon as it does is never lost.
    abortRequested.store(false);
    running.store(true);
    reportedPhase_.clear();
    reportedPercent_ = -1;
    startTime = QDateTime::currentDateTime();
    demFile = request.demFile;
    startCellsFile_ = request.startCellsFile;
    request_ = request;
    if (request.threads > 0)
        omp_set_num_threads(request.threads);
    filesWritten_ = 0;
    startCellCount_ = 0;
    runOutcome outcome;
    try {
        outcome.code = runPipeline(outcome);
    } catch (const std::bad_alloc&) {
        emit displayError(QStringLiteral("Process ran out of memory. Aborting."));
        outcome.code = failed;
    } catch (...) {
        emit displayError(QStringLiteral("Unhandled exception. Aborting."));
        outcome.code = failed;
    }
    if (outcome.code != completed)
        outcome.grids.reset();
    finishProcessing(outcome);
}

// Each input is read by the reader its own suffix names.
static QString unsupportedTypeText(const QString& what, const QString& fileName)
{
    return QStringLiteral("The file type of %1 %2 is not supported. Supported are %3.")
        .arg(what, fileName, supportedRasterInputs());
}

// What a stage throws ends it as a failure right here, so that a run shared
// among processes still meets the others after it.
template <class Stage>
int tumbraController::guardedStage(Stage stage)
{
    try {
        return stage();
    } catch (const std::bad_alloc&) {
        emit displayError(QStringLiteral("Process ran out of memory. Aborting."));
    } catch (...) {
        emit displayError(QStringLiteral("Unhandled exception. Aborting."));
    }
    return failed;
}

// A run of its own keeps its code; a shared run takes the code all its
// processes agree on.
int tumbraController::agreeWithOthers(int localCode)
{
    if (!coordinator_)
        return localCode;
    // A stop is told once, by the run's closing line.
    return coordinator_->agree(localCode);
}

bool tumbraController::openDigitalElevationModel()
{
    closeInputs();
    demSystem_ = coordinateSystem();
    if (demFile.isEmpty()) {
        emit displayError(QStringLiteral("No file name provided!"));
        return false;
    }
    demInput_ = rasterInputFor(demFile);
    if (!demInput_) {
        // Without a word here the run would fail in silence.
        emit displayError(unsupportedTypeText(QStringLiteral("DEM"), demFile));
        return false;
    }
    if (!demInput_->open(demFile, demHeader, *sink_))
        return false;
    demSystem_ = demInput_->system();
    return checkElevationCoordinateSystem(demSystem_, demHeader, demFile, *sink_);
}

bool tumbraController::openStartCells()
{
    startCellsInput_ = rasterInputFor(startCellsFile_);
    if (startCellsFile_.isEmpty()) {
        emit displayError(QStringLiteral("No file name provided!"));
        return false;
    }
    if (!startCellsInput_) {
        emit displayError(unsupportedTypeText(QStringLiteral("start cells file"), startCellsFile_));
        return false;
    }
    return startCellsInput_->open(startCellsFile_, startCellsHeader, *sink_)
           && checkSameCoordinateSystem(demSystem_, startCellsInput_->system(), demFile, startCellsFile_, *sink_);
}

// A zero step would make the profile sampling or the trajectory endless.
bool tumbraController::checkSettings()
{
    if (!(request_.settings.segmentLength > 0.0)) {
        emit displayError(QStringLiteral("The segment length must be greater than 0."));
        return false;
    }
    if (!(request_.settings.profileStep > 0.0)) {
        emit displayError(QStringLiteral("The profile step must be greater than 0."));
        return false;
    }
    return true;
}

bool tumbraController::selectStopCriterion()
{
    if (auto selected = makeStopCriterion(request_.settings.probabilityClass))
        stopCriterion = std::move(selected);
    if (!stopCriterion) {
        emit displayError(
            QStringLiteral("Unknown propagation probability class %1.").arg(request_.settings.probabilityClass));
        return false;
    }
    return true;
}

// A header whose sizes make no grid ends the run before anything is read
// for it. An infinite cell size would turn every distance into NaN.
bool tumbraController::headerIsUsable(const rasterHeader& header, const QString& fileName)
{
    if (!(header.nrows > 0 && header.ncols > 0 && header.cellsize > 0.0f)) {
        emit displayError(QStringLiteral("The header of file %1 is invalid: nrows, ncols and cellsize must be "
                                         "greater than 0.")
                              .arg(fileName));
        return false;
    }
    if (!std::isfinite(header.cellsize)) {
        emit displayError(
            QStringLiteral("The header of file %1 is invalid: cellsize must be a finite number.").arg(fileName));
        return false;
    }
    return true;
}

// Refused before anything is allocated: a grid larger than the machine's
// memory would otherwise end in swapping for hours or in the system killing
// the process, with nothing said.
bool tumbraController::runFitsInMemory()
{
    const std::uint64_t intensityBytes = intensityBytesPerCell(request_.intensity);
    const std::uint64_t needed = estimatedRunBytes(demHeader.nrows, demHeader.ncols, intensityBytes);
    const std::uint64_t physical = physicalMemoryBytes();
    if (fitsInMemory(needed, physical))
        return true;
    constexpr double megabyte = 1024.0 * 1024.0;
    emit displayError(QStringLiteral("File %1 describes a grid of %2 x %3 cells: a run on it needs about %4 MB of "
                                     "memory (%6 bytes per cell), more than the %5 MB this machine has. Aborting.")
                          .arg(demFile)
                          .arg(demHeader.nrows)
                          .arg(demHeader.ncols)
                          .arg(static_cast<double>(needed) / megabyte, 0, 'f', 0)
                          .arg(static_cast<double>(physical) / megabyte, 0, 'f', 0)
                          .arg(runBytesPerCell + intensityBytes));
    return false;
}

// Polled between the phases of a run, so that an abort requested while the
// inputs are read or the terrain is derived ends the run as soon as that
// phase is over, not only after the simulation.
bool tumbraController::abortedBetweenPhases() { return abortRequested.load(); }

// The outputs go into the request's folder, by absolute paths. If that
// folder was removed in the meantime, it is made again at the same place,
// so that hours of simulation are not lost.
bool tumbraController::outputFolderReady()
{
    if (!request_.outputFolder.isEmpty() && QFileInfo(request_.outputFolder).isDir())
        return true;
    if (request_.outputFolder.isEmpty()) {
        emit displayError(QStringLiteral("The output folder no longer exists. No files saved."));
        return false;
    }
    if (!QDir().mkpath(request_.outputFolder)) {
        emit displayError(QStringLiteral("The output folder %1 no longer exists and cannot be created again. "
                                         "No files saved.")
                              .arg(request_.outputFolder));
        return false;
    }
    emit displayWarning(QStringLiteral("The output folder %1 was removed during the run and has been created again.")
                            .arg(request_.outputFolder));
    return true;
}

// Counts are 32-bit: a run with more trajectories than they can hold would
// wrap round in the cells every trajectory reaches.
bool tumbraController::trajectoriesFitCounts(std::size_t startCellCount)
{
    const uint64_t simulations = static_cast<uint64_t>(std::max(request_.settings.numberOfSimulations, 0));
    const uint64_t most = static_cast<uint64_t>(INT32_MAX);
    if (startCellCount <= most && simulations * startCellCount <= most)
        return true;
    emit displayError(QStringLiteral("The run would simulate %1 trajectories (%2 start cells x %3 simulations), more "
                                     "than the %4 that the passage counts can hold. Use fewer simulations or split "
                                     "the start cells over several runs. Aborting.")
                          .arg(static_cast<double>(simulations) * static_cast<double>(startCellCount), 0, 'f', 0)
                          .arg(startCellCount)
                          .arg(simulations)
                          .arg(most));
    return false;
}

// A run whose profile sampling no machine could finish (a huge cell size, a
// tiny profile step) is refused with the estimate, instead of running for hours.
bool tumbraController::profileWorkWithinReach(std::size_t startCellCount)
{
    const profileWork work = estimateProfileWork(demHeader, request_.settings, static_cast<double>(startCellCount));
    if (!work.beyondReach)
        return true;
    emit displayError(QString::fromStdString(work.explanation));
    return false;
}

int tumbraController::prepareInputs(terrainGrids& terrain, std::vector<startCell>& startCells)
{
    if (!checkSettings() || !openDigitalElevationModel())
        return failed;
    if (!headerIsUsable(demHeader, demFile) || !runFitsInMemory())
        return failed;
    if (const QString advice = segmentLengthWarning(request_.settings.segmentLength, demHeader.cellsize);
        !advice.isEmpty())
        emit displayWarning(advice);
    if (!readElevations())
        return failed;
    if (abortedBetweenPhases())
        return stoppedByUser;
    if (!deriveTerrain(terrain))
        return failed;
    if (abortedBetweenPhases())
        return stoppedByUser;
    if (!readStartCellList(startCells))
        return failed;
    if (abortedBetweenPhases())
        return stoppedByUser;
    if (!request_.objectsFile.isEmpty() && !readObjects())
        return failed;
    if (startCells.empty()) {
        emit displayError(QStringLiteral("No start cells found. Aborting."));
        return failed;
    }
    if (!trajectoriesFitCounts(startCells.size()) || !profileWorkWithinReach(startCells.size())
        || !selectStopCriterion())
        return failed;
    startCellCount_ = startCells.size();
    return completed;
}

int tumbraController::runPipeline(runOutcome& outcome)
{
    terrainGrids terrain;
    std::vector<startCell> startCells;
    int code = agreeWithOthers(guardedStage([&] { return prepareInputs(terrain, startCells); }));
    if (code != completed)
        return code;
    runStartCells_ = &startCells;

    const uint64_t progressTotal =
        static_cast<uint64_t>(request_.settings.numberOfSimulations > 0 ? request_.settings.numberOfSimulations : 0)
        * static_cast<uint64_t>(startCells.size());
    propagationOutput result;
    code = simulate(terrain.aspect, startCells, progressTotal, result);
    terrain.aspect.clear();
    // A stopped run goes no further: no phase of it may show as done after the stop.
    if (code != completed)
        return code;
    if (coordinator_) {
        code = agreeWithOthers(guardedStage([&] {
            coordinator_->combine(result);
            return static_cast<int>(completed);
        }));
        if (code != completed || !coordinator_->writesOutputs())
            return code == completed ? agreeWithOthers(completed) : code;
    }

    code = guardedStage([&] {
        const QString aggregating = QString::fromLatin1(runPhases::aggregating);
        grid<int32_t> displayGrid;
        reportPhase(aggregating, 0, 1);
        aggregateDisplayGrid(result.passageCounts, terrain.reliefGreys, progressTotal, displayGrid);
        terrain.reliefGreys.clear();
        reportPhase(aggregating, 1, 1);
        endTime = QDateTime::currentDateTime();

        if (abortedBetweenPhases())
            return static_cast<int>(stoppedByUser);
        if (!outputFolderReady())
            return static_cast<int>(failed);
        outputStaging staging(request_.outputFolder);
        bool allWritten = writeOutputs(staging, result, outcome);
        keepResult(result, displayGrid, outcome);
        allWritten = allWritten && writeMapPicture(staging, *outcome.grids);
        if (!placeOutputs(staging, allWritten, outcome) || !allWritten)
            return static_cast<int>(failed);
        // A stop while the files were written left none of them; once they
        // are in place the run is complete, whenever a stop comes.
        if (abortRequested.load() && outcome.filesWritten.isEmpty())
            return static_cast<int>(stoppedByUser);
        return static_cast<int>(completed);
    });
    return agreeWithOthers(code);
}

// Moved, not copied: the files are written, and nothing after them may
// need memory that could turn a completed run into a failed one.
void tumbraController::keepResult(propagationOutput& result, grid<int32_t>& displayGrid, runOutcome& outcome)
{
    auto kept = std::make_shared<runResultGrids>();
    kept->header = demHeader;
    kept->displayGrid = std::move(displayGrid);
    kept->passageCounts = std::move(result.passageCounts);
    kept->reachingStartCells = std::move(result.reachingStartCells);
    kept->elevations = std::move(elevationGrid_);
    kept->numberOfSimulations = request_.settings.numberOfSimulations;
    kept->intensityOptions = request_.intensity;
    kept->intensity = std::move(result.intensity);
    kept->trajectories = static_cast<uint64_t>(std::max(request_.settings.numberOfSimulations, 0)) * startCellCount_;
    kept->placement = outputPlacement();
    kept->runOuts = std::move(result.runOuts);
    kept->sourceShares = std::move(sourceShares_);
    outcome.grids = std::move(kept);
}

outputGeoreference tumbraController::outputPlacement() const { return demInput_->georeference(); }

bool tumbraController::readElevations()
{
    elevationGrid_.clear();
    reportPhase(runPhases::readingElevations, 0, 1);
    const auto readingProgress = [this](qint64 done, qint64 total) {
        reportPhase(runPhases::readingElevations, done, total);
    };
    if (!demInput_->readElevations(elevationGrid_, *sink_, readingProgress))
        return false;
    reportPhase(runPhases::readingElevations, 1, 1);
    return true;
}

bool tumbraController::deriveTerrain(terrainGrids& terrain)
{
    // The relief is computed first, then the slope directions: half the phase each.
    reportPhase(runPhases::derivingTerrain, 0, 1);
    const int64_t nrows = demHeader.nrows;
    return computeReliefGreyGrid(elevationGrid_, demHeader.nrows, demHeader.ncols, demHeader.cellsize,
                                 terrain.reliefGreys,
                                 [&](int done, int) { reportPhase(runPhases::derivingTerrain, done, 2 * nrows); })
           && computeAspectGrid(elevationGrid_, demHeader.nrows, demHeader.ncols, demHeader.cellsize,
                                demHeader.nodataValue, terrain.aspect, [&](int done, int) {
                                    reportPhase(runPhases::derivingTerrain, nrows + done, 2 * nrows);
                                });
}

// A layer is burnt onto the DEM's grid, so the raster checks have nothing to compare.
bool tumbraController::readStartCellsLayer(std::vector<startCell>& startCells)
{
    reportPhase(runPhases::readingStartCells, 0, 1);
    auto cells = ::readStartCellsLayer({startCellsFile_, request_.startLayer, request_.startWhere}, demHeader,
                                       demInput_->georeference().geoTransform, demSystem_, *sink_);
    if (!cells)
        return false;
    startCells = std::move(*cells);
    reportPhase(runPhases::readingStartCells, 1, 1);
    return true;
}

// A vector layer is burnt onto the DEM's grid; a raster must lie on it, in
// the DEM's coordinate system, as start cells must.
bool tumbraController::readObjects()
{
    const QString& file = request_.objectsFile;
    if (isVectorFileName(file)) {
        objects_ = readObjectsLayer({file, request_.objectsLayer, {}}, request_.objectsIdField, demHeader,
                                    demInput_->georeference().geoTransform, demSystem_, *sink_);
        return objects_.has_value();
    }
    std::unique_ptr<rasterInput> input = rasterInputFor(file);
    if (!input) {
        emit displayError(unsupportedTypeText(QStringLiteral("objects at risk"), file));
        return false;
    }
    rasterHeader header;
    if (!input->open(file, header, *sink_) || !headerIsUsable(header, file)
        || !checkSameCoordinateSystem(demSystem_, input->system(), demFile, file, *sink_))
        return false;
    rasterMismatchSink mismatch(*sink_);
    const bool consistent = checkRasterConsistency(demHeader, header, demFile, mismatch, file);
    mismatch.reportTo(demFile, demHeader, file, header);
    if (!consistent)
        return false;
    elevationGrid values;
    const bool read = input->readElevations(values, *sink_);
    input->close();
    if (!read)
        return false;
    objects_ = objectsFromGrid(values, header.nodataValue, file, *sink_);
    return objects_.has_value();
}

bool tumbraController::readStartCellList(std::vector<startCell>& startCells)
{
    if (isVectorFileName(startCellsFile_))
        return readStartCellsLayer(startCells);
    if (!openStartCells() || !headerIsUsable(startCellsHeader, startCellsFile_))
        return false;
    rasterMismatchSink mismatch(*sink_);
    const bool consistent = checkRasterConsistency(demHeader, startCellsHeader, demFile, mismatch, startCellsFile_);
    mismatch.reportTo(demFile, demHeader, startCellsFile_, startCellsHeader);
    if (!consistent)
        return false;
    reportPhase(runPhases::readingStartCells, 0, 1);
    const bool read = startCellsInput_->readStartCells(startCells, *sink_);
    startCellsInput_->close();
    if (!read)
        return false;
    reportPhase(runPhases::readingStartCells, 1, 1);
    return true;
}

int tumbraController::simulate(const grid<double>& aspect, const std::vector<startCell>& startCells,
                               uint64_t progressTotal, propagationOutput& result)
{
    emit initProgressBar(progressValue(progressTotal, progressTotal));
    const QString simulating = QString::fromLatin1(runPhases::simulating);
    reportPhase(simulating, 0, 1);

    // Shown from the engine's threads one at a time, or in a shared run from
    // the coordinator with the count of all processes.
    int lastProgress = -1;
    const auto showProgress = [&](uint64_t finished) {
        const int value = progressValue(finished, progressTotal);
        if (value != lastProgress) {
            lastProgress = value;
            emit setProgressBar(value);
        }
        reportPhase(simulating, static_cast<int64_t>(finished), static_cast<int64_t>(progressTotal));
    };
    std::vector<std::size_t> share;
    if (coordinator_) {
        share = coordinator_->share(startCells.size());
        coordinator_->simulationStarted(showProgress, [this] { abortRequested.store(true); });
    }

    const int code = guardedStage([&] {
        randomGenerator generator;
        result.passageCounts.assign(demHeader.nrows, demHeader.ncols, 0);
        result.reachingStartCells.assign(demHeader.nrows, demHeader.ncols, 0);
        if (request_.intensity.enabled)
            result.intensity.assign(demHeader.nrows, demHeader.ncols, request_.intensity);

        QElapsedTimer loopTimer;
        loopTimer.start();
        propagationInput input{elevationGrid_,    demHeader,      aspect,        startCells,
                               request_.settings, *stopCriterion, abortRequested};
        input.seed = request_.seed;
        input.share = coordinator_ ? &share : nullptr;
        input.intensity = &request_.intensity;
        std::optional<objectReach> reach;
        if (objects_)
            reach.emplace(*objects_, startCells.size());
        input.objects = reach ? &*reach : nullptr;
        runCoordinator* const coordinator = coordinator_;
        runPropagation(input, generator, result, [&](uint64_t finished) {
            if (coordinator)
                coordinator->localProgress(finished);
            else
                showProgress(finished);
        });
        qCDebug(timingLog) << "loopTime" << loopTimer.elapsed();
        return static_cast<int>(abortRequested.load() ? stoppedByUser : completed);
    });
    if (!coordinator_)
        return code;
    // A stop is told once, by the run's closing line.
    return coordinator_->simulationEnded(code);
}

void tumbraController::reportPhase(const QString& phase, int64_t done, int64_t total)
{
    const int percent = total > 0 ? static_cast<int>(std::clamp<int64_t>(done, 0, total) * 100 / total) : 100;
    if (phase == reportedPhase_ && percent == reportedPercent_)
        return;
    reportedPhase_ = phase;
    reportedPercent_ = percent;
    emit phaseProgress(phase, percent);
}

// Each file's phase is named for the file, so progress lines and timings
// name the files actually written.
static QString writingPhase(const QString& fileName) { return QStringLiteral("Writing ") + fileName; }

bool tumbraController::writeOutputs(outputStaging& staging, const propagationOutput& result, runOutcome& outcome)
{
    const grid<int32_t>& passageCounts = result.passageCounts;
    bool allWritten = true;
    QString file;
    auto keep = [&](writeOutcome written) {
        if (written == writeOutcome::failed)
            allWritten = false;
        if (written == writeOutcome::written) {
            ++filesWritten_;
            outcome.filesWritten << file;
        } else {
            outcome.filesNotWritten << file;
        }
    };
    // Each target remembers its file's name for the lists of files written and
    // not written; the files are staged and moved into place together.
    const auto inRunFolder = [&staging, &file](const QString& name) {
        file = name;
        return outputTarget(staging.folderFor(name), name);
    };
    auto rowsWritten = [this](const QString& phase) {
        reportPhase(phase, 0, 1);
        return [this, phase](int done, int total) { reportPhase(phase, done, total); };
    };
    const int simulations = request_.settings.numberOfSimulations;
    const auto probabilityRow = [&](int row, double* values) {
        reachProbabilityRow(passageCounts, result.reachingStartCells, simulations, row, values);
    };
    const QString countName = countGridName(request_.format);
    const QString probabilityName = probabilityGridName(request_.format);
    const outputGeoreference georeference = outputPlacement();
    if (request_.format == outputFormat::geoTiff) {
        reportPhase(writingPhase(countName), 0, 1);
        keep(writeCountGeoTiff(inRunFolder(countName), demHeader, georeference, passageCounts, elevationGrid_, *sink_));
        reportPhase(writingPhase(countName), 1, 1);
        reportPhase(writingPhase(probabilityName), 0, 1);
        keep(writeProbabilityGeoTiff(inRunFolder(probabilityName), demHeader, georeference, passageCounts.rows(),
                                     passageCounts.cols(), probabilityRow, elevationGrid_, *sink_));
        reportPhase(writingPhase(probabilityName), 1, 1);
    } else {
        keep(writeCountGrid(inRunFolder(countName), demHeader, passageCounts, *sink_,
                            rowsWritten(writingPhase(countName))));
        keep(writeProbabilityGrid(inRunFolder(probabilityName), demHeader, passageCounts.rows(), passageCounts.cols(),
                                  probabilityRow, *sink_, rowsWritten(writingPhase(probabilityName))));
        for (const QString& gridName : {countName, probabilityName}) {
            if (const auto outcome =
                    writeProjectionBesideGrid(inRunFolder(projectionFileName(gridName)), demSystem_, *sink_))
                keep(*outcome);
        }
    }
    // Beside each grid the style that draws it as the window's map does.
    resultStyleInputs styleInputs;
    styleInputs.trajectories = uint64_t(std::max(simulations, 0)) * startCellCount_;
    styleInputs.intensity = request_.intensity;
    styleInputs.objects = objects_.has_value();
    for (const resultGridStyle& row : resultGridStyles())
        if (!row.applies || row.applies(styleInputs))
            keep(writeQgisStyle(inRunFolder(row.grid + QStringLiteral(".qml")), row.style(styleInputs), *sink_));
    if (request_.intensity.enabled) {
        const intensityResult intensity{request_.intensity, result.intensity, passageCounts, result.reachingStartCells,
                                        simulations};
        const intensityTarget target{
            staging.folderFor(QString()), request_.format, demHeader, georeference, demSystem_, elevationGrid_};
        writeIntensityGrids(intensity, target, *sink_, [&](const QString& name, writeOutcome outcome) {
            file = name;
            keep(outcome);
        });
    }
    if (request_.settings.saveTrajectories) {
        const QString pointsName = QStringLiteral("trajectory_points.txt");
        reportPhase(writingPhase(pointsName), 0, 1);
        keep(writeTrajectoryPoints(inRunFolder(pointsName), result.trajectories, *sink_));
        reportPhase(writingPhase(pointsName), 1, 1);
        if (request_.format == outputFormat::geoTiff) {
            const QString layerName = QStringLiteral("trajectories.gpkg");
            reportPhase(writingPhase(layerName), 0, 1);
            keep(writeTrajectoryGeoPackage(inRunFolder(layerName), result.trajectories, result.trajectoryOrigins,
                                           demSystem_, *sink_, request_.intensity.enabled));
            reportPhase(writingPhase(layerName), 1, 1);
        }
    }

    logReport report;
    report.startTime = startTime;
    report.endTime = endTime;
    report.demFile = demFile;
    report.startCellsFile = startCellsFile_;
    report.dem = demHeader;
    report.settings = settingLogLines(request_);
    report.resultsFolder = request_.outputFolder;
    report.coordinateSystemLine = coordinateSystemLogLine(demSystem_);
    report.seed = request_.seed;
    report.summary = runSummary(passageCounts, startCellCount_);
    report.summary << intensitySummaryLines(request_.intensity, result.intensity, passageCounts, demHeader.cellsize);
    if (objects_ && runStartCells_)
        allWritten = writeObjectOutputs(
                         result,
                         [&](const QString& name, writeOutcome written) {
                             file = name;
                             keep(written);
                         },
                         report.summary)
                     && allWritten;
    report.summary << reachSummaryLines(passageCounts, result.reachingStartCells, simulations, demHeader.cellsize,
                                        result.runOuts);
    if (request_.seed)  // last, so the log ends naming the seed that repeats the run
        report.summary << QStringLiteral("Seed: %1").arg(*request_.seed);
    outcome.summary = report.summary;
    const QString logName = QStringLiteral("log.txt");
    reportPhase(writingPhase(logName), 0, 1);
    keep(writeLogFile(inRunFolder(logName), report, *sink_));
    reportPhase(writingPhase(logName), 1, 1);
    return allWritten;
}

// The map of the request is one of the run's files: staged with them and
// placed with them, or dropped with them.
bool tumbraController::writeMapPicture(outputStaging& staging, const runResultGrids& result)
{
    if (request_.mapFile.isEmpty() || abortRequested.load())
        return true;
    mapColouring colouring = mapColouring::reachProbability;
    mapColouringFromName(request_.mapColouring, colouring);
    const QString phase = writingPhase(QFileInfo(request_.mapFile).fileName());
    reportPhase(phase, 0, 1);
    outputTarget target(staging.stagedPath(request_.mapFile));
    target.name = request_.mapFile;
    const QString problem = writeResultMap(target, result, colouring);
    reportPhase(phase, 1, 1);
    if (!problem.isEmpty())
        emit displayError(problem);
    return problem.isEmpty();
}

// All or nothing: after a failed write or a stop, the staged files are
// dropped with the staging folder and the earlier files stay as they were.
// With --overwrite, the earlier run's files this one does not write go once
// its own are in place.
bool tumbraController::placeOutputs(outputStaging& staging, bool allWritten, runOutcome& outcome)
{
    QString error;
    // The map's files, where they were staged; an earlier side file the new
    // map has not (its auxiliary file of another system) would misplace it.
    const QStringList mapFiles = request_.mapFile.isEmpty() ? QStringList() : mapPictureFiles(request_.mapFile);
    QStringList stagedMapFiles;
    for (const QString& file : mapFiles)
        if (staging.holds(file))
            stagedMapFiles << file;
    const bool placed =
        allWritten && !abortRequested.load() && staging.commit(outcome.filesWritten + stagedMapFiles, error);
    if (placed) {
        if (request_.overwrite)
            removeEarlierOutputs(request_.outputFolder, everyOutputName(request_), outcome.filesWritten);
        if (stagedMapFiles.contains(request_.mapFile))
            removeEarlierOutputs(QString(), mapFiles, stagedMapFiles);
        return true;
    }
    if (!error.isEmpty())
        emit displayError(error);
    outcome.filesNotWritten = outcome.filesWritten + outcome.filesNotWritten;
    outcome.filesWritten.clear();
    filesWritten_ = 0;
    return error.isEmpty();
}

// objects.csv and the Source_share grid (with its .prj beside an ASCII grid),
// and the objects' lines of log.txt.
bool tumbraController::writeObjectOutputs(const propagationOutput& result,
                                          const std::function<void(const QString&, writeOutcome)>& keep,
                                          QStringList& logLines)
{
    const int simulations = request_.settings.numberOfSimulations;
    const objectReachTotals& totals = result.objectTotals;
    const std::vector<objectReport> reports =
        objectReports(*objects_, totals, result.passageCounts, result.reachingStartCells, simulations);
    bool allWritten = true;
    const auto kept = [&](const QString& name, writeOutcome written) {
        allWritten = allWritten && written != writeOutcome::failed;
        keep(name, written);
    };
    const QString tableName = QStringLiteral("objects.csv");
    reportPhase(writingPhase(tableName), 0, 1);
    const uint64_t trajectories = uint64_t(runStartCells_->size()) * uint64_t(std::max(simulations, 0));
    kept(tableName, writeObjectsTable(outputTarget(request_.outputFolder, tableName), reports, trajectories, *sink_));
    reportPhase(writingPhase(tableName), 1, 1);

    const sourceShareRows& shares =
        sourceShares_.emplace(*runStartCells_, totals, simulations, demHeader.ncols, demHeader.nodataValue);
    const auto shareRow = [&](int row, double* values) { shares.fill(row, values); };
    const QString shareName = sourceShareGridName(request_.format);
    reportPhase(writingPhase(shareName), 0, 1);
    const outputTarget shareTarget(request_.outputFolder, shareName);
    if (request_.format == outputFormat::geoTiff) {
        kept(shareName, writeProbabilityGeoTiff(shareTarget, demHeader, outputPlacement(), demHeader.nrows,
                                                demHeader.ncols, shareRow, elevationGrid_, *sink_));
    } else {
        kept(shareName, writeProbabilityGrid(shareTarget, demHeader, demHeader.nrows, demHeader.ncols, shareRow, *sink_,
                                             [this, shareName](int done, int total) {
                                                 reportPhase(writingPhase(shareName), done, total);
                                             }));
        const QString projectionName = projectionFileName(shareName);
        if (const auto written =
                writeProjectionBesideGrid(outputTarget(request_.outputFolder, projectionName), demSystem_, *sink_))
            kept(projectionName, *written);
    }
    reportPhase(writingPhase(shareName), 1, 1);
    logLines << objectsLogLines(request_.objectsFile, request_.objectsLayer, reports);
    return allWritten;
}

QStringList tumbraController::runSummary(const grid<int32_t>& passageCounts, std::size_t startCellCount) const
{
    const int32_t* counts = passageCounts.data();
    const auto reached = std::count_if(counts, counts + passageCounts.size(), [](int32_t n) { return n > 0; });
    const qint64 milliseconds = startTime.msecsTo(endTime);
    return QStringList{QStringLiteral("Start cells: %1").arg(startCellCount),
                       QStringLiteral("Trajectories: %1")
                           .arg(static_cast<qulonglong>(startCellCount)
                                * static_cast<qulonglong>(std::max(request_.settings.numberOfSimulations, 0))),
                       QStringLiteral("Cells reached: %1").arg(static_cast<qlonglong>(reached))}
           + parallelismLines(coordinator_ ? coordinator_->processCount() : 1, omp_get_max_threads())
           + QStringList{QStringLiteral("Duration (s): %1").arg(QString::number(milliseconds / 1000.0, 'f', 1))};
}

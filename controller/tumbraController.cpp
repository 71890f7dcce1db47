#include "controller/tumbraController.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <new>
#include <numeric>

#include <QLoggingCategory>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <omp.h>

#include "controller/propagationProbability.h"
#include "controller/runCoordinator.h"
#include "controller/rasterMismatch.h"
#include "controller/resultGridStyles.h"
#include "controller/runMemory.h"
#include "controller/runPhases.h"
#include "controller/runResultGrids.h"
#include "engine/aggregation.h"
#include "engine/monteCarloDriver.h"
#include "engine/randomGenerator.h"
#include "engine/stopCriterion.h"
#include "engine/terrainDerivatives.h"
#include "raster/consistencyChecks.h"
#include "raster/geoTiffWriter.h"
#include "raster/gridReader.h"
#include "raster/outputFiles.h"
#include "raster/trajectoryGeoPackage.h"

// How long the simulation took, for developers: off unless asked for with
// QT_LOGGING_RULES="tumbra.timing.debug=true".
Q_LOGGING_CATEGORY(timingLog, "tumbra.timing", QtInfoMsg)

namespace {
enum resultCode { completed = 0, failed = 1, stoppedByUser = 2 };
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

tumbraController::tumbraController() : sink_(std::make_unique<signalSink>(*this)) {}

tumbraController::~tumbraController() = default;

static bool isRegularFile(const QString& fileName)
{
    const QFileInfo info(fileName);
    return info.exists() && info.isFile();
}

bool tumbraController::setDigitalElevationModel(const QString& fileName)
{
    if (!isRegularFile(fileName))
        return false;
    demFile = fileName;
    inputFileType = inputFileTypeFromName(fileName);
    return true;
}

bool tumbraController::setStartCellsFile(const QString& fileName)
{
    if (!isRegularFile(fileName))
        return false;
    startCellsFile_ = fileName;
    return true;
}

resultViewData tumbraController::resultView() const
{
    return resultViewData{demHeader.nrows, demHeader.ncols, demHeader.cellsize, displayGrid};
}

int tumbraController::progressValue(uint64_t count, uint64_t total)
{
    const uint64_t maxValue = static_cast<uint64_t>(INT_MAX);
    if (total <= maxValue)
        return static_cast<int>(count);
    const uint64_t divisor = total / maxValue + 1;
    return static_cast<int>(count / divisor);
}

void tumbraController::closeStream(asciiGridStream& stream) { stream.close(); }

void tumbraController::closeInputs()
{
    closeStream(demStream);
    closeStream(startCellsStream);
    demGeoTiff_.close();
    startCellsGeoTiff_.close();
}

void tumbraController::finishProcessing(int code)
{
    closeInputs();
    abortRequested.store(false);
    running.store(false);
    emit resetProgressBar();
    emit done(code);
    // The last line says how the run ended: a stopped run does not end in
    // "Done.", which reads as a completed one.
    if (code == completed)
        emit displayMessage(QStringLiteral("Done."));
    else if (code == stoppedByUser)
        emit displayMessage(filesWritten_ > 0 ? QStringLiteral("Process stopped by user after its files were written.")
                                              : abortedText);
    else
        emit displayMessage(QStringLiteral("Done with errors."));
}

void tumbraController::runProcess()
{
    // The flag is cleared before the run shows as running, so an abort
    // requested as soon as it does is never lost.
    abortRequested.store(false);
    running.store(true);
    reportedPhase_ = nullptr;
    reportedPercent_ = -1;
    startTime = QDateTime::currentDateTime();
    outputFolder_ = QDir::currentPath();
    lastResult_.reset();
    filesWritten_ = 0;
    startCellCount_ = 0;
    int code = failed;
    try {
        code = runPipeline();
    } catch (const std::bad_alloc&) {
        emit displayError(QStringLiteral("Process ran out of memory. Aborting."));
        code = failed;
    } catch (...) {
        emit displayError(QStringLiteral("Unhandled exception. Aborting."));
        code = failed;
    }
    finishProcessing(code);
}

// Each input is read by the reader its own suffix names.
static QString unsupportedTypeText(const QString& what, const QString& fileName)
{
    return QStringLiteral("The file type of %1 %2 is not supported. Supported are ESRI ASCII grids with the suffix "
                          ".asc or .txt and GeoTIFF files with the suffix .tif or .tiff.")
        .arg(what, fileName);
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
    const int agreed = coordinator_->agree(localCode);
    if (agreed == stoppedByUser && localCode != stoppedByUser)
        emit displayMessage(QStringLiteral("Process aborted by user. No files saved."));
    return agreed;
}

bool tumbraController::openDigitalElevationModel()
{
    closeInputs();
    demSystem_ = coordinateSystem();
    if (demFile.isEmpty()) {
        emit displayError(QStringLiteral("No file name provided!"));
        return false;
    }
    if (inputFileType == esriAsciiGrid) {
        if (!readGridHeader(demFile, demHeader, demStream, *sink_))
            return false;
        demSystem_ = coordinateSystemBesideGrid(demFile, *sink_);
    } else if (inputFileType == geoTiff) {
        if (!demGeoTiff_.open(demFile, demHeader, *sink_))
            return false;
        demSystem_ = demGeoTiff_.system();
    } else {
        // Without a word here the run would fail in silence.
        emit displayError(unsupportedTypeText(QStringLiteral("DEM"), demFile));
        return false;
    }
    return checkElevationCoordinateSystem(demSystem_, demHeader, demFile, *sink_);
}

bool tumbraController::openStartCells()
{
    const int32_t type = inputFileTypeFromName(startCellsFile_);
    if (type == geoTiff)
        return startCellsGeoTiff_.open(startCellsFile_, startCellsHeader, *sink_);
    if (type == esriAsciiGrid || startCellsFile_.isEmpty())
        return readGridHeader(startCellsFile_, startCellsHeader, startCellsStream, *sink_);
    emit displayError(unsupportedTypeText(QStringLiteral("start cells file"), startCellsFile_));
    return false;
}

// A zero step would make the profile sampling or the trajectory endless.
bool tumbraController::checkSettings()
{
    if (!(settings_.segmentLength > 0.0)) {
        emit displayError(QStringLiteral("The segment length must be greater than 0."));
        return false;
    }
    if (!(settings_.profileStep > 0.0)) {
        emit displayError(QStringLiteral("The profile step must be greater than 0."));
        return false;
    }
    return true;
}

bool tumbraController::selectStopCriterion()
{
    if (auto selected = makeStopCriterion(settings_.probabilityClass))
        stopCriterion = std::move(selected);
    if (!stopCriterion) {
        emit displayError(QStringLiteral("Unknown propagation probability class %1.").arg(settings_.probabilityClass));
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
    const std::uint64_t needed = estimatedRunBytes(demHeader.nrows, demHeader.ncols);
    const std::uint64_t physical = physicalMemoryBytes();
    if (fitsInMemory(needed, physical))
        return true;
    constexpr double megabyte = 1024.0 * 1024.0;
    emit displayError(QStringLiteral("File %1 describes a grid of %2 x %3 cells: a run on it needs about %4 MB of "
                                     "memory, more than the %5 MB this machine has. Aborting.")
                          .arg(demFile)
                          .arg(demHeader.nrows)
                          .arg(demHeader.ncols)
                          .arg(static_cast<double>(needed) / megabyte, 0, 'f', 0)
                          .arg(static_cast<double>(physical) / megabyte, 0, 'f', 0));
    return false;
}

// Polled between the phases of a run, so that an abort requested while the
// inputs are read or the terrain is derived ends the run as soon as that
// phase is over, not only after the simulation.
bool tumbraController::abortedBetweenPhases() { return abortRequested.load(); }

// The outputs go into the folder that was current when the run began (the
// front end makes the run's folder current before it starts the run), by
// absolute paths: the current directory may change while the run goes on.
// If that folder was removed in the meantime, it is made again at the same
// place and made current again, so that hours of simulation are not lost.
bool tumbraController::outputFolderReady()
{
    if (!outputFolder_.isEmpty() && QFileInfo(outputFolder_).isDir())
        return true;
    if (outputFolder_.isEmpty()) {
        emit displayError(QStringLiteral("The output folder no longer exists. No files saved."));
        return false;
    }
    if (!QDir().mkpath(outputFolder_) || !QDir::setCurrent(outputFolder_)) {
        emit displayError(QStringLiteral("The output folder %1 no longer exists and cannot be created again. "
                                         "No files saved.")
                              .arg(outputFolder_));
        return false;
    }
    emit displayWarning(QStringLiteral("The output folder %1 was removed during the run and has been created again.")
                            .arg(outputFolder_));
    return true;
}

// Counts are 32-bit: a run with more trajectories than they can hold would
// wrap round in the cells every trajectory reaches.
bool tumbraController::trajectoriesFitCounts(std::size_t startCellCount)
{
    const uint64_t simulations = static_cast<uint64_t>(std::max(settings_.numberOfSimulations, 0));
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

int tumbraController::prepareInputs(terrainGrids& terrain, std::vector<startCell>& startCells)
{
    if (!checkSettings() || !openDigitalElevationModel())
        return failed;
    if (!headerIsUsable(demHeader, demFile) || !runFitsInMemory())
        return failed;
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
    if (startCells.empty()) {
        emit displayError(QStringLiteral("No start cells found. Aborting."));
        return failed;
    }
    if (!trajectoriesFitCounts(startCells.size()) || !selectStopCriterion())
        return failed;
    startCellCount_ = startCells.size();
    return completed;
}

int tumbraController::runPipeline()
{
    terrainGrids terrain;
    std::vector<startCell> startCells;
    int code = agreeWithOthers(guardedStage([&] { return prepareInputs(terrain, startCells); }));
    if (code != completed)
        return code;

    const uint64_t progressTotal =
        static_cast<uint64_t>(settings_.numberOfSimulations > 0 ? settings_.numberOfSimulations : 0)
        * static_cast<uint64_t>(startCells.size());
    propagationOutput result;
    code = simulate(terrain.aspect, startCells, progressTotal, result);
    terrain.aspect.clear();
    if (code == failed || (coordinator_ && code != completed))
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
        reportPhase(runPhases::aggregating, 0, 1);
        aggregateDisplayGrid(result.passageCounts, terrain.reliefGreys, progressTotal, displayGrid);
        terrain.reliefGreys.clear();
        reportPhase(runPhases::aggregating, 1, 1);
        endTime = QDateTime::currentDateTime();

        if (abortedBetweenPhases())
            return static_cast<int>(stoppedByUser);
        if (!outputFolderReady())
            return static_cast<int>(failed);
        if (!writeOutputs(result, startCells))
            return static_cast<int>(failed);
        if (!abortRequested.load())
            keepResult(result);
        // An abort requested while the files were written lets the writing finish.
        return static_cast<int>(abortRequested.load() ? stoppedByUser : completed);
    });
    return agreeWithOthers(code);
}

void tumbraController::keepResult(propagationOutput& result)
{
    auto kept = std::make_shared<runResultGrids>();
    kept->header = demHeader;
    kept->displayGrid = displayGrid;
    kept->passageCounts = std::move(result.passageCounts);
    kept->reachingStartCells = std::move(result.reachingStartCells);
    kept->elevations = elevationGrid_;
    kept->numberOfSimulations = settings_.numberOfSimulations;
    kept->placement = outputPlacement();
    lastResult_ = std::move(kept);
}

outputGeoreference tumbraController::outputPlacement() const
{
    outputGeoreference placement = georeferenceOfHeader(demHeader, demSystem_);
    if (inputFileType == geoTiff)
        std::copy(demGeoTiff_.geoTransform(), demGeoTiff_.geoTransform() + 6, placement.geoTransform);
    return placement;
}

bool tumbraController::readElevations()
{
    elevationGrid_.clear();
    reportPhase(runPhases::readingElevations, 0, 1);
    const auto readingProgress = [this](qint64 done, qint64 total) {
        reportPhase(runPhases::readingElevations, done, total);
    };
    if (inputFileType == geoTiff) {
        const bool read = demGeoTiff_.readElevations(elevationGrid_, *sink_, readingProgress);
        demGeoTiff_.close();
        if (!read)
            return false;
    } else if (!readElevationRows(demStream, elevationGrid_, demHeader.nrows, demHeader.ncols, readingProgress)) {
        emit displayError(QStringLiteral("No complete data row could be read from file %1.").arg(demFile));
        return false;
    }
    closeStream(demStream);
    if (elevationGrid_.rows() < demHeader.nrows) {
        emit displayError(QStringLiteral("File %1 holds %2 complete data rows, but its header announces %3.")
                              .arg(demFile)
                              .arg(elevationGrid_.rows())
                              .arg(demHeader.nrows));
        return false;
    }
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

bool tumbraController::readStartCellList(std::vector<startCell>& startCells)
{
    closeStream(startCellsStream);
    if (!openStartCells() || !headerIsUsable(startCellsHeader, startCellsFile_))
        return false;
    rasterMismatchSink mismatch(*sink_);
    const bool consistent = checkRasterConsistency(demHeader, startCellsHeader, demFile, mismatch, startCellsFile_);
    mismatch.reportTo(demFile, demHeader, startCellsFile_, startCellsHeader);
    if (!consistent)
        return false;
    reportPhase(runPhases::readingStartCells, 0, 1);
    const bool read = startCellsGeoTiff_.isOpen() ? startCellsGeoTiff_.readStartCells(startCells, *sink_)
                                                  : readStartCells(startCellsStream, startCells, startCellsHeader.nrows,
                                                                   startCellsHeader.ncols, *sink_);
    if (!read)
        return false;
    closeStream(startCellsStream);
    startCellsGeoTiff_.close();
    reportPhase(runPhases::readingStartCells, 1, 1);
    return true;
}

int tumbraController::simulate(const grid<double>& aspect, const std::vector<startCell>& startCells,
                               uint64_t progressTotal, propagationOutput& result)
{
    emit initProgressBar(progressValue(progressTotal, progressTotal));
    reportPhase(runPhases::simulating, 0, 1);

    // Shown from the engine's threads one at a time, or in a shared run from
    // the coordinator with the count of all processes.
    int lastProgress = -1;
    const auto showProgress = [&](uint64_t finished) {
        const int value = progressValue(finished, progressTotal);
        if (value != lastProgress) {
            lastProgress = value;
            emit setProgressBar(value);
        }
        reportPhase(runPhases::simulating, static_cast<int64_t>(finished), static_cast<int64_t>(progressTotal));
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
        // Filled by the aggregation; until then the previous map need not be held.
        displayGrid.clear();

        QElapsedTimer loopTimer;
        loopTimer.start();
        propagationInput input{elevationGrid_, demHeader,      aspect,        startCells,
                               settings_,      *stopCriterion, abortRequested};
        input.seed = seed_;
        input.share = coordinator_ ? &share : nullptr;
        runCoordinator* const coordinator = coordinator_;
        runPropagation(input, generator, result, [&](uint64_t finished) {
            if (coordinator)
                coordinator->localProgress(finished);
            else
                showProgress(finished);
        });
        if (result.outOfMemory)
            throw std::bad_alloc();
        qCDebug(timingLog) << "loopTime" << loopTimer.elapsed();
        return static_cast<int>(abortRequested.load() ? stoppedByUser : completed);
    });
    if (!coordinator_)
        return code;
    const int agreed = coordinator_->simulationEnded(code);
    if (agreed == stoppedByUser)
        emit displayMessage(QStringLiteral("Process aborted by user. No files saved."));
    return agreed;
}

void tumbraController::reportPhase(const char* phase, int64_t done, int64_t total)
{
    const int percent = total > 0 ? static_cast<int>(std::clamp<int64_t>(done, 0, total) * 100 / total) : 100;
    if (phase == reportedPhase_ && percent == reportedPercent_)
        return;
    reportedPhase_ = phase;
    reportedPercent_ = percent;
    emit phaseProgress(QString::fromLatin1(phase), percent);
}

// The work item of every saved trajectory: recorded as they finished, or,
// in a seeded run, their places in (start cell, simulation) order.
static std::vector<uint64_t> trajectoryItems(const propagationOutput& result)
{
    if (!result.trajectoryOrigins.empty() || result.trajectories.empty())
        return result.trajectoryOrigins;
    std::vector<uint64_t> items(result.trajectories.size());
    std::iota(items.begin(), items.end(), uint64_t{0});
    return items;
}

bool tumbraController::writeOutputs(const propagationOutput& result, const std::vector<startCell>& startCells)
{
    const grid<int32_t>& passageCounts = result.passageCounts;
    bool allWritten = true;
    QStringList notWritten;
    QString file;
    auto keep = [&](writeOutcome outcome) {
        if (outcome == writeOutcome::failed)
            allWritten = false;
        if (outcome == writeOutcome::written)
            ++filesWritten_;
        else
            notWritten << file;
    };
    // Each target remembers its file's name for the list of files not written.
    const auto inRunFolder = [this, &file](const QString& name) {
        file = name;
        return outputTarget(outputFolder_, name);
    };
    auto rowsWritten = [this](const char* phase) {
        reportPhase(phase, 0, 1);
        return [this, phase](int done, int total) { reportPhase(phase, done, total); };
    };
    const int simulations = settings_.numberOfSimulations;
    const auto probabilityRow = [&](int row, double* values) {
        reachProbabilityRow(passageCounts, result.reachingStartCells, simulations, row, values);
    };
    const QString countName = countGridName(outputFormat_);
    const QString probabilityName = probabilityGridName(outputFormat_);
    if (outputFormat_ == outputFormat::geoTiff) {
        const outputGeoreference georeference = outputPlacement();
        reportPhase(runPhases::writingCounts, 0, 1);
        keep(writeCountGeoTiff(inRunFolder(countName), demHeader, georeference, passageCounts, elevationGrid_, *sink_));
        reportPhase(runPhases::writingCounts, 1, 1);
        reportPhase(runPhases::writingProbabilities, 0, 1);
        keep(writeProbabilityGeoTiff(inRunFolder(probabilityName), demHeader, georeference, passageCounts.rows(),
                                     passageCounts.cols(), probabilityRow, elevationGrid_, *sink_));
        reportPhase(runPhases::writingProbabilities, 1, 1);
    } else {
        keep(writeCountGrid(inRunFolder(countName), demHeader, passageCounts, *sink_,
                            rowsWritten(runPhases::writingCounts)));
        keep(writeProbabilityGrid(inRunFolder(probabilityName), demHeader, passageCounts.rows(), passageCounts.cols(),
                                  probabilityRow, *sink_, rowsWritten(runPhases::writingProbabilities)));
        // Named as GDAL's ESRI ASCII grid driver looks for them: N.prj beside N.asc.
        const QByteArray projection = esriProjectionText(demSystem_);
        // Without a system, a .prj left by an earlier run would place the new grids wrongly.
        for (const QString& prjName : {QStringLiteral("N.prj"), QStringLiteral("Reach_prob.prj")}) {
            const outputTarget prj = inRunFolder(prjName);
            if (!projection.isEmpty())
                keep(writeProjectionFile(prj, projection, *sink_));
            else if (QFileInfo::exists(prj.path))
                QFile::remove(prj.path);
        }
    }
    // Beside each grid the style that draws it as the window's map does.
    const resultStyleInputs styleInputs{uint64_t(std::max(simulations, 0)) * startCells.size()};
    for (const resultGridStyle& row : resultGridStyles())
        if (!row.applies || row.applies(styleInputs))
            keep(writeQgisStyle(inRunFolder(row.grid + QStringLiteral(".qml")), row.style(styleInputs), *sink_));
    if (settings_.saveTrajectories) {
        reportPhase(runPhases::writingTrajectories, 0, 1);
        keep(writeTrajectoryPoints(inRunFolder(QStringLiteral("trajectory_points.txt")), result.trajectories, *sink_));
        if (outputFormat_ == outputFormat::geoTiff)
            keep(writeTrajectoryGeoPackage(inRunFolder(QStringLiteral("trajectories.gpkg")), result.trajectories,
                                           trajectoryOriginsOf(trajectoryItems(result), startCells, simulations),
                                           demSystem_, *sink_));
        reportPhase(runPhases::writingTrajectories, 1, 1);
    }

    logReport report;
    report.startTime = startTime;
    report.endTime = endTime;
    report.demFile = demFile;
    report.startCellsFile = startCellsFile_;
    report.dem = demHeader;
    report.numberOfSimulations = settings_.numberOfSimulations;
    report.segmentLength = settings_.segmentLength;
    report.profileStep = settings_.profileStep;
    report.maxDeviationAngle = settings_.maxDeviationAngle;
    report.initialFallHeight = settings_.initialFallHeight;
    const QStringList& labels = propagationProbabilityLabels();
    report.riskLabel = settings_.probabilityClass >= 0 && settings_.probabilityClass < labels.size()
                           ? labels.at(settings_.probabilityClass)
                           : QString();
    report.resultsFolder = outputFolder_;
    report.coordinateSystemLine = coordinateSystemLogLine(demSystem_);
    report.seed = seed_;
    report.summary = runSummary(passageCounts, startCellCount_);
    if (seed_)
        report.summary << QStringLiteral("Seed: %1").arg(*seed_);
    reportPhase(runPhases::writingLog, 0, 1);
    keep(writeLogFile(inRunFolder(QStringLiteral("log.txt")), report, *sink_));
    reportPhase(runPhases::writingLog, 1, 1);
    if (!notWritten.isEmpty())
        emit filesNotWritten(notWritten);
    return allWritten;
}

QStringList tumbraController::runSummary(const grid<int32_t>& passageCounts, std::size_t startCellCount) const
{
    const int32_t* counts = passageCounts.data();
    const auto reached = std::count_if(counts, counts + passageCounts.size(), [](int32_t n) { return n > 0; });
    const qint64 milliseconds = startTime.msecsTo(endTime);
    return {QStringLiteral("Start cells: %1").arg(startCellCount),
            QStringLiteral("Trajectories: %1")
                .arg(static_cast<qulonglong>(startCellCount)
                     * static_cast<qulonglong>(std::max(settings_.numberOfSimulations, 0))),
            QStringLiteral("Cells reached: %1").arg(static_cast<qlonglong>(reached)),
            QStringLiteral("Threads: %1").arg(omp_get_max_threads()),
            QStringLiteral("Duration (s): %1").arg(QString::number(milliseconds / 1000.0, 'f', 1))};
}

#include "controller/tumbraController.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <new>

#include <QLoggingCategory>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <omp.h>

#include "controller/propagationProbability.h"
#include "controller/rasterMismatch.h"
#include "controller/runMemory.h"
#include "controller/runPhases.h"
#include "controller/runResultGrids.h"
#include "engine/aggregation.h"
#include "engine/monteCarloDriver.h"
#include "engine/randomGenerator.h"
#include "engine/stopCriterion.h"
#include "engine/terrainDerivatives.h"
#include "raster/consistencyChecks.h"
#include "raster/gridReader.h"
#include "raster/outputFiles.h"

// How long the simulation took, for developers: off unless asked for with
// QT_LOGGING_RULES="tumbra.timing.debug=true".
Q_LOGGING_CATEGORY(timingLog, "tumbra.timing", QtInfoMsg)

namespace {
enum resultCode { completed = 0, failed = 1, stoppedByUser = 2 };
const QString abortedText = QStringLiteral("Process aborted by user. No files saved.");
}

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

void tumbraController::finishProcessing(int code)
{
    closeStream(demStream);
    closeStream(startCellsStream);
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
        code = runPipeline() ? (abortRequested.load() ? stoppedByUser : completed) : failed;
    } catch (const std::bad_alloc&) {
        emit displayError(QStringLiteral("Process ran out of memory. Aborting."));
        code = failed;
    } catch (...) {
        emit displayError(QStringLiteral("Unhandled exception. Aborting."));
        code = failed;
    }
    finishProcessing(code);
}

bool tumbraController::openDigitalElevationModel()
{
    closeStream(demStream);
    if (demFile.isEmpty()) {
        emit displayError(QStringLiteral("No file name provided!"));
        return false;
    }
    if (inputFileType != esriAsciiGrid) {
        // Without a word here the run would fail in silence.
        emit displayError(QStringLiteral("The file type of DEM %1 is not supported. "
                                         "Supported are ESRI ASCII grids with the suffix .asc or .txt.")
                              .arg(demFile));
        return false;
    }
    return readGridHeader(demFile, demHeader, demStream, *sink_);
}

bool tumbraController::openStartCells()
{
    if (inputFileType != esriAsciiGrid)
        return false;
    return readGridHeader(startCellsFile_, startCellsHeader, startCellsStream, *sink_);
}

// A zero step would make the profile sampling or the trajectory endless.
bool tumbraController::checkSettings()
{
    if (!(settings_.straightDistance > 0.0)) {
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
    if (auto selected = makeStopCriterion(settings_.riskIntensity))
        stopCriterion = std::move(selected);
    if (!stopCriterion) {
        emit displayError(QStringLiteral("Unknown propagation probability class %1.").arg(settings_.riskIntensity));
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
        emit displayError(QStringLiteral("The header of file %1 is invalid: cellsize must be a finite number.")
                              .arg(fileName));
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

// The outputs go into the current directory, made the run's folder before
// the run began. If that folder was removed in the meantime, it is made
// again at the same place, so that hours of simulation are not lost.
bool tumbraController::outputFolderReady()
{
    const QString current = QDir::currentPath();
    if (!current.isEmpty() && QFileInfo(current).isDir())
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
    emit displayWarning(
        QStringLiteral("The output folder %1 was removed during the run and has been created again.").arg(outputFolder_));
    return true;
}

bool tumbraController::runPipeline()
{
    if (!checkSettings() || !openDigitalElevationModel())
        return false;
    if (!headerIsUsable(demHeader, demFile) || !runFitsInMemory())
        return false;
    if (!readElevations())
        return false;
    if (abortedBetweenPhases())
        return true;

    terrainGrids terrain;
    if (!deriveTerrain(terrain))
        return false;
    if (abortedBetweenPhases())
        return true;

    std::vector<startCell> startCells;
    if (!readStartCellList(startCells))
        return false;
    if (abortedBetweenPhases())
        return true;
    if (startCells.empty()) {
        emit displayError(QStringLiteral("No start cells found. Aborting."));
        return false;
    }
    if (!selectStopCriterion())
        return false;
    startCellCount_ = startCells.size();

    const uint64_t progressTotal =
        static_cast<uint64_t>(settings_.numberOfSimulations > 0 ? settings_.numberOfSimulations : 0)
        * static_cast<uint64_t>(startCells.size());
    propagationOutput result;
    simulate(terrain.aspect, startCells, progressTotal, result);
    terrain.aspect.clear();

    reportPhase(runPhases::aggregating, 0, 1);
    aggregateDisplayGrid(result.passageCounts, terrain.reliefGreys, progressTotal, displayGrid);
    terrain.reliefGreys.clear();
    reportPhase(runPhases::aggregating, 1, 1);
    endTime = QDateTime::currentDateTime();

    if (abortedBetweenPhases())
        return true;
    if (!outputFolderReady())
        return false;
    const bool written = writeOutputs(result.passageCounts, result.reachingStartCells, result.trajectories);
    if (written && !abortRequested.load())
        keepResult(result);
    return written;
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
    lastResult_ = std::move(kept);
}

bool tumbraController::readElevations()
{
    elevationGrid_.clear();
    reportPhase(runPhases::readingElevations, 0, 1);
    const auto readingProgress = [this](qint64 done, qint64 total) {
        reportPhase(runPhases::readingElevations, done, total);
    };
    if (!readElevationRows(demStream, elevationGrid_, demHeader.nrows, demHeader.ncols, readingProgress)) {
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
    return computeReliefGreyGrid(
               elevationGrid_, demHeader.nrows, demHeader.ncols, demHeader.cellsize, terrain.reliefGreys,
               [&](int done, int) { reportPhase(runPhases::derivingTerrain, done, 2 * nrows); })
           && computeAspectGrid(
               elevationGrid_, demHeader.nrows, demHeader.ncols, demHeader.cellsize, demHeader.nodataValue,
               terrain.aspect, [&](int done, int) { reportPhase(runPhases::derivingTerrain, nrows + done, 2 * nrows); });
}

bool tumbraController::readStartCellList(std::vector<startCell>& startCells)
{
    closeStream(startCellsStream);
    if (!openStartCells() || !headerIsUsable(startCellsHeader, startCellsFile_))
        return false;
    rasterMismatchSink mismatch(*sink_);
    const bool consistent = checkRasterConsistency(demHeader, startCellsHeader, demFile, mismatch);
    mismatch.reportTo(demFile, demHeader, startCellsFile_, startCellsHeader);
    if (!consistent)
        return false;
    reportPhase(runPhases::readingStartCells, 0, 1);
    if (!readStartCells(startCellsStream, startCells, startCellsHeader.nrows, startCellsHeader.ncols, *sink_))
        return false;
    closeStream(startCellsStream);
    reportPhase(runPhases::readingStartCells, 1, 1);
    return true;
}

void tumbraController::simulate(const grid<double>& aspect, const std::vector<startCell>& startCells,
                                uint64_t progressTotal, propagationOutput& result)
{
    emit initProgressBar(progressValue(progressTotal, progressTotal));
    reportPhase(runPhases::simulating, 0, 1);

    randomGenerator generator;
    result.passageCounts.assign(demHeader.nrows, demHeader.ncols, 0);
    result.reachingStartCells.assign(demHeader.nrows, demHeader.ncols, 0);
    // Filled by the aggregation; until then the previous map need not be held.
    displayGrid.clear();

    QElapsedTimer loopTimer;
    loopTimer.start();
    int lastProgress = -1;
    const propagationInput input{elevationGrid_, demHeader,      aspect,        startCells,
                                 settings_,      *stopCriterion, abortRequested};
    runPropagation(input, generator, result, [&](uint64_t finished) {
        const int value = progressValue(finished, progressTotal);
        if (value != lastProgress) {
            lastProgress = value;
            emit setProgressBar(value);
        }
        reportPhase(runPhases::simulating, static_cast<int64_t>(finished), static_cast<int64_t>(progressTotal));
    });
    if (result.outOfMemory)
        throw std::bad_alloc();
    qCDebug(timingLog) << "loopTime" << loopTimer.elapsed();
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

bool tumbraController::writeOutputs(const grid<int32_t>& passageCounts, const grid<int32_t>& reachingStartCells,
                                    const trajectoryList& trajectories)
{
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
    auto rowsWritten = [this](const char* phase) {
        reportPhase(phase, 0, 1);
        return [this, phase](int done, int total) { reportPhase(phase, done, total); };
    };
    file = QStringLiteral("N.asc");
    keep(writeCountGrid(file, demHeader, passageCounts, *sink_,
                        rowsWritten(runPhases::writingCounts)));
    const int simulations = settings_.numberOfSimulations;
    const auto probabilityRow = [&](int row, double* values) {
        reachProbabilityRow(passageCounts, reachingStartCells, simulations, row, values);
    };
    file = QStringLiteral("Reach_prob.asc");
    keep(writeProbabilityGrid(file, demHeader, passageCounts.rows(), passageCounts.cols(),
                              probabilityRow, *sink_, rowsWritten(runPhases::writingProbabilities)));
    if (settings_.saveTrajectories) {
        reportPhase(runPhases::writingTrajectories, 0, 1);
        file = QStringLiteral("trajectory_points.txt");
        keep(writeTrajectoryPoints(file, trajectories, *sink_));
        reportPhase(runPhases::writingTrajectories, 1, 1);
    }

    logReport report;
    report.startTime = startTime;
    report.endTime = endTime;
    report.demFile = demFile;
    report.startCellsFile = startCellsFile_;
    report.dem = demHeader;
    report.numberOfSimulations = settings_.numberOfSimulations;
    report.straightDistance = settings_.straightDistance;
    report.profileStep = settings_.profileStep;
    report.maxDeviationAngle = settings_.maxDeviationAngle;
    report.initialFallHeight = settings_.initialFallHeight;
    const QStringList& labels = propagationProbabilityLabels();
    report.riskLabel = settings_.riskIntensity >= 0 && settings_.riskIntensity < labels.size()
                           ? labels.at(settings_.riskIntensity)
                           : QString();
    report.resultsFolder = QDir::currentPath();
    report.summary = runSummary(passageCounts, startCellCount_);
    reportPhase(runPhases::writingLog, 0, 1);
    file = QStringLiteral("log.txt");
    keep(writeLogFile(file, report, *sink_));
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

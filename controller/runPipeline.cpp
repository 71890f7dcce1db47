#include "controller/runPipeline.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <new>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLoggingCategory>

#include <omp.h>

#include "controller/calibrationSearch.h"
#include "controller/hazardSummary.h"
#include "controller/intensitySummary.h"
#include "controller/rasterMismatch.h"
#include "controller/runCoordinator.h"
#include "controller/runMemory.h"
#include "controller/runFolder.h"
#include "controller/runPhases.h"
#include "controller/runSummaryLines.h"
#include "controller/segmentLengthAdvice.h"
#include "controller/settingsTable.h"
#include "engine/aggregation.h"
#include "engine/monteCarloDriver.h"
#include "engine/nearestStartCell.h"
#include "engine/objectHazard.h"
#include "engine/profileWork.h"
#include "engine/randomGenerator.h"
#include "engine/stopCriterion.h"
#include "engine/terrainDerivatives.h"
#include "map/runResultGrids.h"
#include "outputs/objectsTable.h"
#include "outputs/outputStaging.h"
#include "outputs/outputWriting.h"
#include "outputs/runProducts.h"
#include "raster/consistencyChecks.h"
#include "raster/observedLayer.h"
#include "raster/vectorStartCells.h"

// How long the simulation took, for developers: off unless asked for with
// QT_LOGGING_RULES="tumbra.timing.debug=true".
Q_LOGGING_CATEGORY(timingLog, "tumbra.timing", QtInfoMsg)

namespace {
using resultCode::completed;
using resultCode::failed;
using resultCode::stoppedByUser;

// Each input is read by the reader its own suffix names.
QString unsupportedTypeText(const QString& what, const QString& fileName)
{
    return QStringLiteral("The file type of %1 %2 is not supported. Supported are %3.")
        .arg(what, fileName, supportedRasterInputs());
}

}  // namespace

runPipeline::runPipeline(const runRequest& request, runEvents& events, std::atomic<bool>& abortRequested,
                         runCoordinator* coordinator)
    : request_(request), events_(events), abortRequested_(abortRequested), coordinator_(coordinator)
{
}

runPipeline::~runPipeline() { closeInputs(); }

int runPipeline::progressValue(uint64_t count, uint64_t total)
{
    const uint64_t maxValue = static_cast<uint64_t>(INT_MAX);
    if (total <= maxValue)
        return static_cast<int>(count);
    const uint64_t divisor = total / maxValue + 1;
    return static_cast<int>(count / divisor);
}

runOutcome runPipeline::run()
{
    startTime_ = QDateTime::currentDateTime();
    runOutcome outcome;
    try {
        outcome.code = runStages(outcome);
    } catch (const std::bad_alloc&) {
        events_.error(QStringLiteral("Process ran out of memory. Aborting."));
        outcome.code = failed;
    } catch (...) {
        events_.error(QStringLiteral("Unhandled exception. Aborting."));
        outcome.code = failed;
    }
    if (outcome.code != completed)
        outcome.grids.reset();
    closeInputs();
    return outcome;
}

void runPipeline::closeInputs()
{
    for (rasterInput* input : {demInput_.get(), startCellsInput_.get()}) {
        if (input)
            input->close();
    }
}

// What a stage throws ends it as a failure right here, so that a run shared
// among processes still meets the others after it.
template <class Stage>
int runPipeline::guardedStage(Stage stage)
{
    try {
        return stage();
    } catch (const std::bad_alloc&) {
        events_.error(QStringLiteral("Process ran out of memory. Aborting."));
    } catch (...) {
        events_.error(QStringLiteral("Unhandled exception. Aborting."));
    }
    return failed;
}

// A run of its own keeps its code; a shared run takes the code all its
// processes agree on.
int runPipeline::agreeWithOthers(int localCode)
{
    if (!coordinator_)
        return localCode;
    // A stop is told once, by the run's closing line.
    return coordinator_->agree(localCode);
}

int runPipeline::runStages(runOutcome& outcome)
{
    terrainGrids terrain;
    int code = agreeWithOthers(guardedStage([&] { return prepareInputs(terrain); }));
    if (code != completed)
        return code;

    propagationOutput result;
    code = request_.calibrate ? calibrate(terrain.aspect, result) : simulate(terrain.aspect, result);
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
    if (const QString warning = degenerateRunWarning(result.runOuts, request_.settings.segmentLength,
                                                     demHeader_.cellsize);
        !warning.isEmpty()) {
        events_.warning(warning);
        degenerate_ = true;
    }
    if (evidence_ && !request_.calibrate)
        scoreRun(result);
    return agreeWithOthers(guardedStage([&] { return writeResults(result, terrain, outcome); }));
}

int runPipeline::prepareInputs(terrainGrids& terrain)
{
    if (!checkSettings() || !openDigitalElevationModel())
        return failed;
    if (!headerIsUsable(demHeader_, request_.demFile) || !runFitsInMemory())
        return failed;
    if (const QString advice = segmentLengthWarning(request_.settings.segmentLength, demHeader_.cellsize);
        !advice.isEmpty())
        events_.warning(advice);
    if (!readElevations())
        return failed;
    if (aborted())
        return stoppedByUser;
    if (!deriveTerrain(terrain))
        return failed;
    if (aborted())
        return stoppedByUser;
    if (!readStartCellList())
        return failed;
    if (aborted())
        return stoppedByUser;
    if (!request_.objectsFile.isEmpty() && !readObjects())
        return failed;
    if (!request_.observedFile.isEmpty() && !readEvidence())
        return failed;
    if (request_.measuresWanted() && !readMeasures())
        return failed;
    if (startCells_.empty()) {
        events_.error(QStringLiteral("No start cells found. Aborting."));
        return failed;
    }
    if (!trajectoriesFitCounts() || !makeReleases() || !frequenciesFitCounts() || !profileWorkWithinReach()
        || !selectStopCriterion())
        return failed;
    countTrajectories();
    progressTotal_ = trajectoryTotal_;
    if (request_.calibrate && !calibrationRunsFeasible(calibrationCombinations(request_)))
        return failed;
    return completed;
}

// The evidence on the DEM's grid, with each cell's nearest start cell for
// the observed run-outs; a calibration's runs share one seed.
bool runPipeline::readEvidence()
{
    const outputGeoreference placement = demInput_->georeference();
    const std::optional<observedCells> observed =
        readObservedLayer({request_.observedFile, request_.observedLayer, {}}, QStringLiteral("observed run-out"),
                          false, demHeader_, placement.geoTransform, demSystem_, events_);
    if (!observed)
        return false;
    observedEvidence evidence;
    evidence.area = observed->area;
    evidence.points = observed->points;
    if (!request_.studyAreaFile.isEmpty()) {
        const std::optional<observedCells> study =
            readObservedLayer({request_.studyAreaFile, {}, {}}, QStringLiteral("study area"), true, demHeader_,
                              placement.geoTransform, demSystem_, events_);
        if (!study)
            return false;
        evidence.studyArea = study->area;
    }
    evidence.nearest = nearestStartCellsOf(startCells_, demHeader_.nrows, demHeader_.ncols, demHeader_.cellsize);
    evidence.releaseAreaOfStartCell =
        releaseAreasOf(startCells_, demHeader_.nrows, demHeader_.ncols, evidence.releaseAreas);
    evidence_ = std::move(evidence);
    if (request_.calibrate && !request_.seed) {
        request_.seed = 1;
        events_.message(QStringLiteral("The calibration's runs share one seed: 1 (give --seed to choose another)."));
    }
    if (request_.calibrate && coordinator_ && coordinator_->processCount() > 1) {
        events_.error(QStringLiteral("A calibration runs in one process: start it without mpirun, or with one "
                                     "process."));
        return false;
    }
    return true;
}

// Forest indices on the DEM's grid and the barriers by the cells they pass.
bool runPipeline::readMeasures()
{
    const outputGeoreference placement = demInput_->georeference();
    const double* geoTransform = placement.geoTransform;
    protectionMeasures measures;
    measures.forestParameters = request_.forest;
    const QString& forestFile = request_.forestFile;
    if (isVectorFileName(forestFile)) {
        std::optional<grid<float>> forest =
            readForestLayer({forestFile, {}, {}}, request_.forestField, demHeader_, geoTransform, demSystem_, events_);
        if (!forest)
            return false;
        forest_ = std::move(*forest);
    } else if (!forestFile.isEmpty()) {
        std::unique_ptr<rasterInput> input = rasterInputFor(forestFile);
        rasterHeader header;
        if (!input || !input->open(forestFile, header, events_) || !headerIsUsable(header, forestFile)
            || !checkSameCoordinateSystem(demSystem_, input->system(), request_.demFile, forestFile, events_))
            return false;
        rasterMismatchSink mismatch(events_);
        const bool consistent = checkRasterConsistency(demHeader_, header, request_.demFile, mismatch, forestFile);
        mismatch.reportTo(request_.demFile, demHeader_, forestFile, header, QStringLiteral("forest"));
        if (!consistent || !input->readElevations(forest_, events_))
            return false;
        input->close();
        if (!checkForestIndices(forest_, header.nodataValue, forestFile, events_))
            return false;
    }
    if (!forest_.empty())
        measures.forest = &forest_;
    if (!request_.barriersFile.isEmpty()) {
        std::optional<std::vector<barrierLine>> barriers =
            readBarriersLayer({request_.barriersFile, {}, {}}, request_.barrierCapacityField, demHeader_, geoTransform,
                              demSystem_, events_);
        if (!barriers)
            return false;
        barrierLines_ = std::move(*barriers);
        barrierIndex_ = barrierIndex(demHeader_.nrows, demHeader_.ncols);
        // Map coordinates to cells from the north-west corner, as the trajectories count them.
        const auto x = [&](double mapX) { return (mapX - geoTransform[0]) / geoTransform[1]; };
        const auto y = [&](double mapY) { return (mapY - geoTransform[3]) / geoTransform[5]; };
        for (std::size_t b = 0; b < barrierLines_.size(); ++b) {
            barrierCapacities_.push_back(barrierLines_[b].capacity);
            for (const auto& line : barrierLines_[b].lines)
                for (std::size_t k = 1; k < line.size(); ++k)
                    barrierIndex_.add(static_cast<uint32_t>(b), x(line[k - 1].first), y(line[k - 1].second),
                                      x(line[k].first), y(line[k].second));
        }
        barrierIndex_.finish();
        measures.barriers = &barrierIndex_;
        measures.capacities = &barrierCapacities_;
    }
    measures_ = measures;
    return true;
}

// Every run of a calibration must be one the run checks would let through.
bool runPipeline::calibrationRunsFeasible(const std::vector<QList<QPair<QString, QVariant>>>& combinations)
{
    const runRequest asked = request_;
    uint64_t total = 0;
    bool feasible = true;
    for (const settingValues& combination : combinations) {
        applySettingValues(request_, combination);
        countTrajectories();
        total += trajectoryTotal_;
        if (!checkSettings() || !trajectoriesFitCounts() || !frequenciesFitCounts() || !profileWorkWithinReach()
            || !selectStopCriterion()) {
            feasible = false;
            break;
        }
    }
    request_ = asked;
    countTrajectories();
    progressTotal_ = total;
    return feasible;
}

// One run against the evidence: the study area (by default the cells it
// reached and the mapped reach) and the scores.
void runPipeline::scoreRun(const propagationOutput& result)
{
    const observedEvidence& evidence = *evidence_;
    const runTally tally =
        tallyRun(evidence, result.passageCounts, result.reachingStartCells, request_.settings.numberOfSimulations);
    studyExtent study(evidence);
    study.addRun(result.passageCounts);
    calibration_ = calibrationReport{};
    calibration_.settingNames = calibrationSettingNames(request_);
    calibration_.rows.push_back(
        calibrationRowOf(scoresOf(tally, study.cells(), study.observedCells(), hectaresPerCell()),
                         startTime_.msecsTo(QDateTime::currentDateTime()) / 1000.0));
}

// calibration.csv's columns, and one run's row with the request's settings.
QStringList runPipeline::calibrationSettingNames(const runRequest& request)
{
    QStringList names;
    for (const QString& name : calibrationSettingRows(request))
        names << settingNamed(name).labelWithUnit();
    return names;
}

calibrationRow runPipeline::calibrationRowOf(const runScores& scores, double seconds) const
{
    calibrationRow row;
    for (const QString& name : calibrationSettingRows(request_))
        row.settings << settingValueText(settingNamed(name), request_);
    row.scores = scores;
    row.seconds = seconds;
    return row;
}

double runPipeline::hectaresPerCell() const
{
    return static_cast<double>(demHeader_.cellsize) * demHeader_.cellsize / 10000.0;
}

// Start cells x simulations of the request's settings.
void runPipeline::countTrajectories()
{
    trajectoryTotal_ = static_cast<uint64_t>(std::max(request_.settings.numberOfSimulations, 0)) * startCells_.size();
}

// A zero step would make the profile sampling or the trajectory endless.
bool runPipeline::checkSettings()
{
    if (!(request_.settings.segmentLength > 0.0)) {
        events_.error(QStringLiteral("The segment length must be greater than 0."));
        return false;
    }
    if (!(request_.settings.profileStep > 0.0)) {
        events_.error(QStringLiteral("The profile step must be greater than 0."));
        return false;
    }
    return true;
}

bool runPipeline::openDigitalElevationModel()
{
    if (request_.demFile.isEmpty()) {
        events_.error(QStringLiteral("No file name provided!"));
        return false;
    }
    demInput_ = rasterInputFor(request_.demFile);
    if (!demInput_) {
        // Without a word here the run would fail in silence.
        events_.error(unsupportedTypeText(QStringLiteral("DEM"), request_.demFile));
        return false;
    }
    if (!demInput_->open(request_.demFile, demHeader_, events_))
        return false;
    demSystem_ = demInput_->system();
    return checkElevationCoordinateSystem(demSystem_, demHeader_, request_.demFile, events_);
}

bool runPipeline::openStartCells()
{
    startCellsInput_ = rasterInputFor(request_.startCellsFile);
    if (request_.startCellsFile.isEmpty()) {
        events_.error(QStringLiteral("No file name provided!"));
        return false;
    }
    if (!startCellsInput_) {
        events_.error(unsupportedTypeText(QStringLiteral("start cells file"), request_.startCellsFile));
        return false;
    }
    return startCellsInput_->open(request_.startCellsFile, startCellsHeader_, events_)
           && checkSameCoordinateSystem(demSystem_, startCellsInput_->system(), request_.demFile,
                                        request_.startCellsFile, events_);
}

bool runPipeline::selectStopCriterion()
{
    if (auto selected = makeStopCriterion(request_.settings.probabilityClass))
        stopCriterion_ = std::move(selected);
    if (!stopCriterion_) {
        events_.error(
            QStringLiteral("Unknown propagation probability class %1.").arg(request_.settings.probabilityClass));
        return false;
    }
    return true;
}

// A header whose sizes make no grid ends the run before anything is read
// for it. An infinite cell size would turn every distance into NaN.
bool runPipeline::headerIsUsable(const rasterHeader& header, const QString& fileName)
{
    if (!(header.nrows > 0 && header.ncols > 0 && header.cellsize > 0.0f)) {
        events_.error(QStringLiteral("The header of file %1 is invalid: nrows, ncols and cellsize must be "
                                     "greater than 0.")
                          .arg(fileName));
        return false;
    }
    if (!std::isfinite(header.cellsize)) {
        events_.error(
            QStringLiteral("The header of file %1 is invalid: cellsize must be a finite number.").arg(fileName));
        return false;
    }
    return true;
}

// Refused before anything is allocated: a grid larger than the machine's
// memory would otherwise end in swapping for hours or in the system killing
// the process, with nothing said.
bool runPipeline::runFitsInMemory()
{
    const std::uint64_t frequencyGrids =
        request_.frequenciesWanted()
            ? 1 + (request_.intensity.energiesWanted() ? request_.intensity.energyClassLimits.size() : 0)
            : 0;
    // Field evidence: its masks, each cell's nearest start cell and, while
    // that is found, its squared distance; a calibration keeps its best
    // run's counts beside the current run's.
    const std::uint64_t evidenceBytes = request_.observedFile.isEmpty() ? 0 : 2 + 8 + 12;
    const std::uint64_t calibrationBytes =
        request_.calibrate ? 2 * sizeof(int32_t) + intensityBytesPerCell(request_.intensity) : 0;
    // Measures: the forest's indices and the counts and energies without them.
    const std::uint64_t measureBytes =
        request_.measuresWanted() ? sizeof(float) + 2 * sizeof(int32_t) + sizeof(double) : 0;
    const std::uint64_t intensityBytes = intensityBytesPerCell(request_.intensity) + frequencyGrids * sizeof(int64_t)
                                         + evidenceBytes + calibrationBytes + measureBytes;
    const std::uint64_t needed = estimatedRunBytes(demHeader_.nrows, demHeader_.ncols, intensityBytes);
    const std::uint64_t physical = physicalMemoryBytes();
    if (fitsInMemory(needed, physical))
        return true;
    constexpr double megabyte = 1024.0 * 1024.0;
    events_.error(QStringLiteral("File %1 describes a grid of %2 x %3 cells: a run on it needs about %4 MB of "
                                 "memory (%6 bytes per cell), more than the %5 MB this machine has. Aborting.")
                      .arg(request_.demFile)
                      .arg(demHeader_.nrows)
                      .arg(demHeader_.ncols)
                      .arg(static_cast<double>(needed) / megabyte, 0, 'f', 0)
                      .arg(static_cast<double>(physical) / megabyte, 0, 'f', 0)
                      .arg(runBytesPerCell + intensityBytes));
    return false;
}

// The outputs go into the request's folder, by absolute paths. If that
// folder was removed in the meantime, it is made again at the same place,
// so that hours of simulation are not lost.
bool runPipeline::outputFolderReady()
{
    if (!request_.outputFolder.isEmpty() && QFileInfo(request_.outputFolder).isDir())
        return true;
    if (request_.outputFolder.isEmpty()) {
        events_.error(QStringLiteral("The output folder no longer exists. No files saved."));
        return false;
    }
    if (!QDir().mkpath(request_.outputFolder)) {
        events_.error(QStringLiteral("The output folder %1 no longer exists and cannot be created again. "
                                     "No files saved.")
                          .arg(request_.outputFolder));
        return false;
    }
    events_.warning(QStringLiteral("The output folder %1 was removed during the run and has been created again.")
                        .arg(request_.outputFolder));
    return true;
}

// Counts are 32-bit: a run with more trajectories than they can hold would
// wrap round in the cells every trajectory reaches.
bool runPipeline::trajectoriesFitCounts()
{
    const std::size_t startCellCount = startCells_.size();
    const uint64_t simulations = static_cast<uint64_t>(std::max(request_.settings.numberOfSimulations, 0));
    const uint64_t most = static_cast<uint64_t>(INT32_MAX);
    if (startCellCount <= most && simulations * startCellCount <= most)
        return true;
    events_.error(QStringLiteral("The run would simulate %1 trajectories (%2 start cells x %3 simulations), more "
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
bool runPipeline::profileWorkWithinReach()
{
    const profileWork work =
        estimateProfileWork(demHeader_, request_.settings, static_cast<double>(startCells_.size()));
    if (!work.beyondReach)
        return true;
    events_.error(QString::fromStdString(work.explanation));
    return false;
}

bool runPipeline::readElevations()
{
    elevations_.clear();
    reportPhase(runPhases::readingElevations, 0, 1);
    const auto readingProgress = [this](qint64 done, qint64 total) {
        reportPhase(runPhases::readingElevations, done, total);
    };
    if (!demInput_->readElevations(elevations_, events_, readingProgress))
        return false;
    reportPhase(runPhases::readingElevations, 1, 1);
    return true;
}

bool runPipeline::deriveTerrain(terrainGrids& terrain)
{
    // The relief is computed first, then the slope directions: half the phase each.
    reportPhase(runPhases::derivingTerrain, 0, 1);
    const int64_t nrows = demHeader_.nrows;
    return computeReliefGreyGrid(elevations_, demHeader_.nrows, demHeader_.ncols, demHeader_.cellsize,
                                 terrain.reliefGreys,
                                 [&](int done, int) { reportPhase(runPhases::derivingTerrain, done, 2 * nrows); })
           && computeAspectGrid(elevations_, demHeader_.nrows, demHeader_.ncols, demHeader_.cellsize,
                                demHeader_.nodataValue, terrain.aspect, [&](int done, int) {
                                    reportPhase(runPhases::derivingTerrain, nrows + done, 2 * nrows);
                                });
}

// A layer is burnt onto the DEM's grid, so the raster checks have nothing to
// compare. Its release fields are read with it, each feature's values going
// to its own start cells.
bool runPipeline::readStartCellsLayer()
{
    reportPhase(runPhases::readingStartCells, 0, 1);
    const vectorLayerSource source{request_.startCellsFile, request_.startLayer, request_.startWhere};
    const outputGeoreference placement = demInput_->georeference();
    const double* geoTransform = placement.geoTransform;
    const releaseFieldNames& names = request_.releaseFields;
    struct wantedField
    {
        const QString& name;
        featureValueSpread spread;
        double startCellRelease::*value;  // what the field's values replace
    };
    const wantedField wanted[] = {
        {names.frequency, featureValueSpread::sharedOut, &startCellRelease::frequency},
        {names.frequencyPerHectare, featureValueSpread::perHectare, &startCellRelease::frequency},
        {names.volume, featureValueSpread::largest, &startCellRelease::blockVolume},
        {names.density, featureValueSpread::largest, &startCellRelease::rockDensity},
        {names.fallHeight, featureValueSpread::largest, &startCellRelease::fallHeight}};
    std::vector<startCellField> fields;
    for (const wantedField& field : wanted)
        if (!field.name.isEmpty()) {
            fields.push_back({field.name, field.spread});
            releaseValueOf_.push_back(field.value);
        }
    auto read = ::readStartCellsLayer(source, demHeader_, geoTransform, demSystem_, fields, events_);
    if (!read)
        return false;
    startCells_ = std::move(read->cells);
    releaseFieldValues_ = std::move(read->values);
    if (read->featuresWithoutCells > 0 && names.frequencies())
        events_.warning(QStringLiteral("%1 features of the start cells layer %2 take no cell of the DEM; their "
                                       "frequencies are not counted.")
                            .arg(read->featuresWithoutCells)
                            .arg(request_.startCellsFile));
    reportPhase(runPhases::readingStartCells, 1, 1);
    return true;
}

// Every start cell's release: the run's settings, replaced by what the start
// layer's fields give.
bool runPipeline::makeReleases()
{
    if (!request_.releasesWanted())
        return true;
    const startCellRelease plain{request_.releaseFrequency.value_or(0.0), request_.intensity.blockVolume,
                                 request_.intensity.rockDensity, request_.settings.initialFallHeight};
    releases_.assign(startCells_.size(), plain);
    for (std::size_t k = 0; k < releaseValueOf_.size(); ++k) {
        const std::vector<double>& values = releaseFieldValues_[k];
        for (std::size_t i = 0; i < releases_.size(); ++i)
            releases_[i].*releaseValueOf_[k] = values[i];
    }
    return true;
}

// A cell's frequency sum holds at most every start cell's frequency times
// the simulations; beyond 64 bits it would wrap round.
bool runPipeline::frequenciesFitCounts()
{
    if (!request_.frequenciesWanted())
        return true;
    const double simulations = std::max(request_.settings.numberOfSimulations, 0);
    double most = 0.0;
    for (const startCellRelease& release : releases_)
        most += static_cast<double>(frequencyUnits(release.frequency)) * simulations;
    if (most < 9.0e18)
        return true;
    double total = 0.0;
    for (const startCellRelease& release : releases_)
        total += release.frequency;
    events_.error(QStringLiteral("The start cells release %1 events per year together, more than the frequency "
                                 "grids can add up with %2 simulations. Check the frequencies' unit (events per "
                                 "year), or use fewer simulations.")
                      .arg(total, 0, 'g', 6)
                      .arg(request_.settings.numberOfSimulations));
    return false;
}

// The range of every per-release value over the start cells.
QStringList runPipeline::releaseLogLines() const
{
    QStringList lines;
    if (releases_.empty())
        return lines;
    const releaseFieldNames& names = request_.releaseFields;
    const auto range = [this](double startCellRelease::*member) {
        const auto [low, high] = std::minmax_element(
            releases_.begin(), releases_.end(),
            [member](const startCellRelease& a, const startCellRelease& b) { return a.*member < b.*member; });
        return QStringLiteral("%1 to %2").arg((*low).*member, 0, 'g', 6).arg((*high).*member, 0, 'g', 6);
    };
    if (request_.frequenciesWanted()) {
        const QString source =
            !names.frequency.isEmpty()
                ? QStringLiteral("field \"%1\", shared out over each feature's cells").arg(names.frequency)
            : !names.frequencyPerHectare.isEmpty()
                ? QStringLiteral("field \"%1\" per hectare").arg(names.frequencyPerHectare)
                : QStringLiteral("one value for every start cell");
        double total = 0.0;
        for (const startCellRelease& release : releases_)
            total += release.frequency;
        lines
            << QStringLiteral("Release frequency source: %1").arg(source)
            << QStringLiteral("Release frequency per start cell (1/year): %1").arg(range(&startCellRelease::frequency))
            << QStringLiteral("Release frequency of all start cells (1/year): %1").arg(total, 0, 'g', 6);
    }
    if (!names.volume.isEmpty())
        lines << QStringLiteral("Block volume per start cell (m%1): %2")
                     .arg(QChar(0x00B3))
                     .arg(range(&startCellRelease::blockVolume));
    if (!names.density.isEmpty())
        lines << QStringLiteral("Rock density per start cell (kg/m%1): %2")
                     .arg(QChar(0x00B3))
                     .arg(range(&startCellRelease::rockDensity));
    if (!names.fallHeight.isEmpty())
        lines << QStringLiteral("Initial fall height per start cell (m): %1").arg(range(&startCellRelease::fallHeight));
    return lines;
}

// A vector layer is burnt onto the DEM's grid; a raster must lie on it, in
// the DEM's coordinate system, as start cells must.
bool runPipeline::readObjects()
{
    const QString& file = request_.objectsFile;
    if (isVectorFileName(file)) {
        objects_ = readObjectsLayer({file, request_.objectsLayer, {}}, request_.objectsIdField, demHeader_,
                                    demInput_->georeference().geoTransform, demSystem_, events_, &objectOutlines_);
        return objects_.has_value();
    }
    std::unique_ptr<rasterInput> input = rasterInputFor(file);
    if (!input) {
        events_.error(unsupportedTypeText(QStringLiteral("objects at risk"), file));
        return false;
    }
    rasterHeader header;
    if (!input->open(file, header, events_) || !headerIsUsable(header, file)
        || !checkSameCoordinateSystem(demSystem_, input->system(), request_.demFile, file, events_))
        return false;
    rasterMismatchSink mismatch(events_);
    const bool consistent = checkRasterConsistency(demHeader_, header, request_.demFile, mismatch, file);
    mismatch.reportTo(request_.demFile, demHeader_, file, header, QStringLiteral("objects at risk"));
    if (!consistent)
        return false;
    elevationGrid values;
    const bool read = input->readElevations(values, events_);
    input->close();
    if (!read)
        return false;
    objects_ = objectsFromGrid(values, header.nodataValue, file, events_);
    if (objects_)
        objectOutlines_ = objectOutlinesOfCells(*objects_, demHeader_.ncols, demInput_->georeference().geoTransform);
    return objects_.has_value();
}

bool runPipeline::readStartCellList()
{
    if (isVectorFileName(request_.startCellsFile))
        return readStartCellsLayer();
    if (!openStartCells() || !headerIsUsable(startCellsHeader_, request_.startCellsFile))
        return false;
    rasterMismatchSink mismatch(events_);
    const bool consistent =
        checkRasterConsistency(demHeader_, startCellsHeader_, request_.demFile, mismatch, request_.startCellsFile);
    mismatch.reportTo(request_.demFile, demHeader_, request_.startCellsFile, startCellsHeader_);
    if (!consistent)
        return false;
    reportPhase(runPhases::readingStartCells, 0, 1);
    const bool read = startCellsInput_->readStartCells(startCells_, events_);
    startCellsInput_->close();
    if (!read)
        return false;
    reportPhase(runPhases::readingStartCells, 1, 1);
    return true;
}

int runPipeline::simulate(const grid<double>& aspect, propagationOutput& result)
{
    // A calibration's runs fill one bar, each from where the last ended.
    const uint64_t progressTotal = std::max(progressTotal_, trajectoryTotal_);
    const uint64_t progressDone = progressDone_;
    const QString simulating = QString::fromLatin1(runPhases::simulating);
    if (progressDone == 0) {
        events_.progressBarStarted(progressValue(progressTotal, progressTotal));
        reportPhase(simulating, 0, 1);
    }

    // Shown from the engine's threads one at a time, or in a shared run from
    // the coordinator with the count of all processes.
    int lastProgress = -1;
    const auto showProgress = [&](uint64_t finishedHere) {
        const uint64_t finished = progressDone + finishedHere;
        const int value = progressValue(finished, progressTotal);
        if (value != lastProgress) {
            lastProgress = value;
            events_.progressBarMoved(value);
        }
        reportPhase(simulating, static_cast<int64_t>(finished), static_cast<int64_t>(progressTotal));
    };
    std::vector<std::size_t> share;
    if (coordinator_) {
        share = coordinator_->share(startCells_.size());
        coordinator_->simulationStarted(showProgress, [this] { abortRequested_.store(true); });
    }

    const int code = guardedStage([&] {
        randomGenerator generator;
        result.passageCounts.assign(demHeader_.nrows, demHeader_.ncols, 0);
        result.reachingStartCells.assign(demHeader_.nrows, demHeader_.ncols, 0);
        if (request_.intensity.enabled)
            result.intensity.assign(demHeader_.nrows, demHeader_.ncols, request_.intensity);
        const std::size_t energyClasses =
            request_.intensity.energiesWanted() ? request_.intensity.energyClassLimits.size() : 0;
        if (request_.frequenciesWanted())
            result.frequencies.assign(demHeader_.nrows, demHeader_.ncols, energyClasses);
        if (measures_)
            result.unprotected.assign(demHeader_.nrows, demHeader_.ncols, request_.intensity.energiesWanted(),
                                      request_.frequenciesWanted(), energyClasses);

        QElapsedTimer loopTimer;
        loopTimer.start();
        propagationInput input{elevations_,       demHeader_,      aspect,         startCells_,
                               request_.settings, *stopCriterion_, abortRequested_};
        input.seed = request_.seed;
        input.share = coordinator_ ? &share : nullptr;
        input.intensity = &request_.intensity;
        std::optional<objectReach> reach;
        if (objects_)
            reach.emplace(*objects_, startCells_.size());
        input.objects = reach ? &*reach : nullptr;
        input.releases = releases_.empty() ? nullptr : &releases_;
        std::optional<objectReach> reachUnprotected;
        if (objects_ && measures_)
            reachUnprotected.emplace(*objects_, startCells_.size());
        input.measures = measures_ ? &*measures_ : nullptr;
        input.objectsUnprotected = reachUnprotected ? &*reachUnprotected : nullptr;
        runCoordinator* const coordinator = coordinator_;
        runPropagation(input, generator, result, [&](uint64_t finished) {
            if (coordinator)
                coordinator->localProgress(finished);
            else
                showProgress(finished);
        });
        qCDebug(timingLog) << "loopTime" << loopTimer.elapsed();
        return static_cast<int>(aborted() ? stoppedByUser : completed);
    });
    if (!coordinator_)
        return code;
    // A stop is told once, by the run's closing line.
    return coordinator_->simulationEnded(code);
}

// Every combination in turn, seeded alike, scored against the evidence. The
// default study area (every cell some run reached, and the mapped reach)
// grows with the runs, so the ranking is made once all are done; the best
// run so far is kept, and the best of the ranking simulated once more only
// when that is another one.
int runPipeline::calibrate(const grid<double>& aspect, propagationOutput& best)
{
    const std::vector<settingValues> combinations = calibrationCombinations(request_);
    const observedEvidence& evidence = *evidence_;
    const runRequest asked = request_;
    studyExtent study(evidence);
    const auto scoresOn = [&](const runTally& tally) {
        return scoresOf(tally, study.cells(), study.observedCells(), hectaresPerCell());
    };

    std::vector<runTally> tallies;
    std::vector<double> seconds;
    std::size_t kept = combinations.size();
    propagationOutput current;
    progressDone_ = 0;
    for (std::size_t k = 0; k < combinations.size(); ++k) {
        request_ = asked;
        applySettingValues(request_, combinations[k]);
        countTrajectories();
        if (!selectStopCriterion())
            return failed;
        QElapsedTimer timer;
        timer.start();
        current = propagationOutput{};
        if (const int code = simulate(aspect, current); code != completed)
            return code;
        seconds.push_back(timer.elapsed() / 1000.0);
        progressDone_ += trajectoryTotal_;
        tallies.push_back(tallyRun(evidence, current.passageCounts, current.reachingStartCells,
                                   request_.settings.numberOfSimulations));
        study.addRun(current.passageCounts);
        // The kept run and this one compared on the study area as it now is,
        // the nearest there is to the final one.
        const auto figureOf = [&](std::size_t run) {
            const double figure = criterionValue(scoresOn(tallies[run]), asked.calibrateBy);
            return std::isnan(figure) ? -INFINITY : figure;
        };
        if (kept == combinations.size() || figureOf(k) > figureOf(kept)) {
            std::swap(best, current);
            kept = k;
        }
    }
    current = propagationOutput{};

    std::vector<runScores> scores;
    for (const runTally& tally : tallies)
        scores.push_back(scoresOn(tally));
    const std::vector<std::size_t> ranking = rankedRuns(scores, asked.calibrateBy);
    calibration_ = calibrationReport{};
    calibration_.criterion = criterionName(asked.calibrateBy);
    calibration_.settingNames = calibrationSettingNames(asked);
    for (const std::size_t k : ranking) {
        request_ = asked;
        applySettingValues(request_, combinations[k]);
        calibration_.rows.push_back(calibrationRowOf(scores[k], seconds[k]));
    }

    request_ = asked;
    applySettingValues(request_, combinations[ranking.front()]);
    countTrajectories();
    if (!selectStopCriterion())
        return failed;
    if (ranking.front() == kept)
        return completed;
    events_.message(QStringLiteral("Simulating the best settings once more for their files."));
    progressDone_ = 0;
    progressTotal_ = trajectoryTotal_;
    best = propagationOutput{};
    return simulate(aspect, best);
}

void runPipeline::reportPhase(const QString& phase, int64_t done, int64_t total)
{
    const int percent = total > 0 ? static_cast<int>(std::clamp<int64_t>(done, 0, total) * 100 / total) : 100;
    if (phase == reportedPhase_ && percent == reportedPercent_)
        return;
    reportedPhase_ = phase;
    reportedPercent_ = percent;
    events_.phaseProgress(phase, percent);
}

// The map's grids first, moved out of the result, then the files from them:
// nothing after the simulation may need memory that could turn a
// completed run into a failed one.
int runPipeline::writeResults(propagationOutput& result, terrainGrids& terrain, runOutcome& outcome)
{
    const QString aggregating = QString::fromLatin1(runPhases::aggregating);
    grid<int32_t> displayGrid;
    reportPhase(aggregating, 0, 1);
    aggregateDisplayGrid(result.passageCounts, terrain.reliefGreys, trajectoryTotal_, displayGrid);
    terrain.reliefGreys.clear();
    reportPhase(aggregating, 1, 1);
    endTime_ = QDateTime::currentDateTime();
    if (aborted())
        return stoppedByUser;
    if (!outputFolderReady())
        return failed;

    const std::shared_ptr<runResultGrids> grids = keepResult(result, displayGrid);
    const runProducts products = productsOf(*grids, result);
    outcome.summary = products.log.summary;
    outputStaging staging(request_.outputFolder);
    const std::vector<plannedOutput> planned = plannedOutputs(outputSelectionOf(request_));
    const writtenOutputs written = writeStagedOutputs(
        planned, products, staging, events_,
        [this](const QString& phase, int64_t done, int64_t total) { reportPhase(phase, done, total); },
        [this] { return aborted(); });
    outcome.filesNotWritten = written.notWritten;
    // A stop while the files were written leaves none of them; once they
    // are in place the run is complete, whenever a stop comes.
    if (aborted())
        return stoppedByUser;
    if (!written.complete() || !placeOutputs(staging, planned, outcome.filesWritten)) {
        outcome.filesNotWritten = plannedFileNames(planned);
        return failed;
    }
    outcome.objects = products.objectsRows;
    outcome.grids = grids;
    outcome.report = products.report;
    return completed;
}

std::shared_ptr<runResultGrids> runPipeline::keepResult(propagationOutput& result, grid<int32_t>& displayGrid)
{
    auto kept = std::make_shared<runResultGrids>();
    kept->header = demHeader_;
    kept->displayGrid = std::move(displayGrid);
    kept->passageCounts = std::move(result.passageCounts);
    kept->reachingStartCells = std::move(result.reachingStartCells);
    kept->elevations = std::move(elevations_);
    kept->numberOfSimulations = request_.settings.numberOfSimulations;
    kept->intensityOptions = request_.intensity;
    kept->intensity = std::move(result.intensity);
    kept->frequencies = std::move(result.frequencies);
    if (measures_) {
        kept->unprotected = std::move(result.unprotected);
        kept->barriers = result.barriers;
        kept->barrierLines = barrierLines_;
    }
    kept->hazard = request_.hazard;
    if (request_.hazard.enabled)
        hazardGrids(kept->hazard, kept->frequencies, kept->passageCounts, kept->numberOfSimulations, kept->hazardLevels,
                    kept->hazardMatrixCells);
    kept->trajectories = trajectoryTotal_;
    // A GeoTIFF DEM lends its geotransform as it is.
    kept->placement = demInput_->georeference();
    kept->runOuts = std::move(result.runOuts);
    kept->objectOutlines = std::move(objectOutlines_);
    if (objects_)
        kept->sourceShares.emplace(startCells_, result.objectTotals, request_.settings.numberOfSimulations,
                                   demHeader_.ncols, demHeader_.nodataValue);
    return kept;
}

// The objects' rows and the log, with every line of the run summary.
runProducts runPipeline::productsOf(const runResultGrids& grids, const propagationOutput& result) const
{
    runProducts products{grids, demSystem_, result.trajectories, result.trajectoryOrigins, {}, {}, {}, {}, {}};
    mapColouringFromName(request_.mapColouring, products.colouring);
    logReport& report = products.log;
    report.startTime = startTime_;
    report.endTime = endTime_;
    report.demFile = request_.demFile;
    report.startCellsFile = request_.startCellsFile;
    report.dem = demHeader_;
    report.settings = settingLogLines(request_);
    report.resultsFolder = request_.outputFolder;
    report.coordinateSystemLine = coordinateSystemLogLine(demSystem_);
    report.seed = request_.seed;
    report.summary = runSummary(grids.passageCounts);
    report.summary << intensitySummaryLines(request_.intensity, grids.intensity, grids.passageCounts,
                                            demHeader_.cellsize);
    report.summary << releaseLogLines();
    report.summary << calibrationLogLines(request_.observedFile, calibration_);
    report.summary << measureLogLines(result);
    products.calibration = calibration_;
    if (request_.hazard.enabled)
        report.summary << hazardSummaryLines(grids);
    if (objects_) {
        products.objects = objectReports(*objects_, result.objectTotals, grids.passageCounts, grids.reachingStartCells,
                                         grids.numberOfSimulations);
        addObjectFrequencies(*objects_, grids.frequencies, grids.passageCounts, grids.numberOfSimulations,
                             request_.hazard.enabled ? &request_.hazard : nullptr, products.objects);
        if (measures_)
            addUnprotectedObjectReports(*objects_, grids.unprotected, grids.numberOfSimulations,
                                        request_.hazard.enabled ? &request_.hazard : nullptr, products.objects);
        if (!grids.intensity.empty())
            products.objectIntensities =
                objectIntensities(*objects_, grids.intensity, grids.intensityOptions, grids.passageCounts);
        report.summary << objectsLogLines(request_.objectsFile, request_.objectsLayer, products.objects);
    }
    report.summary << reachSummaryLines(grids.passageCounts, grids.reachingStartCells, grids.numberOfSimulations,
                                        demHeader_.cellsize, grids.runOuts);
    if (degenerate_)
        report.summary << notMeaningfulLine();
    report.warnings = events_.warnings();
    if (request_.seed)  // last, so the log ends naming the seed that repeats the run
        report.summary << QStringLiteral("Seed: %1").arg(*request_.seed);
    if (objects_)
        products.objectsRows = objectsTableRows(products.objects, grids.trajectories,
                                                grids.intensityOptions.energyClassLimits,
                                                products.objectIntensities ? &*products.objectIntensities : nullptr);
    products.report = reportContentOf(products);
    return products;
}

// The report's text: log.txt's, the inputs by role, objects.csv's rows.
std::shared_ptr<const runReportContent> runPipeline::reportContentOf(const runProducts& products) const
{
    auto content = std::make_shared<runReportContent>();
    content->log = products.log;
    const QList<QPair<QString, const QString*>> inputs = {
        {QStringLiteral("DEM"), &request_.demFile},
        {QStringLiteral("Start cells"), &request_.startCellsFile},
        {QStringLiteral("Objects at risk"), &request_.objectsFile},
        {QStringLiteral("Forest"), &request_.forestFile},
        {QStringLiteral("Barriers"), &request_.barriersFile},
        {QStringLiteral("Field evidence"), &request_.observedFile},
        {QStringLiteral("Study area"), &request_.studyAreaFile},
    };
    for (const auto& [role, file] : inputs)
        if (!file->isEmpty())
            content->inputs.append({role, *file});
    content->system = products.system;
    content->colouring = products.colouring;
    content->objects = products.objectsRows;
    return content;
}

// All or nothing: the staged files go into place together, and the files
// of the request that this run had nothing for (a .prj without a system, a
// map's auxiliary file) go with them, as do, with --overwrite, the earlier
// run's outputs this one does not write.
bool runPipeline::placeOutputs(outputStaging& staging, const std::vector<plannedOutput>& planned, QStringList& written)
{
    const QStringList names = plannedFileNames(planned);
    QStringList placed;
    QStringList removed;
    for (const QString& name : names)
        (staging.holds(name) ? placed : removed) << name;
    if (request_.overwrite)
        removed << earlierOutputsToRemove(names);
    removed = withoutInputFiles(request_, removed);
    QString error;
    if (!staging.commit(placed, removed, error)) {
        events_.error(error);
        return false;
    }
    written = placed;
    return true;
}

// The files of the output folder that some run writes and this one does not.
QStringList runPipeline::earlierOutputsToRemove(const QStringList& written) const
{
    QStringList earlier;
    const QDir folder(request_.outputFolder);
    for (const QString& name : folder.entryList(QDir::Files | QDir::System | QDir::Hidden))
        if (isOutputFileName(name) && !written.contains(name))
            earlier << name;
    return earlier;
}

// The measures' files and what they stopped.
QStringList runPipeline::measureLogLines(const propagationOutput& result) const
{
    if (!measures_)
        return {};
    QStringList lines;
    const double total = static_cast<double>(std::max<uint64_t>(trajectoryTotal_, 1));
    const barrierTotals& barriers = result.barriers;
    if (!request_.forestFile.isEmpty())
        lines << QStringLiteral("Forest: %1").arg(request_.forestFile)
              << QStringLiteral("Trajectories stopped in forest: %1 (%2 %)")
                     .arg(barriers.stoppedInForest)
                     .arg(static_cast<double>(barriers.stoppedInForest) / total * 100.0, 0, 'f', 2);
    if (!request_.barriersFile.isEmpty())
        lines << QStringLiteral("Barriers: %1 (%2 lines)").arg(request_.barriersFile).arg(barrierLines_.size())
              << QStringLiteral("Trajectories stopped by barriers: %1 (%2 %)")
                     .arg(barriers.stoppedByBarriers)
                     .arg(static_cast<double>(barriers.stoppedByBarriers) / total * 100.0, 0, 'f', 2);
    return lines;
}

QStringList runPipeline::runSummary(const grid<int32_t>& passageCounts) const
{
    const int32_t* counts = passageCounts.data();
    const auto reached = std::count_if(counts, counts + passageCounts.size(), [](int32_t n) { return n > 0; });
    const qint64 milliseconds = startTime_.msecsTo(endTime_);
    return QStringList{QStringLiteral("Start cells: %1").arg(startCells_.size()),
                       QStringLiteral("Trajectories: %1").arg(static_cast<qulonglong>(trajectoryTotal_)),
                       QStringLiteral("Cells reached: %1").arg(static_cast<qlonglong>(reached))}
           + parallelismLines(coordinator_ ? coordinator_->processCount() : 1, omp_get_max_threads())
           + QStringList{QStringLiteral("Duration (s): %1").arg(QString::number(milliseconds / 1000.0, 'f', 1))};
}

#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include <QDateTime>
#include <QString>
#include <QList>
#include <QPair>
#include <QStringList>
#include <QVariant>

#include "controller/runEvents.h"
#include "controller/runOutcome.h"
#include "controller/runRequest.h"
#include "engine/barrierIndex.h"
#include "engine/calibrationScores.h"
#include "engine/protectionMeasures.h"
#include "engine/objectReach.h"
#include "engine/startCellRelease.h"
#include "outputs/calibrationTable.h"
#include "outputs/outputTable.h"
#include "raster/coordinateSystem.h"
#include "raster/grid.h"
#include "raster/messageSink.h"
#include "raster/objectOutlines.h"
#include "raster/protectionLayers.h"
#include "raster/rasterInput.h"
#include "raster/rasterTypes.h"

class iStopCriterionStrategy;
class outputStaging;
class runCoordinator;
struct propagationOutput;
struct runProducts;
struct runReportContent;
struct runResultGrids;

// One run, from its request to its outcome: reads the inputs, derives the
// terrain, simulates, and writes the outputs of the output table through
// the staging, all or none. It holds that run's inputs and grids and is
// dropped after it. Only a calibration changes the request: each of its runs
// puts its settings in place, the best last, whose files are written.
class runPipeline
{
public:
    // `abortRequested` is polled throughout; `coordinator` (not owned; null:
    // a run of its own) meets the other processes of a shared run.
    runPipeline(const runRequest& request, runEvents& events, std::atomic<bool>& abortRequested,
                runCoordinator* coordinator);
    ~runPipeline();
    runPipeline(const runPipeline&) = delete;
    runPipeline& operator=(const runPipeline&) = delete;

    runOutcome run();

    // The int that progress signals carry for a count of finished
    // trajectories: the count itself while the run's total fits an int,
    // scaled down otherwise so the bar still runs from 0 to its maximum.
    static int progressValue(uint64_t count, uint64_t total);

private:
    // The grids derived from the DEM that a run needs until its end.
    struct terrainGrids
    {
        grid<uint8_t> reliefGreys;
        grid<double> aspect;
    };

    int runStages(runOutcome& outcome);
    int prepareInputs(terrainGrids& terrain);
    int simulate(const grid<double>& aspect, propagationOutput& result);
    int calibrate(const grid<double>& aspect, propagationOutput& best);
    bool calibrationRunsFeasible(const std::vector<QList<QPair<QString, QVariant>>>& combinations);
    void scoreRun(const propagationOutput& result);
    static QStringList calibrationSettingNames(const runRequest& request);
    calibrationRow calibrationRowOf(const runScores& scores, double seconds) const;
    double hectaresPerCell() const;
    void countTrajectories();
    int writeResults(propagationOutput& result, terrainGrids& terrain, runOutcome& outcome);
    int agreeWithOthers(int localCode);
    template <class Stage>
    int guardedStage(Stage stage);

    bool checkSettings();
    bool openDigitalElevationModel();
    bool openStartCells();
    bool headerIsUsable(const rasterHeader& header, const QString& fileName);
    bool runFitsInMemory();
    bool selectStopCriterion();
    bool trajectoriesFitCounts();
    bool profileWorkWithinReach();
    bool readElevations();
    bool deriveTerrain(terrainGrids& terrain);
    bool readStartCellList();
    bool readStartCellsLayer();
    bool readObjects();
    bool readEvidence();
    bool readMeasures();
    QStringList measureLogLines(const propagationOutput& result) const;
    bool makeReleases();
    bool frequenciesFitCounts();
    QStringList releaseLogLines() const;
    bool outputFolderReady();
    bool aborted() const { return abortRequested_.load(); }
    void reportPhase(const QString& phase, int64_t done, int64_t total);
    void closeInputs();

    std::shared_ptr<runResultGrids> keepResult(propagationOutput& result, grid<int32_t>& displayGrid);
    runProducts productsOf(const runResultGrids& grids, const propagationOutput& result) const;
    std::shared_ptr<const runReportContent> reportContentOf(const runProducts& products) const;
    QStringList runSummary(const grid<int32_t>& passageCounts) const;
    bool placeOutputs(outputStaging& staging, const std::vector<plannedOutput>& planned, QStringList& written);
    QStringList earlierOutputsToRemove(const QStringList& placed) const;

    runRequest request_;
    // The front end's events, each warning also kept for log.txt.
    recordedWarnings events_;
    std::atomic<bool>& abortRequested_;
    runCoordinator* const coordinator_;
    bool degenerate_ = false;  // most trajectories stayed in their start cells

    std::unique_ptr<rasterInput> demInput_;
    rasterHeader demHeader_;
    coordinateSystem demSystem_;
    elevationGrid elevations_;
    std::unique_ptr<rasterInput> startCellsInput_;
    rasterHeader startCellsHeader_;
    std::vector<startCell> startCells_;
    std::optional<objectCells> objects_;
    std::vector<objectOutline> objectOutlines_;  // for the window's map
    // With per-release values: the start layer's field values per start cell
    // and what each field's values replace in a release (in one order), and
    // every start cell's release.
    std::vector<double startCellRelease::*> releaseValueOf_;
    std::vector<std::vector<double>> releaseFieldValues_;
    std::vector<startCellRelease> releases_;
    // With field evidence: the evidence on the DEM's grid and the scores of
    // the run (of every run of a calibration, best first).
    std::optional<observedEvidence> evidence_;
    calibrationReport calibration_;
    // With forest or barriers: what the engine reads of them.
    grid<float> forest_;
    std::vector<barrierLine> barrierLines_;
    std::vector<double> barrierCapacities_;
    barrierIndex barrierIndex_;
    std::optional<protectionMeasures> measures_;
    // The progress bar runs over every run of a calibration.
    uint64_t progressDone_ = 0;
    uint64_t progressTotal_ = 0;
    std::shared_ptr<iStopCriterionStrategy> stopCriterion_;
    uint64_t trajectoryTotal_ = 0;  // start cells x simulations, once the start cells are read
    QDateTime startTime_;
    QDateTime endTime_;
    QString reportedPhase_;
    int reportedPercent_ = -1;
};

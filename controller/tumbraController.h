#pragma once

#include <atomic>
#include <functional>
#include <cstdint>
#include <memory>
#include <optional>

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>

#include "controller/runOutcome.h"
#include "controller/runRequest.h"
#include "engine/objectReach.h"
#include "engine/simulationSettings.h"
#include "raster/coordinateSystem.h"
#include "raster/geoTiffWriter.h"
#include "raster/outputFiles.h"
#include "raster/objectsAtRisk.h"
#include "raster/rasterInput.h"
#include "raster/outputFormat.h"
#include "raster/messageSink.h"
#include "raster/rasterTypes.h"

class iStopCriterionStrategy;
class runCoordinator;
class outputStaging;
struct propagationOutput;
struct runResultGrids;

// Performs runs. Lives on a worker thread; a front end hands it a whole
// runRequest through the queued run slot, follows the run through the
// progress and message signals and learns how it ended from one finished
// signal carrying the runOutcome.
class tumbraController : public QObject
{
    Q_OBJECT

public:
    tumbraController();
    ~tumbraController() override;

    // A run shared among processes meets the others through `coordinator`
    // (not owned; null: a run of its own).
    void setCoordinator(runCoordinator* coordinator) { coordinator_ = coordinator; }

    void requestAbort() { abortRequested.store(true); }
    bool isRunning() const { return running.load(); }

    // The int that progress signals carry for a count of finished
    // trajectories: the count itself while the run's total fits an int,
    // scaled down otherwise so the bar still runs from 0 to its maximum.
    static int progressValue(uint64_t count, uint64_t total);

signals:
    void initProgressBar(int total);
    void setProgressBar(int progress);
    void resetProgressBar();
    // The end of every run, once, after its last progress signal.
    void finished(runOutcome outcome);
    void displayError(QString errorText);
    void displayWarning(QString warningText);
    void displayMessage(QString text);
    // A modal warning box for the user; the front end shows it.
    void requestWarningBox(QString text);
    // How far the current long phase of a run has come (names in
    // runPhases.h): every phase starts with 0 and a phase that completes
    // ends with 100; the percentage changes at most a hundred times.
    void phaseProgress(QString phase, int percent);

public slots:
    // Runs `request` to its end on the calling thread.
    void run(const runRequest& request);

private:
    class signalSink;
    friend class signalSink;

    bool openDigitalElevationModel();
    bool openStartCells();
    bool checkSettings();
    bool headerIsUsable(const rasterHeader& header, const QString& fileName);
    bool runFitsInMemory();
    bool abortedBetweenPhases();
    bool outputFolderReady();
    bool selectStopCriterion();
    bool trajectoriesFitCounts(std::size_t startCellCount);
    int runPipeline(runOutcome& outcome);
    int agreeWithOthers(int localCode);
    template <class Stage>
    int guardedStage(Stage stage);

    // The grids derived from the DEM that a run needs until its end.
    struct terrainGrids
    {
        grid<uint8_t> reliefGreys;
        grid<double> aspect;
    };
    bool readElevations();
    bool deriveTerrain(terrainGrids& terrain);
    bool readStartCellList(std::vector<startCell>& startCells);
    bool readStartCellsLayer(std::vector<startCell>& startCells);
    bool readObjects();
    bool writeObjectOutputs(const propagationOutput& result,
                            const std::function<void(const QString&, writeOutcome)>& keep, QStringList& logLines);
    int prepareInputs(terrainGrids& terrain, std::vector<startCell>& startCells);
    int simulate(const grid<double>& aspect, const std::vector<startCell>& startCells, uint64_t progressTotal,
                 propagationOutput& result);
    void finishProcessing(runOutcome& outcome);
    void reportPhase(const QString& phase, int64_t done, int64_t total);
    bool writeOutputs(outputStaging& staging, const propagationOutput& result, runOutcome& outcome);
    bool writeMapPicture(outputStaging& staging, const runResultGrids& result);
    bool profileWorkWithinReach(std::size_t startCellCount);
    bool placeOutputs(outputStaging& staging, bool allWritten, runOutcome& outcome);
    void closeInputs();
    QStringList runSummary(const grid<int32_t>& passageCounts, std::size_t startCellCount) const;
    void keepResult(propagationOutput& result, grid<int32_t>& displayGrid, runOutcome& outcome);
    // Where the outputs lie: a GeoTIFF DEM lends its geotransform as it is.
    outputGeoreference outputPlacement() const;

    QString demFile;
    std::unique_ptr<rasterInput> demInput_;
    elevationGrid elevationGrid_;
    rasterHeader demHeader;
    runRequest request_;  // of the run under way; its files are named again below for the input readers
    runCoordinator* coordinator_ = nullptr;
    std::shared_ptr<iStopCriterionStrategy> stopCriterion;
    QString startCellsFile_;
    std::unique_ptr<rasterInput> startCellsInput_;
    rasterHeader startCellsHeader;
    QDateTime startTime;
    QDateTime endTime;
    coordinateSystem demSystem_;
    std::atomic<bool> abortRequested{false};
    std::atomic<bool> running{false};
    std::unique_ptr<signalSink> sink_;
    std::size_t startCellCount_ = 0;
    std::optional<objectCells> objects_;                     // of the run under way, when it has objects at risk
    const std::vector<startCell>* runStartCells_ = nullptr;  // of the run under way, for the objects' outputs
    std::optional<sourceShareRows> sourceShares_;            // as written, kept for the map
    int filesWritten_ = 0;                                   // by the run under way
    QString reportedPhase_;
    int reportedPercent_ = -1;
};

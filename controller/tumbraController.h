#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>

#include "engine/simulationSettings.h"
#include "raster/asciiGridStream.h"
#include "raster/coordinateSystem.h"
#include "raster/geoTiffReader.h"
#include "raster/geoTiffWriter.h"
#include "raster/outputFormat.h"
#include "raster/messageSink.h"
#include "raster/rasterTypes.h"

class iStopCriterionStrategy;
class runCoordinator;
struct propagationOutput;
struct runResultGrids;

// What the window needs to draw the result map after a run.
struct resultViewData
{
    int nrows = 0;
    int ncols = 0;
    float cellsize = 0.0f;
    const grid<int32_t>& displayGrid;
};

// Performs runs. Lives on a worker thread; front ends set its values while
// no run is in progress, start a run through the queued runProcess slot and
// learn everything else from its signals.
class tumbraController : public QObject
{
    Q_OBJECT

public:
    tumbraController();
    ~tumbraController() override;

    void setSegmentLength(double value) { settings_.segmentLength = value; }
    void setNumberOfSimulations(int value) { settings_.numberOfSimulations = value; }
    void setMaxDeviationAngle(int value) { settings_.maxDeviationAngle = value; }
    void setProfileStep(double value) { settings_.profileStep = value; }
    void setProbabilityClass(int value) { settings_.probabilityClass = value; }
    void setInitialFallHeight(double value) { settings_.initialFallHeight = value; }
    void setSaveTrajectories(bool value) { settings_.saveTrajectories = value; }
    void setOutputFormat(outputFormat format) { outputFormat_ = format; }
    outputFormat resultFormat() const { return outputFormat_; }
    // With a seed every trajectory draws from a random stream of its own and
    // the outputs do not depend on the number of threads or processes.
    void setSeed(std::optional<uint64_t> seed) { seed_ = seed; }
    std::optional<uint64_t> seed() const { return seed_; }
    // A run shared among processes meets the others through `coordinator`
    // (not owned; null: a run of its own).
    void setCoordinator(runCoordinator* coordinator) { coordinator_ = coordinator; }

    // Accept only names of existing regular files.
    bool setDigitalElevationModel(const QString& fileName);
    bool setStartCellsFile(const QString& fileName);

    void requestAbort() { abortRequested.store(true); }
    bool isRunning() const { return running.load(); }
    resultViewData resultView() const;
    // The grids of the last completed run's map, or null before the first
    // and from the start of the next run on. Read after done(), as resultView.
    std::shared_ptr<const runResultGrids> lastResult() const { return lastResult_; }

    // The int that progress signals carry for a count of finished
    // trajectories: the count itself while the run's total fits an int,
    // scaled down otherwise so the bar still runs from 0 to its maximum.
    static int progressValue(uint64_t count, uint64_t total);

signals:
    void initProgressBar(int total);
    void setProgressBar(int progress);
    void resetProgressBar();
    void done(int code);
    void displayError(QString errorText);
    void displayWarning(QString warningText);
    void displayMessage(QString text);
    // A modal warning box for the user; the front end shows it.
    void requestWarningBox(QString text);
    // How far the current long phase of a run has come (names in
    // runPhases.h): every phase starts with 0 and a phase that completes
    // ends with 100; the percentage changes at most a hundred times.
    void phaseProgress(QString phase, int percent);
    // Output files of a run that could not be written, named as written;
    // emitted before done() when there is at least one.
    void filesNotWritten(QStringList fileNames);

public slots:
    void runProcess();

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
    int runPipeline();
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
    int prepareInputs(terrainGrids& terrain, std::vector<startCell>& startCells);
    int simulate(const grid<double>& aspect, const std::vector<startCell>& startCells, uint64_t progressTotal,
                 propagationOutput& result);
    void finishProcessing(int code);
    static void closeStream(asciiGridStream& stream);
    void reportPhase(const char* phase, int64_t done, int64_t total);
    bool writeOutputs(const propagationOutput& result, const std::vector<startCell>& startCells);
    void closeInputs();
    QStringList runSummary(const grid<int32_t>& passageCounts, std::size_t startCellCount) const;
    void keepResult(propagationOutput& result);
    // Where the outputs lie: a GeoTIFF DEM lends its geotransform as it is;
    // the header holds it only to float precision.
    outputGeoreference outputPlacement() const;

    QString demFile;
    asciiGridStream demStream;
    elevationGrid elevationGrid_;
    rasterHeader demHeader;
    grid<int32_t> displayGrid;
    simulationSettings settings_;
    std::optional<uint64_t> seed_;
    runCoordinator* coordinator_ = nullptr;
    std::shared_ptr<iStopCriterionStrategy> stopCriterion;
    QString startCellsFile_;
    asciiGridStream startCellsStream;
    rasterHeader startCellsHeader;
    QDateTime startTime;
    QDateTime endTime;
    QString outputFolder_;  // where the outputs go: the current directory when the run began
    geoTiffInput demGeoTiff_;
    geoTiffInput startCellsGeoTiff_;
    coordinateSystem demSystem_;
    outputFormat outputFormat_ = outputFormat::esriAscii;
    int32_t inputFileType = unsupportedFile;
    std::atomic<bool> abortRequested{false};
    std::atomic<bool> running{false};
    std::unique_ptr<signalSink> sink_;
    std::shared_ptr<const runResultGrids> lastResult_;
    std::size_t startCellCount_ = 0;
    int filesWritten_ = 0;  // by the run under way
    const char* reportedPhase_ = nullptr;
    int reportedPercent_ = -1;
};

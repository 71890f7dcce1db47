#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "engine/hazardLevel.h"
#include "engine/intensity.h"
#include "engine/protectionMeasures.h"
#include "engine/simulationSettings.h"
#include "outputs/outputTable.h"
#include "raster/outputFormat.h"

// What ranks the runs of a calibration: the area under the ROC curve, the
// hit rate, or the hit rate less the over-reach's share of the study area.
enum class calibrationCriterion { auc = 0, hitRate = 1, balanced = 2 };

// Fields of a vector start layer whose values each feature gives its start
// cells; empty: not read.
struct releaseFieldNames
{
    QString frequency;            // events per year of the whole feature, shared out over its cells
    QString frequencyPerHectare;  // events per year and hectare
    QString volume;               // m3, in place of the block volume
    QString density;              // kg/m3, in place of the rock density
    QString fallHeight;           // m, in place of the initial fall height

    bool any() const
    {
        return !frequency.isEmpty() || !frequencyPerHectare.isEmpty() || !volume.isEmpty() || !density.isEmpty()
               || !fallHeight.isEmpty();
    }
    bool frequencies() const { return !frequency.isEmpty() || !frequencyPerHectare.isEmpty(); }
};

// Everything a run is asked to do, as a plain value: the front ends fill it,
// the controller takes a copy. Every path is absolute; the files go directly
// into `outputFolder`. A new input, setting or output is one field here.
struct runRequest
{
    QString demFile;
    QString startCellsFile;
    QString outputFolder;
    simulationSettings settings;
    intensitySettings intensity;  // energy-line heights, velocities and energies per cell when enabled
    outputFormat format = outputFormat::esriAscii;
    // With a seed every trajectory draws from a random stream of its own and
    // the outputs do not depend on the number of threads or processes.
    std::optional<uint64_t> seed;
    QString mapFile;                                       // a PNG of the result map; empty: none
    QString mapColouring = QStringLiteral("probability");  // or "share", as the window offers
    bool overwrite = false;                                // replace output files that exist
    bool report = false;                                   // report.pdf in the output folder
    int threads = 0;                                       // 0: the OpenMP runtime's default
    // A vector start-cells file: its layer (empty: the first) and an OGR SQL attribute filter (empty: none).
    QString startLayer;
    QString startWhere;
    // Objects at risk (empty: none): a raster on the DEM's grid or a vector file, its layer and id field.
    QString objectsFile;
    QString objectsLayer;
    QString objectsIdField;  // empty: the feature id
    // Per-release values: fields of a vector start layer, or one frequency
    // for every start cell (events per year).
    releaseFieldNames releaseFields;
    std::optional<double> releaseFrequency;
    hazardSettings hazard;  // Hazard_level and Hazard_matrix_cell when enabled
    // Field evidence (empty: none): the mapped reach and/or observed blocks,
    // its layer, and the study area inside which misses count.
    QString observedFile;
    QString observedLayer;
    QString studyAreaFile;
    // A calibration: every combination of the listed settings' values (rows
    // of the settings table by name), run seeded and scored against the
    // evidence, ranked by `calibrateBy`.
    bool calibrate = false;
    calibrationCriterion calibrateBy = calibrationCriterion::balanced;
    QList<QPair<QString, QVariantList>> calibrationLists;
    // Protection measures (empty: none): forest, a raster of forest indices
    // on the DEM's grid or a polygon layer with an index field, and barriers,
    // a line layer with a capacity field (kJ). Every trajectory is followed
    // with and without them.
    QString forestFile;
    QString forestField = QStringLiteral("forest");
    forestSettings forest;
    QString barriersFile;
    QString barrierCapacityField = QStringLiteral("capacity_kJ");

    bool measuresWanted() const { return !forestFile.isEmpty() || !barriersFile.isEmpty(); }

    // Whether the run counts how often each cell is reached (Freq_any).
    bool frequenciesWanted() const { return releaseFields.frequencies() || releaseFrequency.has_value(); }
    // Whether each start cell takes values of its own (startCellRelease).
    bool releasesWanted() const { return releaseFields.any() || releaseFrequency.has_value(); }
};

// Every input file the request names, the DEM first; empty names too, so
// that front ends can make each one absolute in place. A new input file is
// one more field here.
template <class Request>
auto inputFileFields(Request& request)
{
    return std::vector<decltype(&request.demFile)>{&request.demFile, &request.startCellsFile, &request.objectsFile,
                                                    &request.observedFile, &request.studyAreaFile,
                                                    &request.forestFile,   &request.barriersFile};
}
// The input files it names (none left empty).
QStringList inputFilesOf(const runRequest& request);

// The most runs one calibration makes.
constexpr int maxCalibrationRuns = 1000;

// Why the request cannot run (missing inputs, a setting out of its range),
// as a message for the user; empty when it can.
QString requestRefusal(const runRequest& request);

// What the request asks the output table for.
outputSelection outputSelectionOf(const runRequest& request);

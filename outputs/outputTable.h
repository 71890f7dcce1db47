#pragma once

#include <vector>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "outputs/resultGridStyles.h"
#include "raster/messageSink.h"
#include "raster/outputFiles.h"
#include "raster/outputFormat.h"

struct runProducts;
struct plannedOutput;

// What decides which files a run writes: a small value made from its request.
struct outputSelection
{
    outputFormat format = outputFormat::esriAscii;
    bool intensity = false;
    bool energies = false;                  // with a block volume: Energy_max and the class grids
    std::vector<double> energyClassLimits;  // one Reach_prob_<E>kJ each
    bool trajectories = false;
    bool objects = false;
    bool frequencies = false;  // with release frequencies: Freq_any, and with energies Freq_<E>kJ
    bool hazard = false;       // Hazard_level and Hazard_matrix_cell
    bool calibration = false;  // with field evidence: calibration.csv
    bool measures = false;     // with forest or barriers: the grids without them
    bool barriers = false;     // barriers.csv and barriers.gpkg
    QString mapFile;           // absolute; empty: no map picture
    bool report = false;       // report.pdf
};

using outputWriter = writeOutcome (*)(const outputTarget& target, const runProducts& products,
                                      const plannedOutput& output, messageSink& sink, const rowProgress& progress);

// One row of the table of what a run writes. A grid is named by its base
// name and takes the format's suffix (.asc, .tif); an ESRI ASCII grid has
// its coordinate system in a .prj beside it, and a grid with a style a .qml.
struct outputRow
{
    enum class kind {
        grid,     // base name + the format's suffix, with its side files
        file,     // `name` as it is
        picture,  // the map, at the request's path, with its world and auxiliary files
    };
    QString name;  // a grid's base name; per energy class with %1 for the limit ("Reach_prob_%1kJ")
    kind type = kind::grid;
    bool (*wanted)(const outputSelection& selection) = nullptr;  // null: every run
    outputWriter write = nullptr;
    layerStyle (*style)(const resultStyleInputs& run) = nullptr;  // the .qml beside a grid; null: none
    bool perEnergyClass = false;
};

// Every output a run may write, in the order a run writes them; log.txt,
// which names the run's outcome, last but for the map. A new output is one
// row here.
const std::vector<outputRow>& outputTable();

// One file a run writes: a row of the table made concrete for one request.
struct plannedOutput
{
    enum class role {
        main,        // the row's own file
        projection,  // the .prj beside an ESRI ASCII grid
        style,       // the .qml beside a grid
    };
    const outputRow* row = nullptr;
    role part = role::main;
    QString name;  // in the output folder; the map: its absolute path
    outputFormat format = outputFormat::esriAscii;
    int energyClass = -1;    // per-energy-class rows: the index of the limit
    QStringList companions;  // written with it by its writer (the map's world and auxiliary files)

    // Side files and the rows' own files do not report a phase of their own.
    bool hasPhase() const { return part == role::main; }
};

// The files `selection` asks for, each side file after its grid.
std::vector<plannedOutput> plannedOutputs(const outputSelection& selection);

// Their names in the output folder, side files and companions included (the
// map's files by absolute path), in the order they are written.
QStringList plannedFileNames(const std::vector<plannedOutput>& outputs);
QStringList plannedFileNames(const outputSelection& selection);

// Whether a file of this name in an output folder belongs to some run's
// outputs, in any format, with any energy class limits: such a file left by
// an earlier run is replaced or removed once a new set is placed.
bool isOutputFileName(const QString& fileName);


// "Reach_prob_30kJ", "Freq_0.5kJ": a per-energy-class row's name with the
// limit in its shortest form.
QString energyClassBaseName(const QString& rowName, double limit);

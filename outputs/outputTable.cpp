#include "outputs/outputTable.h"

#include <QLocale>
#include <QRegularExpression>

#include "outputs/hazardOutputs.h"
#include "outputs/intensityOutputs.h"
#include "outputs/logFile.h"
#include "outputs/measureOutputs.h"
#include "outputs/mapPictureFile.h"
#include "outputs/objectsTable.h"
#include "outputs/resultGridOutputs.h"
#include "outputs/runReport.h"
#include "outputs/runProducts.h"
#include "outputs/trajectoryGeoPackage.h"
#include "outputs/trajectoryPointsFile.h"
#include "raster/asciiGridProjection.h"

namespace {

bool withIntensity(const outputSelection& s) { return s.intensity; }
bool withEnergies(const outputSelection& s) { return s.energies; }
bool withTrajectories(const outputSelection& s) { return s.trajectories; }
bool withTrajectoryLayer(const outputSelection& s) { return s.trajectories && s.format == outputFormat::geoTiff; }
bool withObjects(const outputSelection& s) { return s.objects; }
bool withMap(const outputSelection& s) { return !s.mapFile.isEmpty(); }
bool withFrequencies(const outputSelection& s) { return s.frequencies; }
bool withEnergyFrequencies(const outputSelection& s) { return s.frequencies && s.energies; }
bool withHazard(const outputSelection& s) { return s.hazard; }
bool withCalibration(const outputSelection& s) { return s.calibration; }
bool withMeasures(const outputSelection& s) { return s.measures; }
bool withMeasuresAndEnergies(const outputSelection& s) { return s.measures && s.energies; }
bool withBarriers(const outputSelection& s) { return s.barriers; }
bool withReport(const outputSelection& s) { return s.report; }

writeOutcome writeCalibration(const outputTarget& target, const runProducts& products, const plannedOutput&,
                              messageSink& sink, const rowProgress&)
{
    return writeCalibrationTable(target, products.calibration, sink);
}

writeOutcome writePoints(const outputTarget& target, const runProducts& products, const plannedOutput&,
                         messageSink& sink, const rowProgress&)
{
    return writeTrajectoryPoints(target, products.trajectories, sink);
}

writeOutcome writeLines(const outputTarget& target, const runProducts& products, const plannedOutput&,
                        messageSink& sink, const rowProgress&)
{
    return writeTrajectoryGeoPackage(target, products.trajectories, products.trajectoryOrigins, products.system, sink,
                                     products.grids.intensityOptions.enabled);
}

writeOutcome writeObjects(const outputTarget& target, const runProducts& products, const plannedOutput&,
                          messageSink& sink, const rowProgress&)
{
    return writeWholeFile(target, objectsTableText(products.objectsRows), sink);
}

writeOutcome writeLog(const outputTarget& target, const runProducts& products, const plannedOutput&, messageSink& sink,
                      const rowProgress&)
{
    return writeLogFile(target, products.log, sink);
}

writeOutcome writeMap(const outputTarget& target, const runProducts& products, const plannedOutput&, messageSink& sink,
                      const rowProgress&)
{
    const QString problem = writeResultMap(target, products.grids, products.colouring);
    if (problem.isEmpty())
        return writeOutcome::written;
    sink.error(problem);
    return writeOutcome::failed;
}

writeOutcome writeReport(const outputTarget& target, const runProducts& products, const plannedOutput&,
                         messageSink& sink, const rowProgress&)
{
    return writeRunReport(target, products.grids, *products.report, sink);
}

QString suffixOf(outputFormat format)
{
    return format == outputFormat::geoTiff ? QStringLiteral(".tif") : QStringLiteral(".asc");
}

// The main file of `row` with `base` as its base name, then its side files.
void appendPlanned(std::vector<plannedOutput>& outputs, const outputRow& row, const QString& base,
                   const outputSelection& selection, int energyClass)
{
    using role = plannedOutput::role;
    plannedOutput main{&row, role::main, base, selection.format, energyClass, {}};
    if (row.type == outputRow::kind::picture) {
        const QStringList files = mapPictureFiles(selection.mapFile);
        main.name = files.first();
        main.companions = files.mid(1);
        outputs.push_back(main);
        return;
    }
    if (row.type == outputRow::kind::file) {
        outputs.push_back(main);
        return;
    }
    main.name = base + suffixOf(selection.format);
    outputs.push_back(main);
    if (selection.format == outputFormat::esriAscii)
        outputs.push_back({&row, role::projection, projectionFileName(main.name), selection.format, energyClass, {}});
    if (row.style)
        outputs.push_back({&row, role::style, base + QStringLiteral(".qml"), selection.format, energyClass, {}});
}

}  // namespace


const std::vector<outputRow>& outputTable()
{
    using kind = outputRow::kind;
    static const std::vector<outputRow> rows = {
        {QStringLiteral("N"), kind::grid, nullptr, writePassageCounts, passageCountStyle},
        {QStringLiteral("Reach_prob"), kind::grid, nullptr, writeReachProbability, reachProbabilityStyle},
        {QStringLiteral("Height_max"), kind::grid, withIntensity, writeIntensityRows<heightMaxRow>,
         energyLineHeightStyle},
        {QStringLiteral("Height_mean"), kind::grid, withIntensity, writeHeightMean,
         energyLineHeightStyle},
        {QStringLiteral("Velocity_max"), kind::grid, withIntensity, writeIntensityRows<velocityMaxRow>,
         velocityStyle},
        {QStringLiteral("Energy_max"), kind::grid, withEnergies, writeEnergyMax, energyClassStyle},
        {QStringLiteral("Reach_prob_%1kJ"), kind::grid, withEnergies, writeClassProbability,
         reachProbabilityStyle, true},
        {QStringLiteral("trajectory_points.txt"), kind::file, withTrajectories, writePoints},
        {QStringLiteral("trajectories.gpkg"), kind::file, withTrajectoryLayer, writeLines},
        {QStringLiteral("objects.csv"), kind::file, withObjects, writeObjects},
        // A percentage of a start cell's trajectories, drawn in the probability classes.
        {QStringLiteral("Source_share"), kind::grid, withObjects, writeSourceShare, reachProbabilityStyle},
        // How often cells are reached, and the hazard map made from it.
        {QStringLiteral("Freq_any"), kind::grid, withFrequencies, writeFrequency, frequencyStyle},
        {QStringLiteral("Freq_%1kJ"), kind::grid, withEnergyFrequencies, writeFrequency, frequencyStyle, true},
        {QStringLiteral("Hazard_level"), kind::grid, withHazard, writeHazardLevel, hazardLevelStyle},
        {QStringLiteral("Hazard_matrix_cell"), kind::grid, withHazard, writeHazardMatrixCell,
         hazardMatrixCellStyle},
        // With forest or barriers: the run as if there were none, and what each barrier met.
        {QStringLiteral("Reach_prob_unprotected"), kind::grid, withMeasures, writeReachUnprotected,
         reachProbabilityStyle},
        {QStringLiteral("Energy_max_unprotected"), kind::grid, withMeasuresAndEnergies, writeEnergyUnprotected,
         energyClassStyle},
        {QStringLiteral("barriers.csv"), kind::file, withBarriers, writeBarriersTable},
        {QStringLiteral("barriers.gpkg"), kind::file, withBarriers, writeBarriersGeoPackage},
        {QStringLiteral("calibration.csv"), kind::file, withCalibration, writeCalibration},
        {QStringLiteral("report.pdf"), kind::file, withReport, writeReport},
        {QStringLiteral("log.txt"), kind::file, nullptr, writeLog},
        // The map is drawn from the files' grids; outside the folder, it is placed with them.
        {QStringLiteral("map"), kind::picture, withMap, writeMap},
    };
    return rows;
}

std::vector<plannedOutput> plannedOutputs(const outputSelection& selection)
{
    std::vector<plannedOutput> outputs;
    for (const outputRow& row : outputTable()) {
        if (row.wanted && !row.wanted(selection))
            continue;
        if (!row.perEnergyClass) {
            appendPlanned(outputs, row, row.name, selection, -1);
            continue;
        }
        for (std::size_t k = 0; k < selection.energyClassLimits.size(); ++k)
            appendPlanned(outputs, row, energyClassBaseName(row.name, selection.energyClassLimits[k]), selection,
                          static_cast<int>(k));
    }
    return outputs;
}

QStringList plannedFileNames(const std::vector<plannedOutput>& outputs)
{
    QStringList names;
    for (const plannedOutput& output : outputs)
        names << output.name << output.companions;
    return names;
}

QStringList plannedFileNames(const outputSelection& selection) { return plannedFileNames(plannedOutputs(selection)); }

bool isOutputFileName(const QString& fileName)
{
    // Built once from the table: every grid's base name (any energy class
    // limit for the per-class rows) with a grid's suffixes and side files,
    // and every file's own name.
    static const QRegularExpression pattern = [] {
        QStringList alternatives;
        for (const outputRow& row : outputTable()) {
            if (row.type == outputRow::kind::picture)
                continue;
            QStringList pieces = row.name.split(QStringLiteral("%1"));
            for (QString& piece : pieces)
                piece = QRegularExpression::escape(piece);
            const QString name = pieces.join(QStringLiteral("[0-9.e+-]+"));
            alternatives << (row.type == outputRow::kind::grid ? name + QStringLiteral("\\.(asc|tif|prj|qml)") : name);
        }
        return QRegularExpression(QStringLiteral("^(%1)$").arg(alternatives.join(QLatin1Char('|'))));
    }();
    return pattern.match(fileName).hasMatch();
}

QString energyClassBaseName(const QString& rowName, double limit)
{
    return rowName.arg(QString::number(limit, 'f', QLocale::FloatingPointShortest));
}

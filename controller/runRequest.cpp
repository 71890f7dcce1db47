#include "controller/runRequest.h"

#include <algorithm>
#include <utility>

#include <QFileInfo>

#include "controller/settingsTable.h"
#include "raster/rasterInput.h"
#include "raster/vectorLayer.h"

namespace {

// Why an input file cannot be used, naming it and the cause; empty when it can be.
QString inputFileProblem(const QString& role, const QString& fileName)
{
    const QFileInfo info(fileName);
    if (fileName.isEmpty())
        return QStringLiteral("No %1 was given.").arg(role);
    if (!info.exists())
        return QStringLiteral("The %1 %2 does not exist. Check its name and folder.").arg(role, fileName);
    if (info.isDir())
        return QStringLiteral("The %1 %2 is a folder, not a file. Choose the file inside it.").arg(role, fileName);
    if (!info.isFile())
        return QStringLiteral("The %1 %2 is not a regular file. Choose a file.").arg(role, fileName);
    if (!info.isReadable())
        return QStringLiteral("The %1 %2 cannot be read. Check its permissions.").arg(role, fileName);
    return QString();
}

// Why the layer options or the objects file cannot be used; empty when they can.
QString vectorInputRefusal(const runRequest& request)
{
    if ((!request.startLayer.isEmpty() || !request.startWhere.isEmpty()) && !isVectorFileName(request.startCellsFile))
        return QStringLiteral("A start layer or filter (--start-layer, --start-where) applies only to vector start "
                              "cells, not to %1. Give a GeoPackage, Shapefile, GeoJSON or FlatGeobuf file, or leave "
                              "them out.")
            .arg(request.startCellsFile);
    if (request.objectsFile.isEmpty()) {
        if (!request.objectsLayer.isEmpty() || !request.objectsIdField.isEmpty())
            return QStringLiteral("An objects layer or id field (--objects-layer, --objects-id) needs an objects "
                                  "file: give one with --objects, or leave them out.");
        return QString();
    }
    if (const QString problem = inputFileProblem(QStringLiteral("objects file"), request.objectsFile);
        !problem.isEmpty())
        return problem;
    const bool vector = isVectorFileName(request.objectsFile);
    if (!vector && !rasterInputFor(request.objectsFile))
        return QStringLiteral("The file type of objects at risk %1 is not supported. Supported are %2, and the vector "
                              "files GeoPackage, Shapefile, GeoJSON and FlatGeobuf.")
            .arg(request.objectsFile, supportedRasterInputs());
    if (!vector && (!request.objectsLayer.isEmpty() || !request.objectsIdField.isEmpty()))
        return QStringLiteral("An objects layer or id field (--objects-layer, --objects-id) applies only to a vector "
                              "objects file, not to the raster %1: leave them out.")
            .arg(request.objectsFile);
    return QString();
}

// Why the per-release options cannot be used together; empty when they can.
QString releaseRefusal(const runRequest& request)
{
    const releaseFieldNames& fields = request.releaseFields;
    if (fields.any() && !isVectorFileName(request.startCellsFile))
        return QStringLiteral("The release fields (--frequency-field, --frequency-per-ha-field, --volume-field, "
                              "--density-field, --fall-height-field) are read from a vector start layer, not from "
                              "%1. Give a GeoPackage, Shapefile, GeoJSON or FlatGeobuf file, or for raster start "
                              "cells --release-frequency.")
            .arg(request.startCellsFile);
    if (!fields.frequency.isEmpty() && !fields.frequencyPerHectare.isEmpty())
        return QStringLiteral("Give the release frequency per feature (--frequency-field) or per hectare "
                              "(--frequency-per-ha-field), not both.");
    if (fields.frequencies() && request.releaseFrequency)
        return QStringLiteral("--release-frequency gives every start cell one frequency, and the start layer's "
                              "frequency field gives them too: leave one of them out.");
    if (!fields.density.isEmpty() && fields.volume.isEmpty() && !(request.intensity.blockVolume > 0.0))
        return QStringLiteral("--density-field needs a block volume: add --block-volume or --volume-field.");
    if (!request.hazard.enabled)
        return QString();
    QStringList missing;
    if (!request.intensity.enabled)
        missing << QStringLiteral("--intensity");
    if (!(request.intensity.blockVolume > 0.0) && fields.volume.isEmpty())
        missing << QStringLiteral("--block-volume or --volume-field");
    if (!request.frequenciesWanted())
        missing << QStringLiteral("--release-frequency, --frequency-field or --frequency-per-ha-field");
    if (!missing.isEmpty())
        return QStringLiteral("--hazard needs %1: add them, or leave --hazard out.")
            .arg(missing.join(QStringLiteral("; ")));
    if (request.intensity.energyClassLimits.size() != 2)
        return QStringLiteral("--hazard needs exactly two energy class limits (--energy-classes, such as 30,300): "
                              "the lower bounds medium intensity, the upper strong intensity.");
    return QString();
}

// Why the field evidence or the calibration cannot be used; empty when they can.
QString evidenceRefusal(const runRequest& request)
{
    for (const auto& [role, file] : {std::pair{QStringLiteral("observed run-out file"), request.observedFile},
                                     std::pair{QStringLiteral("study area file"), request.studyAreaFile}}) {
        if (file.isEmpty())
            continue;
        if (const QString problem = inputFileProblem(role, file); !problem.isEmpty())
            return problem;
        if (!isVectorFileName(file))
            return QStringLiteral("The %1 %2 is not a GeoPackage (.gpkg), Shapefile (.shp), GeoJSON (.geojson) or "
                                  "FlatGeobuf (.fgb) file.")
                .arg(role, file);
    }
    if (request.observedFile.isEmpty()) {
        if (request.calibrate || !request.studyAreaFile.isEmpty() || !request.observedLayer.isEmpty())
            return QStringLiteral("A calibration, a study area or an observed layer (--calibrate, --study-area, "
                                  "--observed-layer) needs the field evidence: give it with --observed, or leave "
                                  "them out.");
        return QString();
    }
    qsizetype combinations = 1;
    for (const auto& list : request.calibrationLists)
        combinations *= std::max<qsizetype>(list.second.size(), 1);
    if (combinations > maxCalibrationRuns)
        return QStringLiteral("The calibration's lists make %1 combinations, more than the %2 one search takes: "
                              "shorten the lists.")
            .arg(combinations)
            .arg(maxCalibrationRuns);
    return QString();
}

// Why the protection measures cannot be used; empty when they can.
QString measuresRefusal(const runRequest& request)
{
    if (!request.measuresWanted())
        return QString();
    for (const auto& [role, file] : {std::pair{QStringLiteral("forest file"), request.forestFile},
                                     std::pair{QStringLiteral("barriers file"), request.barriersFile}}) {
        if (file.isEmpty())
            continue;
        if (const QString problem = inputFileProblem(role, file); !problem.isEmpty())
            return problem;
    }
    if (!request.forestFile.isEmpty() && !isVectorFileName(request.forestFile) && !rasterInputFor(request.forestFile))
        return QStringLiteral("The file type of the forest %1 is not supported. Supported are %2, and the vector "
                              "files GeoPackage, Shapefile, GeoJSON and FlatGeobuf.")
            .arg(request.forestFile, supportedRasterInputs());
    if (!request.barriersFile.isEmpty() && !isVectorFileName(request.barriersFile))
        return QStringLiteral("The barriers file %1 is not a GeoPackage (.gpkg), Shapefile (.shp), GeoJSON (.geojson) "
                              "or FlatGeobuf (.fgb) file.")
            .arg(request.barriersFile);
    if (request.forest.angleMin > request.forest.angleMax)
        return QStringLiteral("The forest's least added angle (%1 degrees) exceeds its largest (%2 degrees): give "
                              "--forest-angle-min at most --forest-angle-max.")
            .arg(request.forest.angleMin)
            .arg(request.forest.angleMax);
    if (!request.barriersFile.isEmpty()
        && (!request.intensity.enabled
            || (!(request.intensity.blockVolume > 0.0) && request.releaseFields.volume.isEmpty())))
        return QStringLiteral("Barriers stop blocks by their energy: add --intensity and --block-volume (or "
                              "--volume-field).");
    if (!request.seed)
        return QStringLiteral("A run with forest or barriers follows every trajectory with and without them, which "
                              "needs a random stream per trajectory: add --seed N (the window: \"Reproducible\").");
    return QString();
}

}  // namespace

// Both front ends call this before they make the output folder; the window's
// fields cannot hold a value out of range, tumbra-run refuses one as it reads
// its options, so a range message here means a front end let one through.
QString requestRefusal(const runRequest& request)
{
    if (const QString problem = inputFileProblem(QStringLiteral("DEM"), request.demFile); !problem.isEmpty())
        return problem;
    if (const QString problem = inputFileProblem(QStringLiteral("start cells file"), request.startCellsFile);
        !problem.isEmpty())
        return problem;
    if (const QString problem = vectorInputRefusal(request); !problem.isEmpty())
        return problem;
    for (const settingRow& row : settingsTable()) {
        if (!row.read || (row.inUse && !row.inUse(request)))
            continue;
        const QVariant value = row.read(request);
        if (!value.isValid())  // not given
            continue;
        const QString problem =
            row.textProblem ? row.textProblem(value.toString()) : row.rangeProblem(value.toDouble());
        if (!problem.isEmpty())
            return QStringLiteral("%1 %2.").arg(row.label, problem);
    }
    if (const QString problem = releaseRefusal(request); !problem.isEmpty())
        return problem;
    if (const QString problem = evidenceRefusal(request); !problem.isEmpty())
        return problem;
    if (const QString problem = measuresRefusal(request); !problem.isEmpty())
        return problem;
    if (request.outputFolder.isEmpty() || QFileInfo(request.outputFolder).isRelative())
        return QStringLiteral("The output folder \"%1\" is not an absolute path.").arg(request.outputFolder);
    return QString();
}

QStringList inputFilesOf(const runRequest& request)
{
    QStringList files;
    for (const QString* file : inputFileFields(request))
        if (!file->isEmpty())
            files << *file;
    return files;
}

outputSelection outputSelectionOf(const runRequest& request)
{
    outputSelection selection;
    selection.format = request.format;
    selection.intensity = request.intensity.enabled;
    selection.energies = request.intensity.energiesWanted();
    if (selection.energies)
        selection.energyClassLimits = request.intensity.energyClassLimits;
    selection.trajectories = request.settings.saveTrajectories;
    selection.objects = !request.objectsFile.isEmpty();
    selection.frequencies = request.frequenciesWanted();
    selection.hazard = request.hazard.enabled;
    selection.calibration = !request.observedFile.isEmpty();
    selection.barriers = !request.barriersFile.isEmpty();
    selection.measures = request.measuresWanted();
    selection.mapFile = request.mapFile;
    selection.report = request.report;
    return selection;
}

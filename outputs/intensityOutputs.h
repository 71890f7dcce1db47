#pragma once

#include <functional>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "engine/intensity.h"
#include "raster/coordinateSystem.h"
#include "raster/geoTiffWriter.h"
#include "raster/outputFormat.h"

// The grids of a run's intensity, written beside N and Reach_prob:
// Height_max and Height_mean (m) and Velocity_max (m/s) with 2 decimals,
// and with a block volume Energy_max (kJ) and Reach_prob_<E>kJ (percent)
// with 1; ESRI ASCII grids with the DEM's header, or Float32 GeoTIFFs.

// "Reach_prob_30kJ", "Reach_prob_0.5kJ": the limit in its shortest form.
QString classProbabilityBaseName(double limit);

// The file names the settings give, in the order they are written (no .prj
// files); none with intensity off.
QStringList intensityGridNames(const intensitySettings& settings, outputFormat format);

// What the intensity grids are formed from.
struct intensityResult
{
    const intensitySettings& settings;
    const intensityGrids& grids;
    const grid<int32_t>& passageCounts;
    const grid<int32_t>& reachingStartCells;
    int numberOfSimulations = 0;
};

// Where and how they are written. An ESRI ASCII grid gets a .prj file of
// the DEM's system beside it, or loses a stale one when the DEM has none.
struct intensityTarget
{
    QString folder;
    outputFormat format = outputFormat::esriAscii;
    rasterHeader header;
    outputGeoreference georeference;  // GeoTIFF only
    coordinateSystem system;          // ESRI ASCII only: the .prj beside each grid
    const elevationGrid& elevations;  // GeoTIFF only: NODATA where the DEM has no elevation
};

// Writes every grid intensityGridNames names; `written` learns each file's
// name and outcome as it is done.
void writeIntensityGrids(const intensityResult& result, const intensityTarget& target, messageSink& sink,
                         const std::function<void(const QString& fileName, writeOutcome outcome)>& written);

#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "engine/objectReach.h"
#include "raster/rasterTypes.h"
#include "map/resultMapPicture.h"
#include "map/runResultGrids.h"
#include "outputs/calibrationTable.h"
#include "outputs/logFile.h"
#include "outputs/objectsTable.h"
#include "outputs/runReport.h"
#include "outputs/objectIntensity.h"
#include "raster/coordinateSystem.h"

// Everything the writers of a run's outputs read, gathered once the
// simulation is over: the grids the map is drawn from too, the trajectories,
// the objects' rows and the log. Nothing here changes while the files are
// written, so every writer sees the same run.
struct runProducts
{
    const runResultGrids& grids;
    coordinateSystem system;  // the DEM's, for the .prj files and the layers
    const trajectoryList& trajectories;
    const std::vector<trajectoryOrigin>& trajectoryOrigins;
    std::vector<objectReport> objects;  // with objects at risk
    // With objects at risk and intensity: how hard blocks arrive at each.
    std::optional<objectIntensityTable> objectIntensities;
    // objects.csv's headers and rows, formed once for the file, the report and the window.
    objectsTable objectsRows;
    logReport log;
    calibrationReport calibration;                            // with field evidence
    mapColouring colouring = mapColouring::reachProbability;  // of the map picture
    // What report.pdf tells besides the grids; kept with the run's outcome.
    std::shared_ptr<const runReportContent> report = nullptr;
};

#pragma once

#include <cstdint>
#include <optional>

#include "engine/aggregation.h"
#include "engine/hazardLevel.h"
#include "engine/intensity.h"
#include "engine/measureEffects.h"
#include "engine/releaseFrequency.h"
#include "engine/objectReach.h"
#include "engine/runOutStatistics.h"
#include "raster/geoTiffWriter.h"
#include "raster/grid.h"
#include "raster/objectOutlines.h"
#include "raster/protectionLayers.h"
#include "raster/rasterTypes.h"

// What a completed run leaves for its result map: the grids the picture and
// the cell readout are made from, kept together so that a front end can hold
// the last run's map while the next run is under way.
struct runResultGrids
{
    rasterHeader header;          // the DEM's, as the outputs were written with it
    grid<int32_t> displayGrid;    // -255..-1 passage share, 0..255 relief grey elsewhere
    grid<int32_t> passageCounts;  // as written to N.asc
    grid<int32_t> reachingStartCells;
    elevationGrid elevations;
    int numberOfSimulations = 0;
    uint64_t trajectories = 0;     // of the whole run, for the passage share
    outputGeoreference placement;  // of the DEM's grid, as the outputs carry it
    // The run's intensity settings; its grids are empty when intensity was off.
    intensitySettings intensityOptions;
    intensityGrids intensity;
    // With release frequencies: how often each cell is reached (empty
    // without), and the hazard levels' settings.
    frequencyGrids frequencies;
    hazardSettings hazard;
    grid<uint8_t> hazardLevels;       // with the hazard map: Hazard_level's values
    grid<uint8_t> hazardMatrixCells;  // and Hazard_matrix_cell's
    // With forest or barriers: the grids without them, what each barrier
    // met, and the barriers (empty without).
    unprotectedGrids unprotected;
    barrierTotals barriers;
    std::vector<barrierLine> barrierLines;

    // Reach probability without the measures, percent.
    double reachProbabilityUnprotected(int row, int col) const
    {
        return reachProbabilityPercent(unprotected.passageCounts(row, col), unprotected.reachingStartCells(row, col),
                                       numberOfSimulations);
    }
    runOutStatistics runOuts;         // run-out and travel-angle counts, for the window's charts
    // With objects at risk: each start cell's share of its trajectories that
    // reached an object, as Source_share holds it; none without objects.
    std::optional<sourceShareRows> sourceShares;
    // The shapes of the objects at risk (a raster's: their cells' borders),
    // in the DEM's coordinates, to draw over the map.
    std::vector<objectOutline> objectOutlines;

    // Reach probability in percent, as written to Reach_prob.asc.
    double reachProbability(int row, int col) const
    {
        return reachProbabilityPercent(passageCounts(row, col), reachingStartCells(row, col), numberOfSimulations);
    }
};

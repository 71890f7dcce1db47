#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "engine/intensity.h"
#include "engine/measureEffects.h"
#include "engine/runOutStatistics.h"
#include "engine/objectReach.h"
#include "engine/releaseFrequency.h"
#include "engine/startCellRelease.h"
#include "engine/simulationSettings.h"
#include "raster/rasterTypes.h"

class iStopCriterionStrategy;
class randomGenerator;

// Everything a propagation reads; shared read-only by all threads.
struct propagationInput
{
    const elevationGrid& elevation;
    const rasterHeader& dem;
    const grid<double>& aspect;
    const std::vector<startCell>& startCells;
    const simulationSettings& settings;
    const iStopCriterionStrategy& stopCriterion;
    const std::atomic<bool>& abortRequested;
    // With a seed every trajectory draws from a stream of its own
    // (trajectoryStream.h) and the saved trajectories are kept in (start
    // cell, simulation) order; without, all draw from the run's generator.
    std::optional<uint64_t> seed = std::nullopt;
    // The start cells to simulate, as increasing indices into startCells;
    // null: every start cell.
    const std::vector<std::size_t>* share = nullptr;
    // With intensity on, output.intensity gathers the energy-line heights.
    const intensitySettings* intensity = nullptr;
    // With objects at risk, every trajectory is counted for the objects it reaches.
    objectReach* objects = nullptr;
    // One entry per start cell: its block, fall height and frequency replace
    // the run's; null: the run's settings for every start cell.
    const std::vector<startCellRelease>* releases = nullptr;
    // Forest and barriers (null: none): the output's grids are then those
    // with the measures, output.unprotected those without; seeded runs only.
    const protectionMeasures* measures = nullptr;
    objectReach* objectsUnprotected = nullptr;  // with measures and objects
};

// What a propagation fills. The caller sizes passageCounts and
// reachingStartCells (nrows x ncols, all 0) before the call, and with
// intensity on the intensity grids (intensityGrids::assign).
struct propagationOutput
{
    grid<int32_t> passageCounts;
    grid<int32_t> reachingStartCells;
    intensityGrids intensity;
    trajectoryList trajectories;
    std::vector<trajectoryOrigin> trajectoryOrigins;  // beside each saved trajectory
    runOutStatistics runOuts;                         // sized by runPropagation when not yet assigned
    uint64_t progressCount = 0;                       // trajectories finished and merged
    objectReachTotals objectTotals;                   // with objects at risk: what the trajectories did to them
    // With releases, sized by the caller (frequencyGrids::assign) when their
    // frequencies are wanted; left empty otherwise.
    frequencyGrids frequencies;
    // With measures: sized by the caller (unprotectedGrids::assign); the
    // barriers' totals are filled by runPropagation.
    unprotectedGrids unprotected;
    barrierTotals barriers;
};

// Called after every finished trajectory with the new progress count, from
// whichever thread finished it, one call at a time and in increasing order.
using progressCallback = std::function<void(uint64_t finishedTrajectories)>;

// Simulates settings.numberOfSimulations trajectories from every start cell
// (of the share, when one is given).
// Returns when all are done or early when abortRequested is set; memory
// running out inside the parallel work raises std::bad_alloc after it, any
// other failure its own exception. With one OpenMP thread the generator is
// consumed start cell by start cell, simulation by simulation; with a seed it
// is not used.
void runPropagation(const propagationInput& input, randomGenerator& generator, propagationOutput& output,
                    const progressCallback& onProgress);

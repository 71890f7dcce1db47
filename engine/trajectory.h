#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/intensity.h"
#include "engine/profileEvaluation.h"
#include "engine/protectionMeasures.h"
#include "engine/simulationSettings.h"
#include "raster/rasterTypes.h"

class iStopCriterionStrategy;
class randomGenerator;
class trajectoryStream;

// Most steps one trajectory may take: twice the grid's perimeter in segments,
// at most maxSegmentsPerCell per cell. Terrain that neither stops a
// trajectory nor lets it leave (a closed depression with flat parts) would
// otherwise keep it going for ever. Zero for a segment length that is not a
// positive finite number.
double maxTrajectorySteps(const rasterHeader& dem, double segmentLength);

// Everything one trajectory reads; shared read-only between threads.
struct trajectoryContext
{
    terrainSurface surface;
    const grid<double>& aspect;
    const simulationSettings& settings;
    const iStopCriterionStrategy& stopCriterion;
    const std::atomic<bool>& abortRequested;
    // Records every reached cell's largest energy-line height (intensity on).
    bool recordHeights = false;
    // Forest and barriers: the trajectory's protected part is recorded too
    // (null: none). The block's weight (N) gives its energy at a barrier.
    const protectionMeasures* measures = nullptr;
    const double* blockWeight = nullptr;
};

enum class trajectoryEnd { noDownslope, noElevation, stopCriterion, climbLimit, gridEdge, stepLimit, aborted };

// One trajectory's outcome. Owned by one thread and reused for its next
// trajectory, so its buffers keep their capacity.
struct trajectoryResult
{
    std::vector<std::size_t> reachedCells;  // flat row-major indices, sorted, each once
    std::vector<cellHeight> cellHeights;    // with recordHeights: as reachedCells, each with its largest height
    std::vector<trajectoryPoint> points;    // recorded only when saveTrajectories is on
    std::vector<float> profileSamples;      // scratch for evaluateProfile
    trajectoryEnd end = trajectoryEnd::noDownslope;
    uint64_t steps = 0;
    // At the last recorded point: horizontal distance from the start point (m)
    // and the energy-line angle (radians); moved is false while it is the start point.
    double runOut = 0.0;
    float travelAngle = 0.0f;
    bool moved = false;

    // With measures: the part of the trajectory before they stopped it, as
    // the fields above (its heights lowered by the forest's losses), the
    // barriers it reached, and what stopped it.
    struct protectedPart
    {
        std::vector<std::size_t> reachedCells;
        std::vector<cellHeight> cellHeights;
        std::vector<trajectoryPoint> points;
        std::vector<barrierArrival> barriers;
        double runOut = 0.0;
        float travelAngle = 0.0f;
        bool moved = false;
        enum class stop { none, forest, barrier } stoppedBy = stop::none;
    };
    protectedPart withMeasures;
};

// Moves one mass from `start` until it stops, climbs too far, steps onto a
// point without elevation, reaches the grid edge or the step limit, or the
// abort flag is seen. Draws one number per step after the first where the
// cell has a downslope direction, from the run's shared generator or from
// the trajectory's own stream.
template <class Generator>
void runTrajectory(const trajectoryContext& context, const gridPosition& start, Generator& generator,
                   trajectoryResult& result);
extern template void runTrajectory<randomGenerator>(const trajectoryContext&, const gridPosition&, randomGenerator&,
                                                    trajectoryResult&);
extern template void runTrajectory<trajectoryStream>(const trajectoryContext&, const gridPosition&, trajectoryStream&,
                                                     trajectoryResult&);

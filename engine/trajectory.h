#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/simulationSettings.h"
#include "raster/rasterTypes.h"

class iStopCriterionStrategy;
class randomGenerator;

// A point on the grid: a cell and the offsets of the point inside it.
// Offsets lie in [0, cellSize); a clamp at the southern or eastern grid edge
// sets them to cellSize.
struct gridPosition
{
    uint32_t row = 0;         // 0 = northernmost row
    uint32_t col = 0;         // 0 = westernmost column
    float rowOffset = 0.0f;   // from the cell's north edge, southward
    float colOffset = 0.0f;   // from the cell's west edge, eastward
    float cellSize = 0.0f;
};

// The elevations a trajectory runs over; the grid holds the header's
// nrows x ncols values.
struct terrainSurface
{
    const elevationGrid& elevation;
    const rasterHeader& dem;
};

gridPosition positionAtCell(uint32_t row, uint32_t col, float cellSize);

// From local coordinates: a southward from the grid's north edge, b eastward
// from its west edge. A point a hair north or west of the grid (rounding on a
// profile line that ends on the edge) stays in row or column 0 with a
// negative offset rather than wrapping round.
gridPosition positionAtLocal(double a, double b, float cellSize);

// Local coordinates of a position, formed in single precision.
double distanceFromNorthEdge(const gridPosition& position);
double distanceFromWestEdge(const gridPosition& position);

// 0 north-west, 1 north-east, 2 south-east, 3 south-west quarter of the cell.
int quadrant(const gridPosition& position);

// World coordinates of the position and the given elevation.
trajectoryPoint worldPoint(const gridPosition& position, float elevation, const rasterHeader& dem);

// Inverse-distance weighting over the four cells whose centres surround the
// point; cells outside the grid or without data drop out. NaN when none is
// left. A point on a cell centre takes that cell's elevation.
float interpolateElevation(const gridPosition& position, const terrainSurface& surface);

struct profileEvaluation
{
    float shapeFactor = 0.0f;      // area between profile and chord, scaled by the drop
    float energyLineAngle = 0.0f;  // radians, from the release point down to the current point
    float elevation = 0.0f;        // terrain elevation at the current point
};

// The terrain profile from the trajectory's start to its current position,
// sampled every profileStep. `samples` is scratch space kept by the caller so
// that repeated evaluations do not allocate.
profileEvaluation evaluateProfile(const gridPosition& start, const gridPosition& current,
                                  const terrainSurface& surface, double initialFallHeight, double profileStep,
                                  std::vector<float>& samples);

// Most steps one trajectory may take: twice the grid's perimeter in segments.
// Terrain that neither stops a trajectory nor lets it leave (a closed
// depression with flat parts) would otherwise keep it going for ever. Zero
// for a segment length that is not a positive finite number.
double maxTrajectorySteps(const rasterHeader& dem, double straightDistance);

// Everything one trajectory reads; shared read-only between threads.
struct trajectoryContext
{
    terrainSurface surface;
    const grid<double>& aspect;
    const simulationSettings& settings;
    const iStopCriterionStrategy& stopCriterion;
    const std::atomic<bool>& abortRequested;
};

enum class trajectoryEnd { noDownslope, stopCriterion, climbLimit, gridEdge, stepLimit, aborted };

// One trajectory's outcome. Owned by one thread and reused for its next
// trajectory, so its buffers keep their capacity.
struct trajectoryResult
{
    std::vector<std::size_t> reachedCells;  // flat row-major indices, sorted, each once
    std::vector<trajectoryPoint> points;    // recorded only when saveTrajectories is on
    std::vector<float> profileSamples;      // scratch for evaluateProfile
    trajectoryEnd end = trajectoryEnd::noDownslope;
    uint64_t steps = 0;
};

// Moves one mass from `start` until it stops, climbs too far, reaches the
// grid edge or the step limit, or the abort flag is seen. Draws one number
// per step after the first where the cell has a downslope direction.
void runTrajectory(const trajectoryContext& context, const gridPosition& start, randomGenerator& generator,
                   trajectoryResult& result);

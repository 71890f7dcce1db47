#include "engine/trajectory.h"

#include <algorithm>
#include <cmath>

#include "engine/angles.h"
#include "engine/randomGenerator.h"
#include "engine/stopCriterion.h"

gridPosition positionAtCell(uint32_t row, uint32_t col, float cellSize)
{
    return gridPosition{row, col, 0.0f, 0.0f, cellSize};
}

namespace {
// One axis of positionAtLocal: the cell index and the offset inside it. The
// product index x cellSize is taken in single precision, the difference in
// double.
void splitLocal(double distance, float cellSize, uint32_t& index, float& offset)
{
    const double cells = std::floor(distance / static_cast<double>(cellSize));
    if (!(cells >= 0.0)) {
        index = 0;
        offset = static_cast<float>(distance);
        return;
    }
    index = static_cast<uint32_t>(std::min(cells, 4294967295.0));
    const float cellStart = static_cast<float>(index) * cellSize;
    offset = static_cast<float>(distance - static_cast<double>(cellStart));
}
}

gridPosition positionAtLocal(double a, double b, float cellSize)
{
    gridPosition position;
    position.cellSize = cellSize;
    splitLocal(a, cellSize, position.row, position.rowOffset);
    splitLocal(b, cellSize, position.col, position.colOffset);
    return position;
}

double distanceFromNorthEdge(const gridPosition& position)
{
    return static_cast<float>(position.row) * position.cellSize + position.rowOffset;
}

double distanceFromWestEdge(const gridPosition& position)
{
    return static_cast<float>(position.col) * position.cellSize + position.colOffset;
}

int quadrant(const gridPosition& position)
{
    const float half = position.cellSize / 2.0f;
    const bool north = position.rowOffset < half;
    const bool west = position.colOffset < half;
    if (north)
        return west ? 0 : 1;
    return west ? 3 : 2;
}

trajectoryPoint worldPoint(const gridPosition& position, float elevation, const rasterHeader& dem)
{
    double xllCorner = dem.xll;
    double yllCorner = dem.yll;
    if (dem.spatialReference == rasterHeader::center) {
        xllCorner -= dem.cellsize / 2.0;
        yllCorner -= dem.cellsize / 2.0;
    }
    const double gridHeight = static_cast<double>(dem.nrows) * dem.cellsize;
    return trajectoryPoint{static_cast<float>(xllCorner + distanceFromWestEdge(position)),
                           static_cast<float>(yllCorner + gridHeight - distanceFromNorthEdge(position)), elevation};
}

float interpolateElevation(const gridPosition& position, const terrainSurface& surface)
{
    // First cell of the 2 x 2 block of centres around the point, by quadrant.
    static constexpr int blockRowShift[4] = {-1, -1, 0, 0};
    static constexpr int blockColShift[4] = {-1, 0, 0, -1};
    const int q = quadrant(position);
    const int64_t row = position.row;
    const int64_t col = position.col;
    const int64_t r0 = row + blockRowShift[q];
    const int64_t c0 = col + blockColShift[q];
    const int64_t blockRows[4] = {r0, r0, r0 + 1, r0 + 1};
    const int64_t blockCols[4] = {c0, c0 + 1, c0 + 1, c0};

    const double nodata = surface.dem.nodataValue;
    const double cellSize = position.cellSize;
    float sumZ = 0.0f;
    float sumW = 0.0f;
    for (int i = 0; i < 4; ++i) {
        const int64_t r = blockRows[i];
        const int64_t c = blockCols[i];
        if (r < 0 || r >= surface.dem.nrows || c < 0 || c >= surface.dem.ncols)
            continue;
        const float z = surface.elevation(static_cast<int>(r), static_cast<int>(c));
        if (static_cast<double>(z) == nodata)
            continue;
        const double dr = static_cast<double>(r - row) * cellSize + cellSize / 2.0 - position.rowOffset;
        const double dc = static_cast<double>(c - col) * cellSize + cellSize / 2.0 - position.colOffset;
        const float d = static_cast<float>(std::sqrt(dr * dr + dc * dc));
        if (d == 0.0f)
            return z;
        sumZ += z / d;
        sumW += 1.0f / d;
    }
    return sumZ / sumW;
}

namespace {
// Profiles longer than this many samples grow their buffer as they go
// instead of reserving it all up front.
constexpr double largestReservedProfile = 16777216.0;

void reserveSamples(std::vector<float>& samples, double length, double profileStep)
{
    const double expected = std::ceil(length / profileStep);
    if (expected <= largestReservedProfile && expected > static_cast<double>(samples.capacity()))
        samples.reserve(static_cast<std::size_t>(expected));
}

// Elevations along the line from the start towards the current point at
// profileStep, 2 x profileStep, ... short of its end. Returns the lowest of
// them and the start elevation; NaN samples never lower it.
float sampleProfile(const gridPosition& start, double dRow, double dCol, double length,
                    const terrainSurface& surface, double profileStep, float zStart, std::vector<float>& samples)
{
    samples.clear();
    float zMin = zStart;
    if (!(profileStep > 0.0))
        return zMin;
    reserveSamples(samples, length, profileStep);
    const double aStart = distanceFromNorthEdge(start);
    const double bStart = distanceFromWestEdge(start);
    const double unitRow = dRow / length;
    const double unitCol = dCol / length;
    // The distance is a multiple of the step, never a running sum, so a tiny
    // step cannot stall it.
    for (uint64_t k = 1;; ++k) {
        const double t = static_cast<double>(k) * profileStep;
        if (!(t < length))
            break;
        const gridPosition sample = positionAtLocal(aStart + t * unitRow, bStart + t * unitCol, start.cellSize);
        const float z = interpolateElevation(sample, surface);
        samples.push_back(z);
        if (z < zMin)
            zMin = z;
    }
    return zMin;
}

// Trapezoids between the profile and the level zMin, scaled by the chord
// slope; each bracket in float, each sum in double stored back as float.
float profileArea(const std::vector<float>& samples, float zStart, float zEnd, float zMin, float slope)
{
    float area = 0.0f;
    float previous = zStart;
    for (const float z : samples) {
        area = static_cast<float>(area + 0.5 * ((previous + z - 2.0f * zMin) * slope));
        previous = z;
    }
    return static_cast<float>(area + 0.5 * ((previous + zEnd - 2.0f * zMin) * slope));
}
}

profileEvaluation evaluateProfile(const gridPosition& start, const gridPosition& current,
                                  const terrainSurface& surface, double initialFallHeight, double profileStep,
                                  std::vector<float>& samples)
{
    const double dRow = distanceFromNorthEdge(current) - distanceFromNorthEdge(start);
    const double dCol = distanceFromWestEdge(current) - distanceFromWestEdge(start);
    const double length = std::sqrt(dRow * dRow + dCol * dCol);
    const float zStart = static_cast<float>(interpolateElevation(start, surface) + initialFallHeight);
    const float zEnd = interpolateElevation(current, surface);
    const float drop = zStart - zEnd;

    profileEvaluation result;
    result.elevation = zEnd;
    if (length == 0.0) {
        // Back on the start point: no profile, and the energy line is
        // vertical (or level when there is no drop) instead of 0/0.
        samples.clear();
        result.shapeFactor = 0.0f;
        result.energyLineAngle = static_cast<float>(std::atan2(static_cast<double>(drop), 0.0));
        return result;
    }

    const float slope = static_cast<float>(drop / length);
    const float zMin = sampleProfile(start, dRow, dCol, length, surface, profileStep, zStart, samples);
    const float area = profileArea(samples, zStart, zEnd, zMin, slope);
    const double depth = static_cast<double>(zStart - zMin);
    const double squaredDepth = depth * depth;
    result.shapeFactor = static_cast<float>(area / (squaredDepth > 1.0 ? squaredDepth : 1.0));
    result.energyLineAngle = static_cast<float>(std::atan(drop / length));
    return result;
}

double maxTrajectorySteps(const rasterHeader& dem, double straightDistance)
{
    if (!(straightDistance > 0.0) || !std::isfinite(straightDistance))
        return 0.0;
    const double perimeter = 2.0 * (static_cast<double>(dem.nrows) + static_cast<double>(dem.ncols)) * dem.cellsize;
    return std::ceil(perimeter / straightDistance);
}

namespace {
// Turns the heading towards the downslope direction by a random angle of at
// most maxDeviationAngle degrees, small angles being the most likely.
double deviatedHeading(double heading, double aspect, double u, int maxDeviationAngle)
{
    const double deviation = maxDeviationAngle * std::pow(u, 2.85) * pi / 180.0;
    double difference = aspect - heading;
    if (difference > pi)
        difference -= twoPi;
    else if (difference < -pi)
        difference += twoPi;
    heading = difference > 0.0 ? heading + deviation : heading - deviation;
    return heading - std::trunc(heading / twoPi) * twoPi;
}

struct axisStep
{
    uint32_t index;
    float offset;
    bool edge;
};

// Moves along one axis to `distance` from the current cell's north or west
// edge. The new index is formed signed, so a step off the north or west edge
// clamps to 0 instead of wrapping round.
axisStep moveAlongAxis(uint32_t index, double distance, float cellSize, int32_t count)
{
    const double cells = std::floor(distance / static_cast<double>(cellSize));
    const double target = static_cast<double>(index) + cells;
    if (!(target >= 0.0))
        return axisStep{0, 0.0f, true};
    if (target >= static_cast<double>(count))
        return axisStep{static_cast<uint32_t>(count - 1), cellSize, true};
    const float crossed = static_cast<float>(cells) * cellSize;
    return axisStep{static_cast<uint32_t>(target), static_cast<float>(distance - static_cast<double>(crossed)), false};
}

// Advances one segment along the heading; true when the grid edge was met.
bool advance(gridPosition& position, double heading, double straightDistance, const rasterHeader& dem)
{
    const double a = position.rowOffset - std::cos(heading) * straightDistance;
    const double b = position.colOffset + std::sin(heading) * straightDistance;
    const axisStep rowStep = moveAlongAxis(position.row, a, position.cellSize, dem.nrows);
    const axisStep colStep = moveAlongAxis(position.col, b, position.cellSize, dem.ncols);
    position.row = rowStep.index;
    position.rowOffset = rowStep.offset;
    position.col = colStep.index;
    position.colOffset = colStep.offset;
    return rowStep.edge || colStep.edge;
}

// A NaN aspect counts as no direction too: it arises where the DEM's own
// NODATA value is NaN, and would otherwise turn the heading into NaN.
bool hasDownslope(double aspect, double nodata)
{
    return aspect != nodata && !std::isnan(aspect);
}

class trajectoryWalk
{
public:
    trajectoryWalk(const trajectoryContext& context, const gridPosition& start, randomGenerator& generator,
                   trajectoryResult& result)
        : context_(context), start_(start), generator_(generator), result_(result),
          nodata_(context.surface.dem.nodataValue),
          maxSteps_(maxTrajectorySteps(context.surface.dem, context.settings.straightDistance))
    {
    }

    trajectoryEnd run()
    {
        const float z0 = interpolateElevation(start_, context_.surface);
        reach(start_, z0);
        gridPosition position = start_;
        float previousElevation = z0;
        float climb = 0.0f;
        double heading = 0.0;
        for (bool firstStep = true;; firstStep = false) {
            if (context_.abortRequested.load(std::memory_order_relaxed))
                return trajectoryEnd::aborted;
            if (static_cast<double>(result_.steps) >= maxSteps_)
                return trajectoryEnd::stepLimit;

            const double aspect = context_.aspect(static_cast<int>(position.row), static_cast<int>(position.col));
            if (firstStep) {
                if (!hasDownslope(aspect, nodata_))
                    return trajectoryEnd::noDownslope;
                heading = aspect;
            } else if (hasDownslope(aspect, nodata_)) {
                heading = deviatedHeading(heading, aspect, generator_.draw(), context_.settings.maxDeviationAngle);
            }

            const bool edge = advance(position, heading, context_.settings.straightDistance, context_.surface.dem);
            ++result_.steps;
            const profileEvaluation profile =
                evaluateProfile(start_, position, context_.surface, context_.settings.initialFallHeight,
                                context_.settings.profileStep, result_.profileSamples);
            const bool stop = context_.stopCriterion.shouldStop(profile.shapeFactor, profile.energyLineAngle);

            // Climbing counts only over unbroken non-descending steps; a NaN
            // elevation neither descends nor exceeds the limit.
            const float rise = profile.elevation - previousElevation;
            bool climbExceeded = false;
            if (rise < 0.0f) {
                climb = 0.0f;
            } else {
                climb = climb + rise;
                climbExceeded = climb > 10.0;
            }
            if (stop)
                return trajectoryEnd::stopCriterion;
            if (climbExceeded)
                return trajectoryEnd::climbLimit;

            reach(position, profile.elevation);
            if (edge)
                return trajectoryEnd::gridEdge;
            if (static_cast<double>(result_.steps) >= maxSteps_)
                return trajectoryEnd::stepLimit;
            previousElevation = profile.elevation;
        }
    }

private:
    void reach(const gridPosition& position, float elevation)
    {
        result_.reachedCells.push_back(static_cast<std::size_t>(position.row)
                                           * static_cast<std::size_t>(context_.surface.dem.ncols)
                                       + position.col);
        if (context_.settings.saveTrajectories)
            result_.points.push_back(worldPoint(position, elevation, context_.surface.dem));
    }

    const trajectoryContext& context_;
    const gridPosition& start_;
    randomGenerator& generator_;
    trajectoryResult& result_;
    const double nodata_;
    const double maxSteps_;
};
}

void runTrajectory(const trajectoryContext& context, const gridPosition& start, randomGenerator& generator,
                   trajectoryResult& result)
{
    result.reachedCells.clear();
    result.points.clear();
    result.steps = 0;
    result.end = trajectoryWalk(context, start, generator, result).run();
    // A cell visited several times is reached once.
    std::sort(result.reachedCells.begin(), result.reachedCells.end());
    result.reachedCells.erase(std::unique(result.reachedCells.begin(), result.reachedCells.end()),
                              result.reachedCells.end());
}

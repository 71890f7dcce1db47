// The walk of one mass: straight segments along a heading that turns towards
// the downslope direction, until the energy line, the climb limit, the grid
// edge or the step limit ends it.
#include "engine/trajectory.h"

#include <algorithm>
#include <cmath>

#include "engine/angles.h"
#include "engine/barrierIndex.h"
#include "engine/cellWalk.h"
#include "engine/profileWork.h"
#include "engine/randomGenerator.h"
#include "engine/stopCriterion.h"
#include "engine/trajectoryStream.h"

double maxTrajectorySteps(const rasterHeader& dem, double segmentLength)
{
    if (!(segmentLength > 0.0) || !std::isfinite(segmentLength))
        return 0.0;
    const double perimeterCells = 2.0 * (static_cast<double>(dem.nrows) + static_cast<double>(dem.ncols));
    const double steps = perimeterCells * dem.cellsize / segmentLength;
    // Bounded for any cell size: a segment far below the cell's float offsets
    // would otherwise leave the mass in place for ever.
    const double bound = perimeterCells * maxSegmentsPerCell;
    return std::ceil(steps < bound ? steps : bound);
}

namespace {
// The deviation is maxDeviationAngle x u^2.85 for a uniform draw u: the
// exponent skews the turn towards small angles, as masses mostly keep their
// line and only now and then swerve (the empirical deviation law of the
// energy-line model that the stop criteria come from).
constexpr double deviationExponent = 2.85;

// A mass that has risen more than this many metres over unbroken
// non-descending steps has used up the energy it could have; it stops.
constexpr double climbLimitMetres = 10.0;

// Turns the heading towards the downslope direction by a random angle of at
// most maxDeviationAngle degrees, small angles being the most likely.
double deviatedHeading(double heading, double aspect, double u, int maxDeviationAngle)
{
    const double deviation = maxDeviationAngle * std::pow(u, deviationExponent) * pi / 180.0;
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
bool advance(gridPosition& position, double heading, double segmentLength, const rasterHeader& dem)
{
    const double a = position.rowOffset - std::cos(heading) * segmentLength;
    const double b = position.colOffset + std::sin(heading) * segmentLength;
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
bool hasDownslope(double aspect, double nodata) { return aspect != nodata && !std::isnan(aspect); }

// A position in cells from the grid's north-west corner, as walkCells takes it.
double columnCoordinate(const gridPosition& p) { return p.col + static_cast<double>(p.colOffset) / p.cellSize; }
double rowCoordinate(const gridPosition& p) { return p.row + static_cast<double>(p.rowOffset) / p.cellSize; }

template <class Generator>
class trajectoryWalk
{
public:
    trajectoryWalk(const trajectoryContext& context, const gridPosition& start, Generator& generator,
                   trajectoryResult& result)
        : context_(context), start_(start), generator_(generator), result_(result),
          nodata_(context.surface.dem.nodataValue),
          maxSteps_(maxTrajectorySteps(context.surface.dem, context.settings.segmentLength)),
          recordHeights_(context.recordHeights),
          countCrossed_(context.settings.counting == cellCounting::crossedCells), measures_(context.measures)
    {
    }

    trajectoryEnd run()
    {
        const float z0 = interpolateElevation(start_, context_.surface);
        const double releaseHeight =
            recordHeights_ || measures_ ? startHeight(z0, context_.settings.initialFallHeight) : 0.0;
        reach(start_, z0, recordHeights_ ? releaseHeight : 0.0);
        lastPoint_ = start_;
        lastHeight_ = recordHeights_ ? releaseHeight : 0.0;
        if (measures_) {
            reachProtected(start_, z0, releaseHeight);
            protectedHeight_ = releaseHeight;
            previousPosition_ = start_;
        }
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

            const bool edge = advance(position, heading, context_.settings.segmentLength, context_.surface.dem);
            ++result_.steps;
            const profileEvaluation profile =
                evaluateProfile(start_, position, context_.surface, context_.settings.initialFallHeight,
                                context_.settings.profileStep, result_.profileSamples);
            // A mass that enters a place without elevation (sea, a lake, a
            // gap in the data) is lost there: nothing could stop or lift it,
            // so without this it would fly on in a straight line.
            if (std::isnan(profile.elevation))
                return trajectoryEnd::noElevation;
            const bool stop = context_.stopCriterion.shouldStop(profile.shapeFactor, profile.energyLineAngle);

            // Climbing counts only over unbroken non-descending steps.
            const float rise = profile.elevation - previousElevation;
            bool climbExceeded = false;
            if (rise < 0.0f) {
                climb = 0.0f;
            } else {
                climb = climb + rise;
                climbExceeded = climb > climbLimitMetres;
            }
            if (stop)
                return trajectoryEnd::stopCriterion;
            if (climbExceeded)
                return trajectoryEnd::climbLimit;

            if (measures_) {
                const double threshold = context_.stopCriterion.thresholdDegrees(profile.shapeFactor);
                pass(position, profile.elevation, recordHeights_ ? energyLineHeight(profile, threshold) : 0.0);
                if (protectedOn_)
                    followProtected(position, profile, threshold);
                previousPosition_ = position;
                previousLength_ = profile.length;
            } else {
                pass(position, profile.elevation,
                     recordHeights_
                         ? energyLineHeight(profile, context_.stopCriterion.thresholdDegrees(profile.shapeFactor))
                         : 0.0);
            }
            result_.runOut = profile.length;
            result_.travelAngle = profile.energyLineAngle;
            result_.moved = true;
            if (edge)
                return trajectoryEnd::gridEdge;
            if (static_cast<double>(result_.steps) >= maxSteps_)
                return trajectoryEnd::stepLimit;
            previousElevation = profile.elevation;
        }
    }

private:
    // The protected part at a new point: a barrier crossed on the way there
    // may stop it at the crossing; forest there adds its loss, and the part
    // ends where its energy line falls below the ground.
    void followProtected(const gridPosition& position, const profileEvaluation& profile, double threshold)
    {
        trajectoryResult::protectedPart& part = result_.withMeasures;
        const double drop = static_cast<double>(profile.startElevation) - static_cast<double>(profile.elevation);
        const double line = drop - profile.length * std::tan(threshold * pi / 180.0);
        double height = line - loss_;
        if (measures_->barriers && crossedBarrierStops(position, profile, countedHeight(height)))
            return;
        const grid<float>* forest = measures_->forest;
        if (forest && profile.length > measures_->forestParameters.skip) {
            const float index = (*forest)(static_cast<int>(position.row), static_cast<int>(position.col));
            if (index > 0.0f) {
                loss_ += forestLoss(measures_->forestParameters, index, countedHeight(height), threshold,
                                    profile.length - previousLength_);
                height = line - loss_;
                if (height < 0.0) {
                    part.stoppedBy = trajectoryResult::protectedPart::stop::forest;
                    protectedOn_ = false;
                    return;
                }
            }
        }
        const double previousHeight = protectedHeight_;
        protectedHeight_ = countedHeight(height);
        if (countCrossed_)
            crossCells(previousPosition_, position, previousHeight, protectedHeight_, 1.0,
                       [this](std::size_t cell, double h) { addProtected(cell, h); });
        reachProtected(position, profile.elevation, protectedHeight_);
        part.runOut = profile.length;
        part.travelAngle = profile.energyLineAngle;
        part.moved = true;
    }

    // The first barrier the segment to `position` crosses: the block
    // arrives with the energy of the height interpolated along the segment;
    // at or below the barrier's capacity it stops at the crossing, which is
    // then its last point.
    bool crossedBarrierStops(const gridPosition& position, const profileEvaluation& profile, double height)
    {
        const auto x = columnCoordinate;
        const auto y = rowCoordinate;
        const std::optional<barrierIndex::crossing> crossing =
            measures_->barriers->firstCrossing(x(previousPosition_), y(previousPosition_), x(position), y(position));
        if (!crossing)
            return false;
        const double t = crossing->along;
        const double arrival = protectedHeight_ + t * (height - protectedHeight_);
        const double energy = blockEnergy(context_.blockWeight ? *context_.blockWeight : 0.0, arrival);
        const bool stopped = energy <= (*measures_->capacities)[crossing->barrier];
        trajectoryResult::protectedPart& part = result_.withMeasures;
        part.barriers.push_back({crossing->barrier, energy, stopped});
        if (!stopped)
            return false;
        const double cx = x(previousPosition_) + t * (x(position) - x(previousPosition_));
        const double cy = y(previousPosition_) + t * (y(position) - y(previousPosition_));
        const float size = position.cellSize;
        gridPosition at = position;
        at.col = static_cast<uint32_t>(std::floor(cx));
        at.row = static_cast<uint32_t>(std::floor(cy));
        at.colOffset = static_cast<float>((cx - std::floor(cx)) * size);
        at.rowOffset = static_cast<float>((cy - std::floor(cy)) * size);
        // The crossing ends the saved path. Counting crossed cells, those up
        // to the crossing count; counting points, its cell counts only if the
        // path had a point there. Either way the protected counts stay within
        // the unprotected ones cell by cell.
        if (countCrossed_)
            crossCells(previousPosition_, position, protectedHeight_, height, t,
                       [this](std::size_t cell, double h) { addProtected(cell, h); });
        if (context_.settings.saveTrajectories) {
            trajectoryPoint point = worldPoint(at, interpolateElevation(at, context_.surface), context_.surface.dem);
            point.h = recordHeights_ ? static_cast<float>(arrival) : 0.0f;
            part.points.push_back(point);
        }
        part.runOut = previousLength_ + t * (profile.length - previousLength_);
        part.travelAngle = profile.energyLineAngle;
        part.moved = true;
        part.stoppedBy = trajectoryResult::protectedPart::stop::barrier;
        protectedOn_ = false;
        return true;
    }

    // The cells the segment from `from` to `to` crosses up to `until` (0 at
    // `from`, 1 at `to`), each with the larger of the energy-line heights
    // where the segment enters and leaves it, interpolated linearly between
    // the heights at the two points. Cells off the grid (a point clamped onto
    // its edge lies on the far side of its cell) or without elevation are
    // left out, as a trajectory never counts a place it could not stand.
    template <class Add>
    void crossCells(const gridPosition& from, const gridPosition& to, double fromHeight, double toHeight,
                    double until, Add add) const
    {
        const rasterHeader& dem = context_.surface.dem;
        const auto heightAt = [&](double along) { return fromHeight + along * (toHeight - fromHeight); };
        walkCellSpans(columnCoordinate(from), rowCoordinate(from), columnCoordinate(to), rowCoordinate(to),
                      [&](int64_t row, int64_t col, double enter, double leave) {
                          // A cell entered at the crossing itself (a barrier along a
                          // cell edge) lies beyond it; the margin covers the two ways
                          // of forming the crossing's place along the segment.
                          if (until < 1.0 && enter >= until - 1e-9)
                              return false;
                          if (row < 0 || col < 0 || row >= dem.nrows || col >= dem.ncols)
                              return true;
                          const float z = context_.surface.elevation(static_cast<int>(row), static_cast<int>(col));
                          if (static_cast<double>(z) == nodata_ || std::isnan(z))
                              return true;
                          const double height = std::max(heightAt(enter), heightAt(std::min(leave, until)));
                          add(static_cast<std::size_t>(row) * static_cast<std::size_t>(dem.ncols)
                                  + static_cast<std::size_t>(col),
                              height);
                          return true;
                      });
    }

    // A new recorded point: the cells crossed on the way from the last one
    // (when they count), then the point's own.
    void pass(const gridPosition& position, float elevation, double height)
    {
        if (countCrossed_ && recordHeights_) {
            crossCells(lastPoint_, position, lastHeight_, height, 1.0,
                       [this](std::size_t cell, double h) { addReached(cell, h); });
        } else if (countCrossed_) {
            // Without heights the two points' own cells add nothing: they are counted anyway.
            const std::size_t ncols = static_cast<std::size_t>(context_.surface.dem.ncols);
            const std::size_t from = lastPoint_.row * ncols + lastPoint_.col;
            const std::size_t to = position.row * ncols + position.col;
            crossCells(lastPoint_, position, 0.0, 0.0, 1.0, [this, from, to](std::size_t cell, double) {
                if (cell != from && cell != to)
                    result_.reachedCells.push_back(cell);
            });
        }
        reach(position, elevation, height);
        lastPoint_ = position;
        lastHeight_ = height;
    }

    void addReached(std::size_t cell, double height)
    {
        if (recordHeights_)
            result_.cellHeights.push_back(cellHeight{cell, height});
        else
            result_.reachedCells.push_back(cell);
    }

    void addProtected(std::size_t cell, double height)
    {
        result_.withMeasures.cellHeights.push_back(cellHeight{cell, height});
    }

    void reachProtected(const gridPosition& position, float elevation, double height)
    {
        trajectoryResult::protectedPart& part = result_.withMeasures;
        const std::size_t cell =
            static_cast<std::size_t>(position.row) * static_cast<std::size_t>(context_.surface.dem.ncols)
            + position.col;
        addProtected(cell, height);
        if (context_.settings.saveTrajectories) {
            trajectoryPoint point = worldPoint(position, elevation, context_.surface.dem);
            point.h = recordHeights_ ? static_cast<float>(height) : 0.0f;
            part.points.push_back(point);
        }
    }

    void reach(const gridPosition& position, float elevation, double height)
    {
        const std::size_t cell =
            static_cast<std::size_t>(position.row) * static_cast<std::size_t>(context_.surface.dem.ncols)
            + position.col;
        addReached(cell, height);
        if (context_.settings.saveTrajectories) {
            trajectoryPoint point = worldPoint(position, elevation, context_.surface.dem);
            point.h = static_cast<float>(height);
            result_.points.push_back(point);
        }
    }

    const trajectoryContext& context_;
    const gridPosition& start_;
    Generator& generator_;
    trajectoryResult& result_;
    const double nodata_;
    const double maxSteps_;
    const bool recordHeights_;
    const bool countCrossed_;
    // The last recorded point and its energy-line height (0 without intensity).
    gridPosition lastPoint_{};
    double lastHeight_ = 0.0;
    // With measures: whether the protected part goes on, the forest's
    // accumulated loss H (m), its height at the last point, and the last point.
    const protectionMeasures* const measures_;
    bool protectedOn_ = true;
    double loss_ = 0.0;
    double protectedHeight_ = 0.0;
    double previousLength_ = 0.0;
    gridPosition previousPosition_{};
};

// Each cell once with the largest of its heights; reachedCells follows.
void keepLargestHeightPerCell(std::vector<cellHeight>& heights, std::vector<std::size_t>& reachedCells)
{
    std::sort(heights.begin(), heights.end(), [](const cellHeight& a, const cellHeight& b) {
        return a.cell < b.cell || (a.cell == b.cell && a.height > b.height);
    });
    heights.erase(std::unique(heights.begin(), heights.end(),
                              [](const cellHeight& a, const cellHeight& b) { return a.cell == b.cell; }),
                  heights.end());
    reachedCells.clear();
    for (const cellHeight& reached : heights)
        reachedCells.push_back(reached.cell);
}
}  // namespace

template <class Generator>
void runTrajectory(const trajectoryContext& context, const gridPosition& start, Generator& generator,
                   trajectoryResult& result)
{
    result.reachedCells.clear();
    result.cellHeights.clear();
    result.points.clear();
    result.steps = 0;
    result.runOut = 0.0;
    result.moved = false;
    if (context.measures) {
        trajectoryResult::protectedPart& part = result.withMeasures;
        part.reachedCells.clear();
        part.cellHeights.clear();
        part.points.clear();
        part.barriers.clear();
        part.runOut = 0.0;
        part.travelAngle = 0.0f;
        part.moved = false;
        part.stoppedBy = trajectoryResult::protectedPart::stop::none;
    }
    result.end = trajectoryWalk<Generator>(context, start, generator, result).run();
    if (context.measures) {
        keepLargestHeightPerCell(result.withMeasures.cellHeights, result.withMeasures.reachedCells);
        if (!context.recordHeights)
            result.withMeasures.cellHeights.clear();
    }
    if (context.recordHeights) {
        keepLargestHeightPerCell(result.cellHeights, result.reachedCells);
        return;
    }
    // A cell visited several times is reached once.
    std::sort(result.reachedCells.begin(), result.reachedCells.end());
    result.reachedCells.erase(std::unique(result.reachedCells.begin(), result.reachedCells.end()),
                              result.reachedCells.end());
}

template void runTrajectory<randomGenerator>(const trajectoryContext&, const gridPosition&, randomGenerator&,
                                             trajectoryResult&);
template void runTrajectory<trajectoryStream>(const trajectoryContext&, const gridPosition&, trajectoryStream&,
                                              trajectoryResult&);

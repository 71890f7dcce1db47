#include "engine/monteCarloDriver.h"

#include <cmath>
#include <exception>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string>

#include "engine/angles.h"
#include "engine/randomGenerator.h"
#include "engine/startCellReach.h"
#include "engine/stopCriterion.h"
#include "engine/trajectory.h"
#include "engine/trajectoryStream.h"

namespace {
void requireGridShape(int rows, int cols, const rasterHeader& dem, const char* what)
{
    if (rows != dem.nrows || cols != dem.ncols)
        throw std::invalid_argument(std::string(what) + " does not have the DEM's nrows x ncols cells");
}

// The trajectories index the grids without range checks: every grid must
// have exactly the header's shape.
void requireMatchingGrids(const propagationInput& input, const propagationOutput& output)
{
    requireGridShape(input.elevation.rows(), input.elevation.cols(), input.dem, "the elevation grid");
    requireGridShape(input.aspect.rows(), input.aspect.cols(), input.dem, "the aspect grid");
    requireGridShape(output.passageCounts.rows(), output.passageCounts.cols(), input.dem, "passageCounts");
    requireGridShape(output.reachingStartCells.rows(), output.reachingStartCells.cols(), input.dem,
                     "reachingStartCells");
    if (input.intensity && input.intensity->enabled) {
        const intensityGrids& grids = output.intensity;
        requireGridShape(grids.heightMax.rows(), grids.heightMax.cols(), input.dem, "heightMax");
        requireGridShape(grids.heightSum.rows(), grids.heightSum.cols(), input.dem, "heightSum");
        const std::size_t classes = input.intensity->energiesWanted() ? input.intensity->energyClassLimits.size() : 0;
        if (grids.classCounts.size() != classes)
            throw std::invalid_argument("classCounts does not have one grid per energy class");
        for (const grid<int32_t>& counts : grids.classCounts)
            requireGridShape(counts.rows(), counts.cols(), input.dem, "classCounts");
        if (!grids.energyMax.empty())
            requireGridShape(grids.energyMax.rows(), grids.energyMax.cols(), input.dem, "energyMax");
    }
    if (input.measures) {
        if (!input.seed)
            throw std::invalid_argument("measures pair each trajectory with itself unprotected: a seed is needed");
        requireGridShape(output.unprotected.passageCounts.rows(), output.unprotected.passageCounts.cols(), input.dem,
                         "unprotected passageCounts");
    }
    if (input.releases && input.releases->size() != input.startCells.size())
        throw std::invalid_argument("the releases do not give one entry per start cell");
    if (!output.frequencies.empty()) {
        if (!input.releases)
            throw std::invalid_argument("frequencies are counted from the releases");
        requireGridShape(output.frequencies.any.rows(), output.frequencies.any.cols(), input.dem, "frequencies");
        for (const grid<int64_t>& sums : output.frequencies.atLeast)
            requireGridShape(sums.rows(), sums.cols(), input.dem, "frequencies");
    }
}

// Run-outs are counted in bins of one cell up to the grid's diagonal.
double gridDiagonal(const rasterHeader& dem)
{
    return std::hypot(static_cast<double>(dem.nrows), static_cast<double>(dem.ncols)) * dem.cellsize;
}
// A tenth of a cell: the window's histogram shows run-outs shorter than a
// cell (a coarse grid's) in more than one bar.
double runOutBinWidth(const rasterHeader& dem) { return dem.cellsize / 10.0; }

bool insideGrid(const startCell& cell, const rasterHeader& dem)
{
    return cell.row >= 0 && cell.row < dem.nrows && cell.col >= 0 && cell.col < dem.ncols;
}

// A random point inside the start cell: the first draw places it east of the
// cell's west edge, the second south of its north edge.
template <class Generator>
gridPosition randomStartPosition(const startCell& cell, float cellSize, Generator& generator)
{
    gridPosition start = positionAtCell(static_cast<uint32_t>(cell.row), static_cast<uint32_t>(cell.col), cellSize);
    start.colOffset = static_cast<float>(cellSize * generator.draw());
    start.rowOffset = static_cast<float>(cellSize * generator.draw());
    return start;
}

// The shared results of a propagation and the locks that guard them. Each
// lock is held for one short update and never together with another.
class propagationMerge
{
public:
    // With `itemCount` > 0 the saved trajectories go to their own places,
    // in work item order, instead of being appended as they finish.
    // With intensity on (`intensity` not null) the heights go to the output's intensity grids.
    propagationMerge(propagationOutput& output, int simulationsPerStartCell, const progressCallback& onProgress,
                     uint64_t itemCount, const intensitySettings* intensity, objectReach* objects,
                     const std::vector<startCellRelease>* releases, const propagationInput& input)
        : output_(output), startCells_(simulationsPerStartCell), onProgress_(onProgress), ordered_(itemCount > 0),
          intensity_(intensity), objects_(objects), releases_(releases), measured_(input.measures != nullptr),
          unprotectedStartCells_(simulationsPerStartCell), objectsUnprotected_(input.objectsUnprotected),
          barriers_(input.measures && input.measures->capacities ? input.measures->capacities->size() : 0)
    {
        if (ordered_) {
            output_.trajectories.resize(static_cast<std::size_t>(itemCount));
            output_.trajectoryOrigins.resize(static_cast<std::size_t>(itemCount));
        }
    }

    // Adds one finished trajectory to every result: with measures, its whole
    // path to the unprotected results and its protected part to the others.
    void addTrajectory(uint64_t item, const trajectoryOrigin& origin, trajectoryResult& trajectory, bool saveTrajectory)
    {
        if (measured_)
            addUnprotected(static_cast<std::size_t>(origin.startCellIndex), trajectory);
        if (saveTrajectory && ordered_) {
            // Every item has its own place: no other thread touches it.
            output_.trajectories[static_cast<std::size_t>(item)] = std::move(trajectory.points);
            output_.trajectoryOrigins[static_cast<std::size_t>(item)] = origin;
        } else if (saveTrajectory) {
            std::lock_guard<std::mutex> guard(trajectoryAppend_);
            // The two lists stay of one length even when memory runs out.
            output_.trajectoryOrigins.push_back(origin);
            try {
                output_.trajectories.push_back(std::move(trajectory.points));
            } catch (...) {
                output_.trajectoryOrigins.pop_back();
                throw;
            }
        }
        const std::size_t startCellIndex = static_cast<std::size_t>(origin.startCellIndex);
        {
            std::lock_guard<std::mutex> guard(countUpdate_);
            int32_t* counts = output_.passageCounts.data();
            for (const std::size_t cell : trajectory.reachedCells)
                ++counts[cell];
            const double weight = blockWeightOf(startCellIndex);
            if (intensity_)
                output_.intensity.addTrajectory(trajectory.cellHeights, *intensity_, weight);
            if (!output_.frequencies.empty())
                output_.frequencies.addTrajectory(frequencyUnits((*releases_)[startCellIndex].frequency),
                                                  trajectory.reachedCells, trajectory.cellHeights, weight,
                                                  intensity_ ? intensity_->energyClassLimits : noLimits_);
            output_.runOuts.addTrajectory(trajectory.runOut, trajectory.moved,
                                          static_cast<double>(trajectory.travelAngle) * 180.0 / pi,
                                          trajectory.reachedCells.size() > 1);
        }
        if (objects_)
            objects_->addTrajectory(startCellIndex, trajectory.reachedCells);
        std::vector<std::size_t> startCellUnion;
        if (startCells_.addTrajectory(startCellIndex, trajectory.reachedCells, startCellUnion))
            addStartCell(startCellUnion);
        {
            std::lock_guard<std::mutex> guard(progressUpdate_);
            ++output_.progressCount;
            if (onProgress_)
                onProgress_(output_.progressCount);
        }
    }

    // Start cells whose simulations were cut short still count for the
    // cells their finished trajectories reached.
    void addIncompleteStartCells()
    {
        for (const std::vector<std::size_t>& cells : startCells_.takeIncomplete())
            addStartCell(cells);
        for (const std::vector<std::size_t>& cells : unprotectedStartCells_.takeIncomplete())
            addStartCell(cells, output_.unprotected.reachingStartCells);
        if (measured_)
            output_.barriers = barriers_.totals();
    }

private:
    // The weight (N) of the start cell's block: its own with releases.
    double blockWeightOf(std::size_t startCellIndex) const
    {
        if (releases_) {
            const startCellRelease& release = (*releases_)[startCellIndex];
            return blockWeight(release.blockVolume, release.rockDensity);
        }
        return intensity_ ? blockWeight(intensity_->blockVolume, intensity_->rockDensity) : 0.0;
    }

    void addStartCell(const std::vector<std::size_t>& cells) { addStartCell(cells, output_.reachingStartCells); }
    void addStartCell(const std::vector<std::size_t>& cells, grid<int32_t>& reachingStartCells)
    {
        std::lock_guard<std::mutex> guard(reachUpdate_);
        int32_t* reaching = reachingStartCells.data();
        for (const std::size_t cell : cells)
            ++reaching[cell];
    }

    // The whole path as if there were no measures; then the protected part
    // takes the trajectory's place for the other results.
    void addUnprotected(std::size_t startCellIndex, trajectoryResult& trajectory)
    {
        unprotectedGrids& grids = output_.unprotected;
        const double weight = blockWeightOf(startCellIndex);
        {
            std::lock_guard<std::mutex> guard(unprotectedUpdate_);
            int32_t* counts = grids.passageCounts.data();
            for (const std::size_t cell : trajectory.reachedCells)
                ++counts[cell];
            if (!grids.energyMax.empty()) {
                double* largest = grids.energyMax.data();
                for (const cellHeight& reached : trajectory.cellHeights)
                    largest[reached.cell] = std::max(largest[reached.cell], blockEnergy(weight, reached.height));
            }
            if (!grids.frequencies.empty())
                grids.frequencies.addTrajectory(frequencyUnits((*releases_)[startCellIndex].frequency),
                                                trajectory.reachedCells, trajectory.cellHeights, weight,
                                                intensity_ ? intensity_->energyClassLimits : noLimits_);
        }
        if (objectsUnprotected_)
            objectsUnprotected_->addTrajectory(startCellIndex, trajectory.reachedCells);
        std::vector<std::size_t> startCellUnion;
        if (unprotectedStartCells_.addTrajectory(startCellIndex, trajectory.reachedCells, startCellUnion))
            addStartCell(startCellUnion, grids.reachingStartCells);
        trajectoryResult::protectedPart& part = trajectory.withMeasures;
        barriers_.addTrajectory(startCellIndex, part.barriers,
                                part.stoppedBy == trajectoryResult::protectedPart::stop::forest);
        std::swap(trajectory.reachedCells, part.reachedCells);
        std::swap(trajectory.cellHeights, part.cellHeights);
        std::swap(trajectory.points, part.points);
        trajectory.runOut = part.runOut;
        trajectory.travelAngle = part.travelAngle;
        trajectory.moved = part.moved;
    }

    propagationOutput& output_;
    startCellReach startCells_;
    const progressCallback& onProgress_;
    const bool ordered_;
    const intensitySettings* const intensity_;
    objectReach* const objects_;
    const std::vector<startCellRelease>* const releases_;
    const std::vector<double> noLimits_;
    const bool measured_;
    startCellReach unprotectedStartCells_;
    objectReach* const objectsUnprotected_;
    barrierReach barriers_;
    std::mutex unprotectedUpdate_;
    std::mutex trajectoryAppend_;
    std::mutex countUpdate_;
    std::mutex reachUpdate_;
    std::mutex progressUpdate_;
};

// Hands out (start cell, simulation) pairs in their documented order, one at
// a time, to whichever thread asks: a single thread works through them start
// cell by start cell, simulation by simulation, while several threads share
// even one start cell's simulations.
class workQueue
{
public:
    explicit workQueue(uint64_t total) : total_(total) {}

    bool next(uint64_t& item)
    {
        if (stopped_.load(std::memory_order_relaxed))
            return false;
        item = next_.fetch_add(1, std::memory_order_relaxed);
        return item < total_;
    }

    void stop() { stopped_.store(true, std::memory_order_relaxed); }

private:
    const uint64_t total_;
    std::atomic<uint64_t> next_{0};
    std::atomic<bool> stopped_{false};
};

// What ends the parallel work early other than an abort. Exceptions never
// leave the parallel region: the first is kept here and raised after it.
class workFailure
{
public:
    void keep(std::exception_ptr failure)
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!failure_)
            failure_ = failure;
    }
    void rethrow() const
    {
        if (failure_)
            std::rethrow_exception(failure_);
    }

private:
    std::mutex lock_;
    std::exception_ptr failure_;
};

void simulate(const propagationInput& input, const trajectoryContext& runContext, randomGenerator& generator,
              workQueue& work, propagationMerge& merge)
{
    const uint64_t simulations = static_cast<uint64_t>(input.settings.numberOfSimulations);
    // With releases, each start cell's fall height goes into this thread's
    // copy of the settings before its trajectory, and its block's weight
    // beside it for the barriers.
    simulationSettings releaseSettings = input.settings;
    const intensitySettings* block = input.intensity;
    double weight = block ? blockWeight(block->blockVolume, block->rockDensity) : 0.0;
    const trajectoryContext releaseContext{runContext.surface,        runContext.aspect,
                                           releaseSettings,           runContext.stopCriterion,
                                           runContext.abortRequested, runContext.recordHeights,
                                           input.measures,            &weight};
    const trajectoryContext& context = input.releases || input.measures ? releaseContext : runContext;
    trajectoryResult trajectory;
    uint64_t item = 0;
    while (!input.abortRequested.load(std::memory_order_relaxed) && work.next(item)) {
        const std::size_t position = static_cast<std::size_t>(item / simulations);
        const std::size_t startCellIndex = input.share ? (*input.share)[position] : position;
        const startCell& cell = input.startCells[startCellIndex];
        const uint64_t simulation = item % simulations;
        const trajectoryOrigin origin{startCellIndex, cell.row, cell.col, static_cast<int32_t>(simulation + 1)};
        if (input.releases) {
            const startCellRelease& release = (*input.releases)[startCellIndex];
            releaseSettings.initialFallHeight = release.fallHeight;
            weight = blockWeight(release.blockVolume, release.rockDensity);
        }
        if (insideGrid(cell, input.dem)) {
            if (input.seed) {
                trajectoryStream stream(*input.seed, static_cast<uint32_t>(startCellIndex),
                                        static_cast<uint32_t>(simulation));
                runTrajectory(context, randomStartPosition(cell, input.dem.cellsize, stream), stream, trajectory);
            } else {
                runTrajectory(context, randomStartPosition(cell, input.dem.cellsize, generator), generator, trajectory);
            }
            if (trajectory.end == trajectoryEnd::aborted)
                return;
        } else {
            // Cannot come from a checked start-cells raster; such a cell
            // reaches nothing rather than reading outside the grids.
            trajectory.reachedCells.clear();
            trajectory.cellHeights.clear();
            trajectory.points.clear();
            trajectory.runOut = 0.0;
            trajectory.moved = false;
            trajectory.withMeasures = trajectoryResult::protectedPart{};
        }
        merge.addTrajectory(item, origin, trajectory, input.settings.saveTrajectories);
    }
}
}  // namespace

void runPropagation(const propagationInput& input, randomGenerator& generator, propagationOutput& output,
                    const progressCallback& onProgress)
{
    requireMatchingGrids(input, output);
    if (output.runOuts.runOutCounts.empty())
        output.runOuts.assign(runOutBinWidth(input.dem), gridDiagonal(input.dem));
    const int simulations = input.settings.numberOfSimulations;
    if (simulations <= 0 || input.startCells.empty())
        return;

    const bool recordHeights = input.intensity && input.intensity->enabled;
    const trajectoryContext context{terrainSurface{input.elevation, input.dem},
                                    input.aspect,
                                    input.settings,
                                    input.stopCriterion,
                                    input.abortRequested,
                                    recordHeights};
    if (input.share) {
        for (const std::size_t index : *input.share)
            if (index >= input.startCells.size())
                throw std::invalid_argument("the share names a start cell beyond the list");
    }
    const std::size_t startCellCount = input.share ? input.share->size() : input.startCells.size();
    const uint64_t items = static_cast<uint64_t>(simulations) * static_cast<uint64_t>(startCellCount);
    if (input.seed && (input.startCells.size() > UINT32_MAX))
        throw std::invalid_argument("a seeded run numbers its start cells in 32 bits");
    workQueue work(items);
    const bool ordered = input.seed.has_value() && input.settings.saveTrajectories;
    propagationMerge merge(output, simulations, onProgress, ordered ? items : 0,
                           recordHeights ? input.intensity : nullptr, input.objects, input.releases, input);
    workFailure failure;

#pragma omp parallel
    {
        try {
            simulate(input, context, generator, work, merge);
        } catch (const std::length_error&) {
            // A container that cannot grow: memory has run out as surely.
            failure.keep(std::make_exception_ptr(std::bad_alloc()));
            work.stop();
        } catch (...) {
            failure.keep(std::current_exception());
            work.stop();
        }
    }

    failure.rethrow();
    merge.addIncompleteStartCells();
    if (input.objects)
        output.objectTotals = input.objects->totals();
    if (input.objectsUnprotected)
        output.unprotected.objects = input.objectsUnprotected->totals();
}

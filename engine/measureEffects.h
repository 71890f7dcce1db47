#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <unordered_set>
#include <vector>

#include "engine/intensity.h"
#include "engine/objectReach.h"
#include "engine/protectionMeasures.h"
#include "engine/releaseFrequency.h"
#include "raster/grid.h"

// What a run with forest or barriers would have given without them, and
// what each barrier met. Counts and maxima only, so the figures do not
// depend on the order trajectories finish in, nor on the processes.
struct unprotectedGrids
{
    grid<int32_t> passageCounts;
    grid<int32_t> reachingStartCells;
    grid<double> energyMax;      // kJ, with energies
    frequencyGrids frequencies;  // with release frequencies
    objectReachTotals objects;   // with objects at risk

    void assign(int rows, int cols, bool energies, bool frequencies, std::size_t energyClasses);
    bool empty() const { return passageCounts.empty(); }
};

// Energies at barriers are counted in bins of 1 kJ up to this; beyond, in the last.
constexpr std::size_t barrierEnergyBins = 100000;

struct barrierTotals
{
    std::vector<uint64_t> reached;  // per barrier: protected parts that reached it
    std::vector<uint64_t> stopped;  // of them stopped there
    std::vector<uint64_t> startCells;                 // start cells with a trajectory that reached it
    std::vector<std::vector<uint64_t>> energyCounts;  // per barrier, arrival energies in 1 kJ bins
    std::vector<double> largestEnergy;                // kJ
    uint64_t stoppedInForest = 0;                     // trajectories the forest stopped
    uint64_t stoppedByBarriers = 0;

    void assign(std::size_t barriers);
    // Adds the totals of a process that simulated other start cells (start
    // cells are counted once: the processes' start cells are disjoint).
    void add(const barrierTotals& other);
    // The arrival energy below which `percent` of a barrier's arrivals lie, as the upper edge of its 1 kJ bin.
    double energyPercentile(std::size_t barrier, double percent) const;
};

// Gathers barrierTotals while trajectories finish on any thread.
class barrierReach
{
public:
    explicit barrierReach(std::size_t barriers);
    void addTrajectory(std::size_t startCellIndex, const std::vector<barrierArrival>& arrivals,
                       bool stoppedInForest);
    barrierTotals totals() const;

private:
    mutable std::mutex lock_;
    barrierTotals totals_;
    std::unordered_set<uint64_t> reachingPairs_;  // start cell index x barriers + barrier
    std::size_t barriers_;
};

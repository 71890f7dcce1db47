#include "engine/measureEffects.h"

#include <algorithm>
#include <cmath>

void unprotectedGrids::assign(int rows, int cols, bool energies, bool withFrequencies, std::size_t energyClasses)
{
    passageCounts.assign(rows, cols, 0);
    reachingStartCells.assign(rows, cols, 0);
    if (energies)
        energyMax.assign(rows, cols, 0.0);
    if (withFrequencies)
        frequencies.assign(rows, cols, energyClasses);
}

void barrierTotals::assign(std::size_t barriers)
{
    reached.assign(barriers, 0);
    stopped.assign(barriers, 0);
    startCells.assign(barriers, 0);
    energyCounts.assign(barriers, {});
    largestEnergy.assign(barriers, 0.0);
}

void barrierTotals::add(const barrierTotals& other)
{
    for (std::size_t b = 0; b < reached.size() && b < other.reached.size(); ++b) {
        reached[b] += other.reached[b];
        stopped[b] += other.stopped[b];
        startCells[b] += other.startCells[b];
        largestEnergy[b] = std::max(largestEnergy[b], other.largestEnergy[b]);
        std::vector<uint64_t>& counts = energyCounts[b];
        const std::vector<uint64_t>& theirs = other.energyCounts[b];
        if (counts.size() < theirs.size())
            counts.resize(theirs.size(), 0);
        for (std::size_t k = 0; k < theirs.size(); ++k)
            counts[k] += theirs[k];
    }
    stoppedInForest += other.stoppedInForest;
    stoppedByBarriers += other.stoppedByBarriers;
}

double barrierTotals::energyPercentile(std::size_t barrier, double percent) const
{
    const std::vector<uint64_t>& counts = energyCounts[barrier];
    uint64_t total = 0;
    for (const uint64_t n : counts)
        total += n;
    if (total == 0)
        return 0.0;
    const double wanted = percent / 100.0 * static_cast<double>(total);
    uint64_t below = 0;
    for (std::size_t k = 0; k < counts.size(); ++k) {
        below += counts[k];
        if (static_cast<double>(below) >= wanted)
            return static_cast<double>(k + 1);
    }
    return static_cast<double>(counts.size());
}

barrierReach::barrierReach(std::size_t barriers) : barriers_(barriers) { totals_.assign(barriers); }

void barrierReach::addTrajectory(std::size_t startCellIndex, const std::vector<barrierArrival>& arrivals,
                                 bool stoppedInForest)
{
    std::lock_guard<std::mutex> guard(lock_);
    totals_.stoppedInForest += stoppedInForest;
    for (const barrierArrival& arrival : arrivals) {
        const std::size_t b = arrival.barrier;
        ++totals_.reached[b];
        totals_.stopped[b] += arrival.stopped;
        totals_.stoppedByBarriers += arrival.stopped;
        totals_.largestEnergy[b] = std::max(totals_.largestEnergy[b], arrival.energy);
        const auto bin = static_cast<std::size_t>(
            std::min(std::max(std::floor(arrival.energy), 0.0), static_cast<double>(barrierEnergyBins - 1)));
        std::vector<uint64_t>& counts = totals_.energyCounts[b];
        if (counts.size() <= bin)
            counts.resize(bin + 1, 0);
        ++counts[bin];
        if (reachingPairs_.insert(static_cast<uint64_t>(startCellIndex) * barriers_ + b).second)
            ++totals_.startCells[b];
    }
}

barrierTotals barrierReach::totals() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return totals_;
}

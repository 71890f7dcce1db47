#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <unordered_set>
#include <vector>

#include <QString>

#include "raster/grid.h"
#include "raster/objectsAtRisk.h"

// What a run found at one object: one row of objects.csv.
struct objectReport
{
    int64_t id = 0;
    QString name;
    int64_t cells = 0;
    uint64_t trajectories = 0;             // trajectories that reached the object
    uint64_t startCells = 0;               // start cells with a trajectory that reached it
    double largestReachProbability = 0.0;  // percent, the largest Reach_prob value over its cells
    // With release frequencies: the largest Freq_any, then Freq_<E>kJ per
    // energy class limit, over its cells (1/year); with the hazard map the
    // highest Hazard_level over them. Empty and -1 without.
    std::vector<double> largestFrequencies;
    int highestHazardLevel = -1;
    // With forest or barriers, the same without them; -1 without measures.
    int64_t trajectoriesUnprotected = -1;
    double largestReachProbabilityUnprotected = 0.0;
    int highestHazardLevelUnprotected = -1;
};

// What the trajectories did to the objects. Every figure is a count, so the
// totals do not depend on the order the trajectories finish in, and the
// totals of processes that simulated disjoint sets of start cells add up to
// those of one process simulating all.
struct objectReachTotals
{
    std::vector<uint64_t> trajectories;           // per object: trajectories that reached it
    std::vector<uint64_t> startCells;             // per object: start cells with a trajectory that reached it
    std::vector<uint32_t> startCellTrajectories;  // per start cell: its trajectories that reached any object

    // Adds the totals of a process that simulated other start cells.
    void add(const objectReachTotals& other);
};

// Gathers objectReachTotals while trajectories finish on any thread.
class objectReach
{
public:
    objectReach(const objectCells& objects, std::size_t startCellCount);

    // One finished trajectory of the start cell (its index in the start-cell
    // list) and the cells it reached, sorted and each once. Safe to call from
    // several threads at once.
    void addTrajectory(std::size_t startCellIndex, const std::vector<std::size_t>& reachedCells);

    objectReachTotals totals() const;

private:
    const objectCells& objects_;
    mutable std::mutex lock_;
    std::vector<uint64_t> trajectories_;
    std::vector<uint32_t> startCellTrajectories_;
    std::unordered_set<uint64_t> reachingPairs_;  // start cell index x objects + object index
};

// The rows in the objects' order (by id), with the largest reach probability
// over each object's cells formed as reachProbabilityPercent forms it.
std::vector<objectReport> objectReports(const objectCells& objects, const objectReachTotals& totals,
                                        const grid<int32_t>& passageCounts, const grid<int32_t>& reachingStartCells,
                                        int numberOfSimulations);

// The rows of the Source_share grid: at each start cell the percentage of
// its simulations that reached any object, NODATA elsewhere.
class sourceShareRows
{
public:
    sourceShareRows(const std::vector<startCell>& startCells, const objectReachTotals& totals, int numberOfSimulations,
                    int cols, float nodataValue);
    // Fills one row of `cols` values; safe from several threads at once.
    void fill(int row, double* values) const;

    struct shareCell
    {
        int32_t row;
        int32_t col;
        double share;  // percent
        bool operator<(const shareCell& other) const { return row != other.row ? row < other.row : col < other.col; }
    };
    // The start cells with their shares, sorted by row and column.
    const std::vector<shareCell>& cells() const { return cells_; }
    // The share at a start cell, as the grid holds it; none elsewhere.
    std::optional<double> share(int row, int col) const;

private:
    std::vector<shareCell> cells_;  // sorted by row and column
    int cols_;
    double nodata_;
};

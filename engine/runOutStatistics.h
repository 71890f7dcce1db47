#pragma once

#include <cstdint>
#include <vector>

// Where the run's trajectories ended, gathered in an order-free way (a
// maximum and counts in fixed bins) so that any number of threads and
// processes give the same figures.
//  - run-out: horizontal distance from the start point to the last point, m;
//  - travel angle: the energy-line angle at the last point, degrees.
// A trajectory that never left its start point has no travel angle; one
// that reached no cell but its start cell is counted apart too.
struct runOutStatistics
{
    static constexpr int angleBinsPerDegree = 10;               // the percentiles' resolution: 0.1 degree
    static constexpr int angleBins = 180 * angleBinsPerDegree;  // -90 to 90 degrees

    double longestRunOut = 0.0;
    std::vector<uint64_t> travelAngleCounts;  // angleBins bins from -90 degrees up
    std::vector<uint64_t> runOutCounts;       // bins of runOutBinWidth from 0 up; the last holds all beyond
    double runOutBinWidth = 0.0;
    uint64_t trajectories = 0;
    uint64_t stayedInStartCell = 0;

    // Sized for run-outs up to `longestPossible` metres in bins of `binWidth`.
    void assign(double binWidth, double longestPossible);
    void addTrajectory(double runOut, bool moved, double travelAngleDegrees, bool leftStartCell);
    // Adds another share of the run (same bins).
    void add(const runOutStatistics& other);

    uint64_t angleCount() const;
    // The travel angle below which `percent` of the trajectories that moved
    // ended, as the centre of its 0.1 degree bin; NaN when none moved.
    double travelAnglePercentile(double percent) const;
};

#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/nearestStartCell.h"
#include "raster/grid.h"

// Field evidence on the DEM's grid: the mapped reach (cells whose centres
// lie inside it), the cells of observed blocks or impacts, and the study
// area inside which misses count (empty: every reached or observed cell).
struct observedEvidence
{
    grid<uint8_t> area;               // 1: observed reached
    std::vector<std::size_t> points;  // flat cell indices, one per observed point
    grid<uint8_t> studyArea;          // 1: inside; empty: the default
    // For the run-out error: each cell's nearest start cell and the release area of every start cell.
    nearestStartCells nearest;
    std::vector<int32_t> releaseAreaOfStartCell;
    int32_t releaseAreas = 0;

    bool inStudy(std::size_t cell) const { return studyArea.empty() || studyArea.data()[cell] != 0; }
};

// Reach_prob as written, in tenths of a percent: the bins the area under the
// ROC curve is counted in (the grid's own one decimal, so ties are those a
// reader of the file sees).
constexpr int reachProbabilityBins = 1001;

// One run against the evidence, in counts the study area's final extent
// completes: the default study area grows with every run of a calibration.
struct runTally
{
    uint64_t observedCells = 0;    // of the mapped reach
    uint64_t observedReached = 0;  // of them reached
    uint64_t points = 0;
    uint64_t pointsReached = 0;
    uint64_t reachedOutside = 0;  // reached cells in the study area outside the mapped reach
    std::vector<uint64_t>
        observedByBin;  // reached cells in the study area inside / outside the reach, by Reach_prob bin
    std::vector<uint64_t> otherByBin;
    // Per release area: the longest simulated and observed run-outs, m, each
    // the distance from the start cells to the farthest reached (observed)
    // cell nearer to that area than to any other; -1 without such a cell.
    std::vector<double> simulatedRunOut;
    std::vector<double> observedRunOut;
};

runTally tallyRun(const observedEvidence& evidence, const grid<int32_t>& passages, const grid<int32_t>& reaching,
                  int numberOfSimulations);

struct runScores
{
    double hitRate = 0.0;            // share of the mapped reach's cells reached, 0..1
    double pointHitRate = 0.0;       // share of the observed points in reached cells (NaN without points)
    double overReachHectares = 0.0;  // reached outside the mapped reach, in the study area
    double overReachShare = 0.0;     // of the study area
    double auc = 0.0;                // Reach_prob as the score of "observed" in the study area (NaN without both kinds)
    double runOutError = 0.0;        // mean over the release areas with evidence of simulated - observed, m (NaN: none)
    // The hit rate of the mapped reach, or without one of the points.
    double evidenceHitRate() const { return std::isnan(hitRate) ? pointHitRate : hitRate; }
    double balanced() const { return evidenceHitRate() - overReachShare; }
};

// The cells inside which misses count: the given study area, or else the
// mapped reach and every cell a run reached, growing with each run of a
// calibration. Counted as it grows.
class studyExtent
{
public:
    explicit studyExtent(const observedEvidence& evidence);
    // A run's reached cells join the default extent; a given study area stays as it is.
    void addRun(const grid<int32_t>& passages);
    uint64_t cells() const { return cells_; }
    uint64_t observedCells() const { return observedCells_; }  // of them in the mapped reach

private:
    grid<uint8_t> inside_;
    bool grows_;
    uint64_t cells_ = 0;
    uint64_t observedCells_ = 0;
};

// `studyCells`: cells of the study area; `observedInStudy`: of them in the mapped reach.
runScores scoresOf(const runTally& tally, uint64_t studyCells, uint64_t observedInStudy, double hectaresPerCell);

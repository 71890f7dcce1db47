#pragma once

#include <string>

#include "engine/simulationSettings.h"
#include "raster/rasterTypes.h"

// How finely a trajectory may cut a cell: at most this many segments per
// cell width bound its steps, and its profile is sampled at most this many
// times per cell width. Settings finer than these add nothing the terrain
// holds (the surface is interpolated from the cell values); the bounds keep
// every trajectory's steps and every profile's samples finite and
// proportional to the grid for any cell size, and no normal run comes near
// them (a 100 m cell with a 0.1 m segment is 1,000 segments per cell; with a
// 0.01 m profile step 10,000 samples).
constexpr double maxSegmentsPerCell = 4096.0;
constexpr double maxSamplesPerCell = 65536.0;

// The step the profile is sampled at: the setting, or 1/maxSamplesPerCell of
// the cell size where the setting is finer.
double boundedProfileStep(double profileStep, float cellSize);

// What a run's profile sampling asks for, as upper estimates from the
// settings and the grid's size: trajectories x steps x samples per profile.
struct profileWork
{
    double trajectories = 0.0;
    double stepsPerTrajectory = 0.0;  // the step bound of a trajectory
    double samplesPerProfile = 0.0;   // the longest profile: the step bound's path or the grid's diagonal
    double samples = 0.0;             // in all, the profiles growing from nothing to the longest
    bool beyondReach = false;
    std::string explanation;  // for a run beyond reach: the estimate and what to change
};

// The largest work a run may ask for: about a day of one core per 10^13
// samples, so this is beyond any machine's reach.
constexpr double maxProfileSamples = 1e18;
// The most samples one profile may take (64 MB of them per thread).
constexpr double maxSamplesPerProfile = 16777216.0;

// The profile work of a run from `startCells` start cells (the grid's cell
// count where they are not known yet). Beyond reach when the whole, one
// profile, or the cuts per cell pass the bounds above.
profileWork estimateProfileWork(const rasterHeader& dem, const simulationSettings& settings, double startCells);

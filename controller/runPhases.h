#pragma once

// The long phases of a run as tumbraController::phaseProgress names them,
// in the order a run meets them.
namespace runPhases {
constexpr const char* readingElevations = "Reading the elevation model";
constexpr const char* derivingTerrain = "Deriving slope directions and relief";
constexpr const char* readingStartCells = "Reading start cells";
constexpr const char* simulating = "Simulating";
constexpr const char* aggregating = "Aggregating results";
constexpr const char* writingCounts = "Writing N.asc";
constexpr const char* writingProbabilities = "Writing Reach_prob.asc";
constexpr const char* writingTrajectories = "Writing trajectory_points.txt";
constexpr const char* writingLog = "Writing log.txt";
}  // namespace runPhases

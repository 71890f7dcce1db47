#pragma once

// The long phases of a run as tumbraController::phaseProgress names them,
// in the order a run meets them.
namespace runPhases {
constexpr const char* readingElevations = "Reading the elevation model";
constexpr const char* derivingTerrain = "Deriving slope directions and relief";
constexpr const char* readingStartCells = "Reading start cells";
constexpr const char* simulating = "Simulating";
constexpr const char* aggregating = "Aggregating results";
// Then one phase per output file, "Writing " and its name ("Writing N.asc").
}  // namespace runPhases

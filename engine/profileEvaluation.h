#pragma once

#include <vector>

#include "engine/elevationInterpolation.h"

struct profileEvaluation
{
    float shapeFactor = 0.0f;      // area between profile and chord, scaled by the drop
    float energyLineAngle = 0.0f;  // radians, from the release point down to the current point
    float elevation = 0.0f;        // terrain elevation at the current point
    float startElevation = 0.0f;   // release point: terrain elevation plus the initial fall height
    double length = 0.0;           // horizontal distance from the release point, m
};

// The terrain profile from the trajectory's start to its current position,
// sampled every profileStep. `samples` is scratch space kept by the caller so
// that repeated evaluations do not allocate.
profileEvaluation evaluateProfile(const gridPosition& start, const gridPosition& current, const terrainSurface& surface,
                                  double initialFallHeight, double profileStep, std::vector<float>& samples);

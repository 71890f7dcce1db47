#pragma once

#include <vector>

#include "engine/elevationInterpolation.h"
#include "engine/simdPath.h"

// A straight profile line in local coordinates: samples lie at t = step,
// 2 x step, ... while t < length, at (aStart + t x unitRow, bStart + t x
// unitCol).
struct profileLine
{
    double aStart = 0.0;
    double bStart = 0.0;
    double unitRow = 0.0;
    double unitCol = 0.0;
    double length = 0.0;
    double step = 0.0;
    float cellSize = 0.0f;
};

// Whether the vector paths can read this surface: the grid has the header's
// shape, at least one cell and at most 2^30 cells, so that every cell index
// fits a 32-bit lane. Other surfaces take the scalar path.
bool profileLanesCanRead(const terrainSurface& surface);

// Whether this build holds the vector path and the processor runs it.
bool profileLanesAvailable(simdPath path);

// Appends the line's sample elevations to `samples`, several samples at once
// on the given vector path, each exactly as positionAtLocal and
// interpolateElevation give it, and returns the lowest of them and zStart,
// NaN never lowering it. The path must be available and the surface readable.
float sampleLineOnLanes(simdPath path, const profileLine& line, const terrainSurface& surface, float zStart,
                        std::vector<float>& samples);

#pragma once

#include <cstdint>
#include <vector>

#include "engine/elevationInterpolation.h"

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

// Appends the line's sample elevations to `samples` and returns the lowest of
// them and zStart, NaN never lowering it. Runs on the active path (see
// simdPath.h): several samples at once on a vector path, each exactly as
// positionAtLocal and interpolateElevation give it, or one after another on
// the scalar path and for surfaces the vector paths cannot read.
float sampleProfileLine(const profileLine& line, const terrainSurface& surface, float zStart,
                        std::vector<float>& samples);

// The scalar reference of sampleProfileLine: the samples in order.
float sampleProfileLineInOrder(const profileLine& line, const terrainSurface& surface, float zStart,
                               std::vector<float>& samples);

// The Highway targets (HWY_SSE4, HWY_AVX2, HWY_NEON, ...) this build compiled
// the vector sampling for, one bit each.
int64_t profileLaneTargetsBuilt();

// The Highway targets this processor runs, whatever the dispatch was set to.
int64_t profileLaneTargetsSupported();

// Sends Highway's dispatch of the sampling to one built and supported target,
// or to its fallback, the scalar reference, for 0.
void dispatchProfileLanesTo(int64_t target);

// The target Highway's dispatch of the sampling runs now, 0 for the scalar
// reference: how the tests see that a path setting reached the dispatch.
int64_t profileLaneTargetDispatched();

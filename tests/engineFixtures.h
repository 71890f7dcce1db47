#pragma once

#include <functional>

#include "engine/stopCriterion.h"
#include "raster/rasterTypes.h"

// Small terrains built in memory for the engine's tests.

constexpr float testNodata = -9999.0f;

inline rasterHeader testHeader(int nrows, int ncols, float cellSize = 10.0f)
{
    return {nrows, ncols, 1000.0f, 2000.0f, cellSize, testNodata, rasterHeader::corner};
}

// Elevation of every cell from its row and column.
inline elevationGrid surfaceGrid(int nrows, int ncols, const std::function<float(int, int)>& elevationAt)
{
    elevationGrid elevation(nrows, ncols, 0.0f);
    for (int r = 0; r < nrows; ++r)
        for (int c = 0; c < ncols; ++c)
            elevation(r, c) = elevationAt(r, c);
    return elevation;
}

// Lets a trajectory go on wherever the energy line is, so that a test sees
// only the edge, climb and step rules.
class neverStop final : public iStopCriterionStrategy
{
public:
    bool shouldStop(float, float) const override { return false; }
    double thresholdDegrees(float) const override { return 0.0; }
};

#pragma once

#include <cstdint>
#include <vector>

#include "raster/grid.h"

// Forest as added friction on the energy line: at a recorded point in forest
// of index f (0 none to 1 dense) the threshold angle phi is raised by
//     d_alpha = max(d_alpha_min, f d_alpha_max - (f d_alpha_max - d_alpha_min) min(h, h_v) / h_v),
// h the energy-line height there before this step's loss (at least 0) and
// h_v = v_v^2 / (2 g) the height of the speed above which trees barely slow a
// block, and the step's loss dH = l (tan(phi + d_alpha) - tan(phi)) over its
// horizontal length l lowers the energy line of every later point.
struct forestSettings
{
    double angleMax = 10.0;  // d_alpha_max, degrees
    double angleMin = 2.0;   // d_alpha_min, degrees
    double speed = 30.0;     // v_v, m/s
    double skip = 0.0;       // m: the first metres of a path take no loss
};

class barrierIndex;

// What a trajectory meets besides the terrain. With measures every
// trajectory is followed as if there were none, and the point where they
// would have stopped it ends its protected part: its heading does not depend
// on its energy, so the protected path is a prefix of the unprotected one.
struct protectionMeasures
{
    const grid<float>* forest = nullptr;  // forest index per cell, 0 (or NaN) none; null: no forest
    forestSettings forestParameters;
    const barrierIndex* barriers = nullptr;           // null: no barriers
    const std::vector<double>* capacities = nullptr;  // kJ, per barrier
};

// The loss dH (m) of one step of horizontal length `step` (m) ending at a
// point in forest of index `forestIndex`, with the energy-line height
// `height` there before this step's loss (m) and the threshold angle
// `thresholdDegrees` used there.
double forestLoss(const forestSettings& settings, double forestIndex, double height, double thresholdDegrees,
                  double step);

// A barrier a trajectory's protected part reached, with the energy it
// arrived with; at or below the barrier's capacity it was stopped there.
struct barrierArrival
{
    uint32_t barrier = 0;
    double energy = 0.0;  // kJ
    bool stopped = false;
};

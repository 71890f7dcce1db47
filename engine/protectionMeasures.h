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

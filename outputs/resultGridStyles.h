#pragma once

#include <array>
#include <cstdint>

#include <QString>

#include "engine/intensity.h"
#include "outputs/qgisStyle.h"

// What a result grid's style may depend on beyond the map's legend.
struct resultStyleInputs
{
    uint64_t trajectories = 0;                                // of the whole run: start cells x simulations
    intensitySettings intensity;                              // off: no intensity grids are written
    bool objects = false;                                     // the run had objects at risk and writes Source_share
    std::array<double, 3> returnPeriods{30.0, 100.0, 300.0};  // years: the frequencies' classes
    // The hazard matrix, rows strong to weak, columns high to low probability: 1 yellow, 2 blue, 3 red.
    std::array<std::array<int, 3>, 3> hazardMatrix{{{3, 3, 3}, {3, 2, 2}, {2, 1, 1}}};
};

// The styles the output table gives the result grids, with the classes,
// colours and labels of the window's legend.
// Reach_prob and the percentages drawn like it (Reach_prob_<E>kJ, Source_share, the unprotected reach):
// the reach-probability classes of the map.
layerStyle reachProbabilityStyle(const resultStyleInputs& run);
// Height_max, Height_mean: the energy-line height classes of the map, in metres.
layerStyle energyLineHeightStyle(const resultStyleInputs& run);
// Velocity_max: classes of 5 m/s up to 20 m/s, 20 to 30 m/s and above, on the map's probability ramp.
layerStyle velocityStyle(const resultStyleInputs& run);
// Energy_max: the run's energy classes, in kJ.
layerStyle energyClassStyle(const resultStyleInputs& run);
// N: the passage-share ramp of the map, its shares turned into passages.
layerStyle passageCountStyle(const resultStyleInputs& run);
// Freq_any, Freq_<E>kJ: the probability classes of the return periods, in events per year.
layerStyle frequencyStyle(const resultStyleInputs& run);
// Hazard_level: residual, yellow, blue and red.
layerStyle hazardLevelStyle(const resultStyleInputs& run);
// Hazard_matrix_cell: each of the nine cells in the colour of the level the run's matrix gives it.
layerStyle hazardMatrixCellStyle(const resultStyleInputs& run);

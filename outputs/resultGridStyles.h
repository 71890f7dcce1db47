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
};

// The styles the output table gives the result grids, with the classes,
// colours and labels of the window's legend.
// Reach_prob: the reach-probability classes of the map, in percent.
layerStyle reachProbabilityStyle(const resultStyleInputs& run);
// Height_max: the energy-line height classes of the map, in metres.
layerStyle energyLineHeightStyle(const resultStyleInputs& run);
// Energy_max: the run's energy classes, in kJ.
layerStyle energyClassStyle(const resultStyleInputs& run);
// N: the passage-share ramp of the map, its shares turned into passages.
layerStyle passageCountStyle(const resultStyleInputs& run);
// Freq_any, Freq_<E>kJ: the probability classes of the return periods, in events per year.
layerStyle frequencyStyle(const resultStyleInputs& run);
// Hazard_level: residual, yellow, blue and red.
layerStyle hazardLevelStyle(const resultStyleInputs& run);

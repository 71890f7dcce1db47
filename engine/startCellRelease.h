#pragma once

// What one start cell releases: how often, which block, from what height.
// A run with such a list takes every trajectory's block and fall height
// from its start cell's entry instead of the run's settings.
struct startCellRelease
{
    double frequency = 0.0;    // events per year
    double blockVolume = 0.0;  // m3
    double rockDensity = 0.0;  // kg/m3
    double fallHeight = 0.0;   // m
};

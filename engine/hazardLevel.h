#pragma once

#include <array>
#include <cstdint>

#include "engine/releaseFrequency.h"
#include "raster/grid.h"

// The hazard level of a cell from how often it is reached with each
// intensity, after the intensity-probability diagram of Swiss practice
// (BUWAL/BAFU, "Berücksichtigung der Massenbewegungsgefahren bei
// raumwirksamen Tätigkeiten", 1997): the probability class of each
// intensity row's frequency picks a cell of a 3 x 3 matrix, and the highest
// level over the three rows is the cell's.
struct hazardSettings
{
    bool enabled = false;
    // Return periods (years, increasing) whose reciprocals bound the high,
    // medium and low probability classes; a frequency below the last is very low.
    std::array<double, 3> returnPeriods{30.0, 100.0, 300.0};
    // Rows strong, medium, weak intensity; columns high, medium, low
    // probability; 1 yellow, 2 blue, 3 red.
    std::array<std::array<int, 3>, 3> matrix{{{3, 3, 3}, {3, 2, 2}, {2, 1, 1}}};
};

// The levels as Hazard_level holds them.
enum hazardLevel : uint8_t { notReached = 0, residualHazard = 1, yellowHazard = 2, blueHazard = 3, redHazard = 4 };

// "not reached", "residual", "yellow", "blue", "red": a level as log.txt and the readout name it.
const char* hazardLevelName(uint8_t level);

struct hazardCell
{
    uint8_t level = notReached;
    uint8_t matrixCell = 0;  // 1..9, row by row from strong/high; 0 when no matrix cell decided
};

// The probability class of a frequency (events per year): 0 high, 1 medium,
// 2 low, 3 very low. A frequency within one part in 10^9 of a class limit
// counts as on it, and on it in the higher class: frequencies are sums of
// steps of 10^-12 and a limit such as 1/30 has no exact form.
int probabilityClassOf(const hazardSettings& settings, double frequency);

// One cell from its frequencies of strong (at least the upper energy class
// limit), medium (at least the lower) and any arrival; `reached`: some
// trajectory reached it. Of equal levels the stronger intensity, then the
// higher probability decides.
hazardCell hazardOfCell(const hazardSettings& settings, double strong, double medium, double any, bool reached);

// One row of cells from the run's frequency grids (any, and at least the two
// energy class limits) and passage counts.
void hazardRow(const hazardSettings& settings, const frequencyGrids& frequencies, const grid<int32_t>& passages,
               int numberOfSimulations, int row, hazardCell* cells);

// Every cell's level and deciding matrix cell, rows in parallel.
void hazardGrids(const hazardSettings& settings, const frequencyGrids& frequencies, const grid<int32_t>& passages,
                 int numberOfSimulations, grid<uint8_t>& levels, grid<uint8_t>& matrixCells);

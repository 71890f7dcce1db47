#pragma once

#include <QString>

struct runResultGrids;

// The line that describes one cell of a run's result map: its row and
// column, the world coordinates of its centre, its elevation, its passage
// count and its reach probability; "no elevation" instead of the last three
// where the DEM has none; with intensity the largest energy-line height,
// velocity and energy; at a start cell of a run with objects at risk its
// source share. Empty for a cell outside the grid.
QString cellReadout(const runResultGrids& result, int row, int col);

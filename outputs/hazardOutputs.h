#pragma once

#include "outputs/outputTable.h"

// Freq_any and Freq_<E>kJ: events per year reaching each cell, any arrival
// or with at least the class's energy.
writeOutcome writeFrequency(const outputTarget& target, const runProducts& products, const plannedOutput& output,
                            messageSink& sink, const rowProgress& progress);
// Hazard_level (0 not reached, 1 residual, 2 yellow, 3 blue, 4 red) and
// Hazard_matrix_cell (1-9, the matrix cell that decided, row by row; 0
// where none did): whole numbers, bytes in a GeoTIFF.
writeOutcome writeHazardLevel(const outputTarget& target, const runProducts& products, const plannedOutput& output,
                              messageSink& sink, const rowProgress& progress);
writeOutcome writeHazardMatrixCell(const outputTarget& target, const runProducts& products, const plannedOutput& output,
                                   messageSink& sink, const rowProgress& progress);

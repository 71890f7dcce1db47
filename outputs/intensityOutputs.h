#pragma once

#include "outputs/outputTable.h"

// The writers of a run's intensity grids, rows of the output table:
// Height_max and Height_mean (m) and Velocity_max (m/s) with 2 decimals,
// and with a block volume Energy_max (kJ) and Reach_prob_<E>kJ (percent)
// with 1; ESRI ASCII grids with the DEM's header, or Float32 GeoTIFFs.

writeOutcome writeHeightMax(const outputTarget& target, const runProducts& products, const plannedOutput& output,
                            messageSink& sink, const rowProgress& progress);
writeOutcome writeHeightMean(const outputTarget& target, const runProducts& products, const plannedOutput& output,
                             messageSink& sink, const rowProgress& progress);
writeOutcome writeVelocityMax(const outputTarget& target, const runProducts& products, const plannedOutput& output,
                              messageSink& sink, const rowProgress& progress);
writeOutcome writeEnergyMax(const outputTarget& target, const runProducts& products, const plannedOutput& output,
                            messageSink& sink, const rowProgress& progress);
// Reach_prob_<E>kJ of the planned output's energy class.
writeOutcome writeClassProbability(const outputTarget& target, const runProducts& products,
                                   const plannedOutput& output, messageSink& sink, const rowProgress& progress);

#pragma once

#include "outputs/outputTable.h"
#include "outputs/resultGridOutputs.h"
#include "outputs/runProducts.h"

// The writers of a run's intensity grids, rows of the output table:
// Height_max and Height_mean (m) and Velocity_max (m/s) with 2 decimals,
// and with a block volume Energy_max (kJ) and Reach_prob_<E>kJ (percent)
// with 1; ESRI ASCII grids with the DEM's header, or Float32 GeoTIFFs.

constexpr int intensityHeightDecimals = 2;

// Height_max, Velocity_max: grids whose rows come from the intensity grids alone.
template <void (*rowOf)(const intensityGrids&, int, double*)>
writeOutcome writeIntensityRows(const outputTarget& target, const runProducts& products, const plannedOutput& output,
                                messageSink& sink, const rowProgress& progress)
{
    const intensityGrids& grids = products.grids.intensity;
    const auto rows = [&grids](int row, double* values) { rowOf(grids, row, values); };
    return writeRealGridOutput(target, products, output, rows, intensityHeightDecimals, sink, progress);
}

writeOutcome writeHeightMean(const outputTarget& target, const runProducts& products, const plannedOutput& output,
                             messageSink& sink, const rowProgress& progress);
writeOutcome writeEnergyMax(const outputTarget& target, const runProducts& products, const plannedOutput& output,
                            messageSink& sink, const rowProgress& progress);
// Reach_prob_<E>kJ of the planned output's energy class.
writeOutcome writeClassProbability(const outputTarget& target, const runProducts& products, const plannedOutput& output,
                                   messageSink& sink, const rowProgress& progress);

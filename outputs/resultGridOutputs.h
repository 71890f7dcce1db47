#pragma once

#include "outputs/outputTable.h"

// Writers of the grids every run writes, and the helpers the other grid
// writers share: the planned output's format decides between an ESRI ASCII
// grid with the DEM's header and a GeoTIFF on the DEM's placement, NODATA
// where the DEM has no elevation.

// Real values formed row by row: `decimals` decimals in an ESRI ASCII grid, Float32 in a GeoTIFF.
writeOutcome writeRealGridOutput(const outputTarget& target, const runProducts& products, const plannedOutput& output,
                                 const probabilityRowSource& rows, int decimals, messageSink& sink,
                                 const rowProgress& progress);

// N: the passage counts.
writeOutcome writePassageCounts(const outputTarget& target, const runProducts& products, const plannedOutput& output,
                                messageSink& sink, const rowProgress& progress);
// Reach_prob: the reach probability in percent.
writeOutcome writeReachProbability(const outputTarget& target, const runProducts& products, const plannedOutput& output,
                                   messageSink& sink, const rowProgress& progress);
// Source_share: each start cell's share of its trajectories that reached an object, percent.
writeOutcome writeSourceShare(const outputTarget& target, const runProducts& products, const plannedOutput& output,
                              messageSink& sink, const rowProgress& progress);

// The .prj beside an ESRI ASCII grid: the DEM's system; not needed without one.
writeOutcome writeGridProjection(const outputTarget& target, const runProducts& products, const plannedOutput& output,
                                 messageSink& sink, const rowProgress& progress);
// The .qml beside a grid: its row's style.
writeOutcome writeGridStyle(const outputTarget& target, const runProducts& products, const plannedOutput& output,
                            messageSink& sink, const rowProgress& progress);

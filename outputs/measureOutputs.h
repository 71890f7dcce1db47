#pragma once

#include <QByteArray>

#include "outputs/outputTable.h"

struct runResultGrids;

// Reach_prob_unprotected and Energy_max_unprotected: the run as if there
// were no forest and no barriers.
writeOutcome writeReachUnprotected(const outputTarget& target, const runProducts& products,
                                   const plannedOutput& output, messageSink& sink, const rowProgress& progress);
writeOutcome writeEnergyUnprotected(const outputTarget& target, const runProducts& products,
                                    const plannedOutput& output, messageSink& sink, const rowProgress& progress);

// barriers.csv: per barrier its trajectories, those stopped and passed, the
// share stopped, the largest and the 95th-percentile arrival energy (1 kJ
// bins) and the start cells whose trajectories reached it.
QByteArray barriersTableText(const runResultGrids& grids);
writeOutcome writeBarriersTable(const outputTarget& target, const runProducts& products, const plannedOutput& output,
                                messageSink& sink, const rowProgress& progress);
// barriers.gpkg: the barriers' lines with the same figures as attributes.
writeOutcome writeBarriersGeoPackage(const outputTarget& target, const runProducts& products,
                                     const plannedOutput& output, messageSink& sink, const rowProgress& progress);

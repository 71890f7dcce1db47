#pragma once

#include <vector>

#include "engine/hazardLevel.h"
#include "engine/measureEffects.h"
#include "engine/objectReach.h"
#include "engine/releaseFrequency.h"

// Adds to each object's report its largest frequencies over its cells, and
// with `hazard` (null: none) its highest hazard level, formed as the grids
// Freq_any, Freq_<E>kJ and Hazard_level hold them.
void addObjectFrequencies(const objectCells& objects, const frequencyGrids& frequencies,
                          const grid<int32_t>& passageCounts, int numberOfSimulations, const hazardSettings* hazard,
                          std::vector<objectReport>& reports);

// Adds to each report its figures without the measures: the unprotected
// totals and grids of a run with forest or barriers.
void addUnprotectedObjectReports(const objectCells& objects, const unprotectedGrids& unprotected,
                                 int numberOfSimulations, const hazardSettings* hazard,
                                 std::vector<objectReport>& reports);

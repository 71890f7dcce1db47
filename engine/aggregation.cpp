#include "engine/aggregation.h"

#include <algorithm>
#include <cmath>

namespace {
// Grey level of the shaded relief under an unreached cell, truncated.
int32_t reliefGrey(double hillshade)
{
    const double grey = hillshade * 255.0;
    if (!(grey > 0.0))
        return 0;
    return static_cast<int32_t>(std::min(grey, 255.0));
}

// -1 for the rarest reached cells down to -255 for cells every trajectory
// reached; rounded up so that a single passage still shows.
int32_t reachedShade(int32_t passages, uint64_t progressTotal)
{
    const double share =
        progressTotal > 0 ? static_cast<double>(passages) * 255.0 / static_cast<double>(progressTotal) : 255.0;
    return -static_cast<int32_t>(std::ceil(std::min(share, 255.0)));
}
}

void aggregateResults(const grid<int32_t>& passageCounts, const grid<int32_t>& reachingStartCells,
                      const grid<double>& hillshade, uint64_t progressTotal, int numberOfSimulations,
                      grid<double>& reachProbability, grid<int32_t>& displayGrid)
{
    const int nrows = passageCounts.rows();
    const int ncols = passageCounts.cols();
    reachProbability.assign(nrows, ncols, 0.0);
    displayGrid.assign(nrows, ncols, 0);
    for (int r = 0; r < nrows; ++r) {
        for (int c = 0; c < ncols; ++c) {
            const int32_t passages = passageCounts(r, c);
            displayGrid(r, c) = passages == 0 ? reliefGrey(hillshade.at(r, c)) : reachedShade(passages, progressTotal);
            // Share of the trajectories from the start cells able to reach
            // the cell that did reach it, in percent.
            const int32_t reaching = reachingStartCells.at(r, c);
            if (reaching != 0)
                reachProbability(r, c) = static_cast<double>(passages) / reaching / numberOfSimulations * 100.0;
        }
    }
}

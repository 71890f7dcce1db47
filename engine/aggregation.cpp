#include "engine/aggregation.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "engine/terrainDerivatives.h"

namespace {
// -1 for the rarest reached cells down to -255 for cells every trajectory
// reached; rounded up so that a single passage still shows.
int32_t reachedShade(int32_t passages, uint64_t progressTotal)
{
    const double share =
        progressTotal > 0 ? static_cast<double>(passages) * 255.0 / static_cast<double>(progressTotal) : 255.0;
    return -static_cast<int32_t>(std::ceil(std::min(share, 255.0)));
}

}  // namespace

void aggregateDisplayGrid(const grid<int32_t>& passageCounts, const grid<uint8_t>& reliefGreys, uint64_t progressTotal,
                          grid<int32_t>& displayGrid)
{
    const int nrows = passageCounts.rows();
    const int ncols = passageCounts.cols();
    if (reliefGreys.rows() < nrows || reliefGreys.cols() < ncols)
        throw std::out_of_range("the relief grid has fewer cells than the counts");
    displayGrid.assign(nrows, ncols, 0);
    for (int r = 0; r < nrows; ++r) {
        const int32_t* passages = passageCounts.row(r);
        const uint8_t* greys = reliefGreys.row(r);
        int32_t* shown = displayGrid.row(r);
        for (int c = 0; c < ncols; ++c)
            shown[c] = passages[c] == 0 ? greys[c] : reachedShade(passages[c], progressTotal);
    }
}

void reachProbabilityRow(const grid<int32_t>& passageCounts, const grid<int32_t>& reachingStartCells,
                         int numberOfSimulations, int row, double* probabilities)
{
    const int ncols = passageCounts.cols();
    if (ncols <= 0)
        return;
    if (!passageCounts.contains(row, 0) || !reachingStartCells.contains(row, ncols - 1))
        throw std::out_of_range("reach probability row outside the count grids");
    const int32_t* passages = passageCounts.row(row);
    const int32_t* reachingRow = reachingStartCells.row(row);
    for (int c = 0; c < ncols; ++c)
        probabilities[c] = reachProbabilityPercent(passages[c], reachingRow[c], numberOfSimulations);
}

int reachProbabilityClass(double percent)
{
    const std::size_t last = reachProbabilityClassBounds.size() - 1;
    for (std::size_t i = 0; i < last; ++i)
        if (percent <= reachProbabilityClassBounds[i])
            return static_cast<int>(i);
    return static_cast<int>(last);
}

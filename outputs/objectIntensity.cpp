#include "outputs/objectIntensity.h"

#include <algorithm>

double nearestRankPercentile(std::vector<double>& values, int percent)
{
    if (values.empty())
        return 0.0;
    const std::size_t n = values.size();
    // ceil(percent x n / 100) in whole numbers, at least the first value.
    const std::size_t rank = std::max<std::size_t>(1, (static_cast<std::size_t>(percent) * n + 99) / 100);
    const auto nth = values.begin() + static_cast<std::ptrdiff_t>(std::min(rank, n) - 1);
    std::nth_element(values.begin(), nth, values.end());
    return *nth;
}

objectIntensityTable objectIntensities(const objectCells& objects, const intensityGrids& grids,
                                       const intensitySettings& settings, const grid<int32_t>& passageCounts)
{
    objectIntensityTable table;
    table.energies = settings.energiesWanted();
    const std::size_t count = objects.objects().size();
    table.objects.resize(count);
    if (grids.empty())
        return table;
    std::vector<std::vector<double>> heights(count);
    std::vector<std::vector<double>> energies(table.energies ? count : 0);
    const int cols = passageCounts.cols();
    for (std::size_t k = 0; k < objects.cells().size(); ++k) {
        const std::size_t cell = objects.cells()[k];
        if (passageCounts.data()[cell] <= 0)
            continue;
        const int row = static_cast<int>(cell / static_cast<std::size_t>(cols));
        const int col = static_cast<int>(cell % static_cast<std::size_t>(cols));
        const double height = grids.heightMax(row, col);
        for (const uint32_t* object = objects.objectsBegin(k); object != objects.objectsEnd(k); ++object) {
            heights[*object].push_back(height);
            if (table.energies)
                energies[*object].push_back(largestEnergy(grids, settings, row, col));
        }
    }
    constexpr int percentile = 95;
    for (std::size_t i = 0; i < count; ++i) {
        objectIntensity& intensity = table.objects[i];
        if (heights[i].empty())
            continue;
        intensity.heightMax = *std::max_element(heights[i].begin(), heights[i].end());
        intensity.heightPercentile95 = nearestRankPercentile(heights[i], percentile);
        // Velocity_max grows with Height_max, so the cells' order is the same
        // and the percentile cell of the heights is that of the velocities.
        intensity.velocityMax = velocityOfHeight(intensity.heightMax);
        intensity.velocityPercentile95 = velocityOfHeight(intensity.heightPercentile95);
        if (table.energies) {
            intensity.energyMax = *std::max_element(energies[i].begin(), energies[i].end());
            intensity.energyPercentile95 = nearestRankPercentile(energies[i], percentile);
        }
    }
    return table;
}

#include "engine/intensity.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "engine/angles.h"
#include "engine/profileEvaluation.h"

double startHeight(float elevation, double initialFallHeight)
{
    const float releaseElevation = static_cast<float>(elevation + initialFallHeight);
    return countedHeight(static_cast<double>(releaseElevation) - static_cast<double>(elevation));
}

double energyLineHeight(const profileEvaluation& profile, double thresholdDegrees)
{
    const double drop = static_cast<double>(profile.startElevation) - static_cast<double>(profile.elevation);
    return countedHeight(drop - profile.length * std::tan(thresholdDegrees * pi / 180.0));
}

double velocityOfHeight(double height) { return std::sqrt(2.0 * gravity * height); }

double energyOfHeight(const intensitySettings& settings, double height)
{
    return blockEnergy(blockWeight(settings.blockVolume, settings.rockDensity), height);
}

void intensityGrids::assign(int rows, int cols, const intensitySettings& settings)
{
    heightMax.assign(rows, cols, 0.0);
    heightSum.assign(rows, cols, 0);
    classCounts.clear();
    if (settings.energiesWanted())
        classCounts.resize(settings.energyClassLimits.size(), grid<int32_t>(rows, cols, 0));
    if (settings.energiesWanted() && settings.blocksPerRelease)
        energyMax.assign(rows, cols, 0.0);
    else
        energyMax.clear();
}

void intensityGrids::addTrajectory(const std::vector<cellHeight>& heights, const intensitySettings& settings,
                                   double weight)
{
    double* largest = heightMax.data();
    int64_t* sums = heightSum.data();
    double* largestEnergy = energyMax.empty() ? nullptr : energyMax.data();
    const std::vector<double>& limits = settings.energyClassLimits;
    const std::size_t classes = std::min(classCounts.size(), limits.size());
    for (const cellHeight& reached : heights) {
        largest[reached.cell] = std::max(largest[reached.cell], reached.height);
        sums[reached.cell] += std::llround(reached.height * heightSumUnitsPerMetre);
        if (classes == 0)
            continue;
        const double energy = blockEnergy(weight, reached.height);
        if (largestEnergy)
            largestEnergy[reached.cell] = std::max(largestEnergy[reached.cell], energy);
        // The limits increase: the first one not met ends the classes met.
        for (std::size_t k = 0; k < classes && energy >= limits[k]; ++k)
            ++classCounts[k].data()[reached.cell];
    }
}

double largestEnergy(const intensityGrids& grids, const intensitySettings& settings, int row, int col)
{
    return grids.energyMax.empty() ? energyOfHeight(settings, grids.heightMax(row, col)) : grids.energyMax(row, col);
}

std::uint64_t intensityBytesPerCell(const intensitySettings& settings)
{
    if (!settings.enabled)
        return 0;
    const std::uint64_t classes = settings.energiesWanted() ? settings.energyClassLimits.size() : 0;
    const std::uint64_t energies = settings.energiesWanted() && settings.blocksPerRelease ? sizeof(double) : 0;
    return sizeof(double) + sizeof(int64_t) + classes * sizeof(int32_t) + energies;
}

namespace {
void requireRow(const grid<int32_t>& counts, const intensityGrids& grids, int row)
{
    if (!grids.heightMax.contains(row, 0) || !counts.contains(row, grids.heightMax.cols() - 1))
        throw std::out_of_range("intensity row outside the grids");
}
}  // namespace

void heightMaxRow(const intensityGrids& grids, int row, double* values)
{
    const double* largest = grids.heightMax.row(row);
    std::copy(largest, largest + grids.heightMax.cols(), values);
}

void heightMeanRow(const intensityGrids& grids, const grid<int32_t>& passages, int row, double* values)
{
    requireRow(passages, grids, row);
    const int64_t* sums = grids.heightSum.row(row);
    const int32_t* counts = passages.row(row);
    for (int c = 0; c < grids.heightSum.cols(); ++c)
        values[c] = counts[c] != 0 ? static_cast<double>(sums[c]) / heightSumUnitsPerMetre / counts[c] : 0.0;
}

void velocityMaxRow(const intensityGrids& grids, int row, double* values)
{
    const double* largest = grids.heightMax.row(row);
    for (int c = 0; c < grids.heightMax.cols(); ++c)
        values[c] = velocityOfHeight(largest[c]);
}

void energyMaxRow(const intensityGrids& grids, const intensitySettings& settings, int row, double* values)
{
    if (!grids.energyMax.empty()) {
        const double* energies = grids.energyMax.row(row);
        std::copy(energies, energies + grids.energyMax.cols(), values);
        return;
    }
    const double* largest = grids.heightMax.row(row);
    for (int c = 0; c < grids.heightMax.cols(); ++c)
        values[c] = energyOfHeight(settings, largest[c]);
}

void classProbabilityRow(const intensityGrids& grids, std::size_t energyClass, const grid<int32_t>& reaching,
                         int numberOfSimulations, int row, double* values)
{
    if (energyClass >= grids.classCounts.size())
        throw std::out_of_range("no such energy class");
    requireRow(reaching, grids, row);
    const int32_t* counts = grids.classCounts[energyClass].row(row);
    const int32_t* reachingRow = reaching.row(row);
    for (int c = 0; c < grids.heightMax.cols(); ++c)
        values[c] =
            reachingRow[c] != 0 ? static_cast<double>(counts[c]) / reachingRow[c] / numberOfSimulations * 100.0 : 0.0;
}

#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "raster/grid.h"

struct profileEvaluation;

// What a run computes of the intensity beside the reach: the energy-line
// height of every recorded point, and with a block volume the block's
// energy and the share of trajectories in each energy class.
struct intensitySettings
{
    bool enabled = false;
    double blockVolume = 0.0;                            // m3; 0: heights and velocities only
    double rockDensity = 2700.0;                         // kg/m3
    std::vector<double> energyClassLimits{30.0, 300.0};  // kJ, increasing
    // Each start cell has a block of its own (startCellRelease): energies
    // are formed per trajectory and their largest kept per cell.
    bool blocksPerRelease = false;

    bool energiesWanted() const { return enabled && (blockVolume > 0.0 || blocksPerRelease); }
};

// Gravitational acceleration of the energy-line relations, m/s2.
constexpr double gravity = 9.81;

// The per-cell sums of heights count tenths of a millimetre: integer sums do
// not depend on the order in which trajectories are added, so seeded runs
// give the same bytes on any number of threads and processes.
constexpr double heightSumUnitsPerMetre = 10000.0;

// A trajectory's largest energy-line height in one cell.
struct cellHeight
{
    std::size_t cell;  // flat row-major index
    double height;     // m
};

// A height as it counts: a negative one (rounding) or NaN counts as 0.
inline double countedHeight(double height) { return height > 0.0 ? height : 0.0; }

// At the release point: the initial fall height, the release elevation
// formed as evaluateProfile forms it (stored as float), the difference in double.
double startHeight(float elevation, double initialFallHeight);

// At a later point: how far the energy line stands above the ground there,
//     h = (zStart - z) - L x tan(threshold)   (Heim's energy line),
// with the threshold angle (degrees) the stop criterion compared the energy
// line's angle with; in double.
double energyLineHeight(const profileEvaluation& profile, double thresholdDegrees);

// m/s and kJ of a height (m). A block's energy is its weight (N) times the
// height, E = V rho g h / 1000 in kJ, formed in that order.
double velocityOfHeight(double height);
inline double blockWeight(double volume, double density) { return volume * density * gravity; }
inline double blockEnergy(double weight, double height) { return weight * height / 1000.0; }
double energyOfHeight(const intensitySettings& settings, double height);

// The intensity of a run per cell. Sized by the caller (assign), and only
// when intensity is on.
struct intensityGrids
{
    grid<double> heightMax;                  // largest per-trajectory height, m
    grid<int64_t> heightSum;                 // sum of per-trajectory heights, 0.1 mm
    std::vector<grid<int32_t>> classCounts;  // per energy class limit: trajectories at or above it
    grid<double> energyMax;                  // with blocks per release: the largest energy, kJ

    void assign(int rows, int cols, const intensitySettings& settings);
    bool empty() const { return heightMax.empty(); }
    // Adds one trajectory's heights, each cell once; energies with a block of
    // `weight` N (blockWeight).
    void addTrajectory(const std::vector<cellHeight>& heights, const intensitySettings& settings, double weight);
    // The same with the run's block.
    void addTrajectory(const std::vector<cellHeight>& heights, const intensitySettings& settings)
    {
        addTrajectory(heights, settings, blockWeight(settings.blockVolume, settings.rockDensity));
    }
};

// The largest energy a trajectory brought to the cell, kJ: kept per cell with
// blocks per release, else the energy of the largest height.
double largestEnergy(const intensityGrids& grids, const intensitySettings& settings, int row, int col);

// Bytes per DEM cell the intensity grids take.
std::uint64_t intensityBytesPerCell(const intensitySettings& settings);

// One row of each output, formed as it is written. `passages` and
// `reaching` are the run's passage counts and reaching start cells.
void heightMaxRow(const intensityGrids& grids, int row, double* values);
void heightMeanRow(const intensityGrids& grids, const grid<int32_t>& passages, int row, double* values);
void velocityMaxRow(const intensityGrids& grids, int row, double* values);
void energyMaxRow(const intensityGrids& grids, const intensitySettings& settings, int row, double* values);
// The share of the trajectories from the start cells able to reach the cell
// that reached it with at least the class's energy, in percent: the
// normalisation of the reach probability.
void classProbabilityRow(const intensityGrids& grids, std::size_t energyClass, const grid<int32_t>& reaching,
                         int numberOfSimulations, int row, double* values);

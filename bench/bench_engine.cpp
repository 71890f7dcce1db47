// Measures the propagation engine on a synthetic slope: trajectories and
// profile samples per second (on every available instruction set), and the speed-up of two threads over one on a
// single start cell with many simulations and on many start cells.

#include <omp.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

#include "engine/monteCarloDriver.h"
#include "engine/randomGenerator.h"
#include "engine/simdPath.h"
#include "engine/stopCriterion.h"
#include "engine/terrainDerivatives.h"
#include "engine/trajectory.h"

namespace {
constexpr int benchRows = 300;
constexpr int benchCols = 200;
constexpr float benchCellSize = 5.0f;

// A plateau edge, a 30 m-per-cell cliff, a talus slope at about 35 degrees
// and a valley floor falling gently to a stream, with relief across the
// slope so that trajectories spread.
float slopeElevation(int r, int c)
{
    double z;
    if (r < 40)
        z = 1400.0 - 0.5 * r;
    else if (r < 70)
        z = 1380.0 - 12.0 * (r - 40);
    else if (r < 160)
        z = 1020.0 - 3.5 * (r - 70);
    else
        z = 705.0 - 0.4 * (r - 160);
    const double stream = 6.0 * std::exp(-std::pow((c - 120) / 12.0, 2.0));
    const double gullies = 8.0 * std::sin(c * 0.21) + 3.0 * std::sin(c * 0.57 + r * 0.11);
    return static_cast<float>(z - (r >= 160 ? stream : 0.0) + (r >= 40 && r < 160 ? gullies : 0.3 * gullies));
}

struct benchTerrain
{
    benchTerrain() : elevation(benchRows, benchCols, 0.0f)
    {
        dem.nrows = benchRows;
        dem.ncols = benchCols;
        dem.cellsize = benchCellSize;
        dem.nodataValue = -9999.0f;
        dem.spatialReference = rasterHeader::corner;
        for (int r = 0; r < benchRows; ++r)
            for (int c = 0; c < benchCols; ++c)
                elevation(r, c) = slopeElevation(r, c);
        computeAspectGrid(elevation, benchRows, benchCols, benchCellSize, dem.nodataValue, aspect);
        settings.segmentLength = 10.0;
        settings.profileStep = 1.0;
        settings.maxDeviationAngle = 22;
        settings.numberOfSimulations = 100;
    }

    elevationGrid elevation;
    rasterHeader dem;
    grid<double> aspect;
    simulationSettings settings;
    HighClassStopCriterion stopCriterion;
    std::atomic<bool> abortRequested{false};
};

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct propagationTiming
{
    double seconds;
    double processorSeconds;  // of the whole process: with one thread, that thread's
    uint64_t trajectories;
    int64_t cellsReached;
};

propagationTiming timePropagation(benchTerrain& terrain, const std::vector<startCell>& startCells, int threads,
                                  const intensitySettings& intensity = {})
{
    omp_set_num_threads(threads);
    propagationOutput output;
    output.passageCounts.assign(benchRows, benchCols, 0);
    output.reachingStartCells.assign(benchRows, benchCols, 0);
    if (intensity.enabled)
        output.intensity.assign(benchRows, benchCols, intensity);
    randomGenerator generator;
    propagationInput input{terrain.elevation, terrain.dem,           terrain.aspect,        startCells,
                           terrain.settings,  terrain.stopCriterion, terrain.abortRequested};
    input.intensity = &intensity;
    const std::clock_t processorStart = std::clock();
    const auto start = std::chrono::steady_clock::now();
    runPropagation(input, generator, output, nullptr);
    const double seconds = secondsSince(start);
    const double processorSeconds = static_cast<double>(std::clock() - processorStart) / CLOCKS_PER_SEC;
    int64_t reached = 0;
    for (std::size_t i = 0; i < output.passageCounts.size(); ++i)
        reached += output.passageCounts.data()[i];
    return propagationTiming{seconds, processorSeconds, output.progressCount, reached};
}

// One and two threads in turn, best of each: the machine is shared, and the
// fastest run is the one least disturbed by other work.
void reportSpeedUp(const char* label, benchTerrain& terrain, const std::vector<startCell>& startCells)
{
    propagationTiming one = timePropagation(terrain, startCells, 1);
    propagationTiming two = timePropagation(terrain, startCells, 2);
    for (int round = 1; round < 3; ++round) {
        const propagationTiming nextOne = timePropagation(terrain, startCells, 1);
        const propagationTiming nextTwo = timePropagation(terrain, startCells, 2);
        one.seconds = std::min(one.seconds, nextOne.seconds);
        two.seconds = std::min(two.seconds, nextTwo.seconds);
    }
    std::printf("%-34s %llu trajectories, %.1f cells reached each: 1 thread %.3f s, 2 threads %.3f s, "
                "speed-up %.2f\n",
                label, static_cast<unsigned long long>(one.trajectories),
                double(one.cellsReached) / double(one.trajectories), one.seconds, two.seconds,
                one.seconds / two.seconds);
}

struct profileTiming
{
    double samplesPerSecond;
    double checksum;
};

profileTiming timeProfileSamples(benchTerrain& terrain)
{
    const terrainSurface surface{terrain.elevation, terrain.dem};
    std::vector<float> samples;
    uint64_t sampleCount = 0;
    double checksum = 0.0;
    const auto start = std::chrono::steady_clock::now();
    for (int repeat = 0; repeat < 20; ++repeat) {
        for (uint32_t col = 20; col < 180; col += 4) {
            const gridPosition from{30, col, 2.5f, 1.5f, benchCellSize};
            for (uint32_t row = 45; row < 200; row += 5) {
                const gridPosition to{row, col + (row % 7), 3.0f, 4.0f, benchCellSize};
                const profileEvaluation profile = evaluateProfile(from, to, surface, 0.0, 1.0, samples);
                sampleCount += samples.size();
                checksum += profile.shapeFactor;
            }
        }
    }
    return profileTiming{static_cast<double>(sampleCount) / secondsSince(start), checksum};
}

// Intensity on (a block of 2 m3, classes 30 and 300 kJ) against off, one
// thread, in turns (each first in every other round), best of nine each, in
// processor time, which other work on a shared machine disturbs least: it
// may cost at most 10%.
void reportIntensityCost(benchTerrain& terrain, const std::vector<startCell>& startCells)
{
    const intensitySettings on{true, 2.0, 2700.0, {30.0, 300.0}};
    double off = 1e300;
    double with = 1e300;
    for (int round = 0; round < 9; ++round) {
        for (int turn = 0; turn < 2; ++turn) {
            if ((round + turn) % 2 == 0)
                off = std::min(off, timePropagation(terrain, startCells, 1).processorSeconds);
            else
                with = std::min(with, timePropagation(terrain, startCells, 1, on).processorSeconds);
        }
    }
    std::printf("intensity (1 thread, processor time): off %.3f s, on %.3f s, %+.1f%% (at most +10%%)\n", off, with,
                (with / off - 1.0) * 100.0);
}

// Every available path in turn, best of three rounds each, against the
// scalar path measured in the same rounds.
void reportProfileSamples(benchTerrain& terrain)
{
    const simdPath active = activeSimdPath();
    const std::vector<simdPath> paths = builtSimdPaths();
    std::vector<double> best(paths.size(), 0.0);
    std::vector<double> checksums(paths.size(), 0.0);
    for (int round = 0; round < 3; ++round) {
        for (std::size_t i = 0; i < paths.size(); ++i) {
            if (!setActiveSimdPath(paths[i]))
                continue;
            const profileTiming timing = timeProfileSamples(terrain);
            best[i] = std::max(best[i], timing.samplesPerSecond);
            checksums[i] = timing.checksum;
        }
    }
    setActiveSimdPath(active);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (best[i] == 0.0) {
            std::printf("profile samples per second, %-7s not available on this processor\n", simdPathName(paths[i]));
            continue;
        }
        // The divisions and square roots of a sample (two double divisions,
        // four double roots, nine float divisions) bound it at several ns
        // per core on current processors: the divider is the limit.
        std::printf("profile samples per second, %-7s %.3g  (%.2f ns per sample)  speed-up %.2f over scalar "
                    "(checksum %.9g%s)\n",
                    simdPathName(paths[i]), best[i], 1e9 / best[i], best[i] / best[0], checksums[i],
                    checksums[i] == checksums[0] ? "" : ", DIFFERS FROM SCALAR");
    }
}
}  // namespace

int main()
{
    benchTerrain terrain;
    std::printf("synthetic slope %d x %d cells of %.0f m; segment %.0f m, profile step %.0f m, max deviation %d deg\n",
                benchRows, benchCols, benchCellSize, terrain.settings.segmentLength, terrain.settings.profileStep,
                terrain.settings.maxDeviationAngle);

    std::vector<startCell> cliffTop;
    for (int c = 10; c < 190; c += 2)
        cliffTop.push_back(startCell{38, c});

    terrain.settings.numberOfSimulations = 20;
    const propagationTiming single = timePropagation(terrain, cliffTop, 1);
    std::printf("trajectories per second (1 thread)  %.3g  (%llu in %.3f s, %.1f cells reached each)\n",
                single.trajectories / single.seconds, static_cast<unsigned long long>(single.trajectories),
                single.seconds, double(single.cellsReached) / double(single.trajectories));

    reportIntensityCost(terrain, cliffTop);
    reportProfileSamples(terrain);

    terrain.settings.numberOfSimulations = 2000;
    reportSpeedUp("one start cell, 2000 simulations:", terrain, {startCell{42, 100}});
    terrain.settings.numberOfSimulations = 60;
    reportSpeedUp("90 start cells, 60 simulations:", terrain, cliffTop);
    return 0;
}

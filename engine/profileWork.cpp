// The size of a run's profile sampling, known before the run starts.
#include "engine/profileWork.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "engine/trajectory.h"

namespace {
// A number for a message: three significant digits.
std::string shortNumber(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3g", value);
    return text;
}

// The value rounded up to two significant digits, so that a suggested
// setting is itself within the bounds.
double roundedUp(double value)
{
    if (!(value > 0.0) || !std::isfinite(value))
        return value;
    const double unit = std::pow(10.0, std::floor(std::log10(value)) - 1.0);
    return std::ceil(value / unit) * unit;
}

std::string beyondReachText(const profileWork& work, const rasterHeader& dem, const simulationSettings& settings)
{
    const double cellSize = static_cast<double>(dem.cellsize);
    std::string text = "The run's profile sampling is beyond reach: up to " + shortNumber(work.samples)
                       + " profile samples (" + shortNumber(work.trajectories) + " trajectories x up to "
                       + shortNumber(work.stepsPerTrajectory) + " steps x up to " + shortNumber(work.samplesPerProfile)
                       + " samples per profile). ";
    if (cellSize / settings.segmentLength > maxSegmentsPerCell) {
        return text + "The segment length of " + shortNumber(settings.segmentLength) + " m is below 1/"
               + std::to_string(static_cast<long long>(maxSegmentsPerCell)) + " of the cell size (" + shortNumber(cellSize)
               + " m): choose a segment length of at least " + shortNumber(roundedUp(cellSize / maxSegmentsPerCell))
               + " m, or check the DEM's cell size.";
    }
    // The profile step that brings each bound within reach.
    const double factor = std::max({work.samples / maxProfileSamples, work.samplesPerProfile / maxSamplesPerProfile,
                                    cellSize / settings.profileStep / maxSamplesPerCell});
    return text + "Choose a profile step of at least " + shortNumber(roundedUp(settings.profileStep * factor))
           + " m (now " + shortNumber(settings.profileStep) + " m), a larger segment length or fewer simulations.";
}
}  // namespace

double boundedProfileStep(double profileStep, float cellSize)
{
    const double finest = static_cast<double>(cellSize) / maxSamplesPerCell;
    return profileStep < finest ? finest : profileStep;
}

profileWork estimateProfileWork(const rasterHeader& dem, const simulationSettings& settings, double startCells)
{
    profileWork work;
    const double cellSize = static_cast<double>(dem.cellsize);
    work.trajectories = startCells * settings.numberOfSimulations;
    work.stepsPerTrajectory = maxTrajectorySteps(dem, settings.segmentLength);
    const double diagonal = std::hypot(static_cast<double>(dem.nrows), static_cast<double>(dem.ncols)) * cellSize;
    const double longest = std::min(work.stepsPerTrajectory * settings.segmentLength, diagonal);
    work.samplesPerProfile = std::ceil(longest / settings.profileStep);
    work.samples = work.trajectories * work.stepsPerTrajectory * (work.samplesPerProfile / 2.0);
    // Written so that NaN, from settings or a cell size no run takes, counts
    // as beyond reach too.
    const bool withinReach = work.samples <= maxProfileSamples && work.samplesPerProfile <= maxSamplesPerProfile
                             && cellSize / settings.segmentLength <= maxSegmentsPerCell
                             && cellSize / settings.profileStep <= maxSamplesPerCell;
    work.beyondReach = !withinReach;
    if (work.beyondReach)
        work.explanation = beyondReachText(work, dem, settings);
    return work;
}

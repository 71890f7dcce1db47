#include "engine/runOutStatistics.h"

#include <algorithm>
#include <cmath>
#include <limits>

void runOutStatistics::assign(double binWidth, double longestPossible)
{
    longestRunOut = 0.0;
    runOutBinWidth = binWidth > 0.0 ? binWidth : 1.0;
    const double bins = std::ceil(std::max(longestPossible, 0.0) / runOutBinWidth) + 1.0;
    runOutCounts.assign(static_cast<std::size_t>(std::min(bins, 1.0e6)), 0);
    travelAngleCounts.assign(angleBins, 0);
}

void runOutStatistics::addTrajectory(double runOut, bool moved, double travelAngleDegrees, bool leftStartCell)
{
    if (runOutCounts.empty())
        return;
    ++trajectories;
    if (!leftStartCell)
        ++stayedInStartCell;
    longestRunOut = std::max(longestRunOut, runOut);
    const double bin = std::floor(runOut / runOutBinWidth);
    const std::size_t last = runOutCounts.size() - 1;
    ++runOutCounts[bin >= 0.0 && bin < static_cast<double>(last) ? static_cast<std::size_t>(bin)
                                                                 : (bin < 0 ? 0 : last)];
    if (!moved || !std::isfinite(travelAngleDegrees))
        return;
    const double angleBin = std::floor((travelAngleDegrees + 90.0) * angleBinsPerDegree);
    ++travelAngleCounts[static_cast<std::size_t>(std::clamp(angleBin, 0.0, double(angleBins - 1)))];
}

void runOutStatistics::add(const runOutStatistics& other)
{
    longestRunOut = std::max(longestRunOut, other.longestRunOut);
    trajectories += other.trajectories;
    stayedInStartCell += other.stayedInStartCell;
    for (std::size_t i = 0; i < runOutCounts.size() && i < other.runOutCounts.size(); ++i)
        runOutCounts[i] += other.runOutCounts[i];
    for (std::size_t i = 0; i < travelAngleCounts.size() && i < other.travelAngleCounts.size(); ++i)
        travelAngleCounts[i] += other.travelAngleCounts[i];
}

uint64_t runOutStatistics::angleCount() const
{
    uint64_t total = 0;
    for (const uint64_t n : travelAngleCounts)
        total += n;
    return total;
}

double runOutStatistics::travelAnglePercentile(double percent) const
{
    const uint64_t total = angleCount();
    if (total == 0)
        return std::numeric_limits<double>::quiet_NaN();
    // Nearest rank: the smallest bin holding at least percent of the trajectories.
    const double rank = std::max(1.0, std::ceil(percent / 100.0 * static_cast<double>(total)));
    uint64_t below = 0;
    for (std::size_t i = 0; i < travelAngleCounts.size(); ++i) {
        below += travelAngleCounts[i];
        if (static_cast<double>(below) >= rank)
            return -90.0 + (static_cast<double>(i) + 0.5) / angleBinsPerDegree;
    }
    return 90.0 - 0.5 / angleBinsPerDegree;
}

#include "engine/objectHazard.h"

#include <algorithm>
#include <stdexcept>

void addObjectFrequencies(const objectCells& objects, const frequencyGrids& frequencies,
                          const grid<int32_t>& passageCounts, int numberOfSimulations, const hazardSettings* hazard,
                          std::vector<objectReport>& reports)
{
    if (reports.size() != objects.objects().size())
        throw std::invalid_argument("object reports of another objects list");
    if (frequencies.empty())
        return;
    const std::size_t columns = 1 + frequencies.atLeast.size();
    for (objectReport& report : reports) {
        report.largestFrequencies.assign(columns, 0.0);
        report.highestHazardLevel = hazard ? notReached : -1;
    }
    std::vector<double> here(columns);
    for (std::size_t k = 0; k < objects.cells().size(); ++k) {
        const std::size_t cell = objects.cells()[k];
        here[0] = frequencyAt(frequencies.any, cell, numberOfSimulations);
        for (std::size_t e = 0; e < frequencies.atLeast.size(); ++e)
            here[e + 1] = frequencyAt(frequencies.atLeast[e], cell, numberOfSimulations);
        int level = -1;
        if (hazard && frequencies.atLeast.size() == 2)
            level = hazardOfCell(*hazard, here[2], here[1], here[0], passageCounts.data()[cell] > 0).level;
        for (const uint32_t* object = objects.objectsBegin(k); object != objects.objectsEnd(k); ++object) {
            objectReport& report = reports[*object];
            for (std::size_t e = 0; e < columns; ++e)
                report.largestFrequencies[e] = std::max(report.largestFrequencies[e], here[e]);
            report.highestHazardLevel = std::max(report.highestHazardLevel, level);
        }
    }
}

void addUnprotectedObjectReports(const objectCells& objects, const unprotectedGrids& unprotected,
                                 int numberOfSimulations, const hazardSettings* hazard,
                                 std::vector<objectReport>& reports)
{
    std::vector<objectReport> without = objectReports(objects, unprotected.objects, unprotected.passageCounts,
                                                      unprotected.reachingStartCells, numberOfSimulations);
    addObjectFrequencies(objects, unprotected.frequencies, unprotected.passageCounts, numberOfSimulations, hazard,
                         without);
    for (std::size_t k = 0; k < reports.size() && k < without.size(); ++k) {
        reports[k].trajectoriesUnprotected = static_cast<int64_t>(without[k].trajectories);
        reports[k].largestReachProbabilityUnprotected = without[k].largestReachProbability;
        reports[k].highestHazardLevelUnprotected = without[k].highestHazardLevel;
    }
}

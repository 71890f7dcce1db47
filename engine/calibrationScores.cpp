#include "engine/calibrationScores.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

#include "engine/aggregation.h"

namespace {
constexpr double none = std::numeric_limits<double>::quiet_NaN();

std::size_t binOf(double percent)
{
    return static_cast<std::size_t>(std::clamp<long long>(std::llround(percent * 10.0), 0, reachProbabilityBins - 1));
}

// Lengthens the run-out of the release area nearest to `cell` to it.
void reachOut(const observedEvidence& evidence, std::size_t cell, std::vector<double>& longest)
{
    const int32_t nearest = evidence.nearest.nearest.data()[cell];
    if (nearest < 0)
        return;
    double& area =
        longest[static_cast<std::size_t>(evidence.releaseAreaOfStartCell[static_cast<std::size_t>(nearest)])];
    area = std::max(area, static_cast<double>(evidence.nearest.distance.data()[cell]));
}
}  // namespace

runTally tallyRun(const observedEvidence& evidence, const grid<int32_t>& passages, const grid<int32_t>& reaching,
                  int numberOfSimulations)
{
    runTally tally;
    tally.simulatedRunOut.assign(static_cast<std::size_t>(evidence.releaseAreas), -1.0);
    tally.observedRunOut.assign(static_cast<std::size_t>(evidence.releaseAreas), -1.0);
    tally.observedByBin.assign(reachProbabilityBins, 0);
    tally.otherByBin.assign(reachProbabilityBins, 0);
    const int32_t* n = passages.data();
    const int32_t* r = reaching.data();
    const uint8_t* observed = evidence.area.data();
    for (std::size_t cell = 0; cell < passages.size(); ++cell) {
        const bool inside = observed[cell] != 0;
        tally.observedCells += inside;
        if (inside)
            reachOut(evidence, cell, tally.observedRunOut);
        if (n[cell] <= 0)
            continue;
        reachOut(evidence, cell, tally.simulatedRunOut);
        tally.observedReached += inside;
        if (!evidence.inStudy(cell))
            continue;
        tally.reachedOutside += !inside;
        const std::size_t bin = binOf(reachProbabilityPercent(n[cell], r[cell], numberOfSimulations));
        ++(inside ? tally.observedByBin : tally.otherByBin)[bin];
    }
    tally.points = evidence.points.size();
    for (const std::size_t cell : evidence.points) {
        tally.pointsReached += n[cell] > 0;
        reachOut(evidence, cell, tally.observedRunOut);
    }
    return tally;
}

studyExtent::studyExtent(const observedEvidence& evidence)
    : inside_(evidence.studyArea.empty() ? evidence.area : evidence.studyArea), grows_(evidence.studyArea.empty())
{
    for (std::size_t cell = 0; cell < inside_.size(); ++cell) {
        const bool inside = inside_.data()[cell] != 0;
        cells_ += inside;
        observedCells_ += inside && evidence.area.data()[cell] != 0;
    }
}

void studyExtent::addRun(const grid<int32_t>& passages)
{
    if (!grows_)
        return;
    // The mapped reach is inside from the start: a cell that joins is never observed.
    uint8_t* inside = inside_.data();
    const int32_t* reached = passages.data();
    for (std::size_t cell = 0; cell < inside_.size() && cell < passages.size(); ++cell)
        if (inside[cell] == 0 && reached[cell] > 0) {
            inside[cell] = 1;
            ++cells_;
        }
}

runScores scoresOf(const runTally& tally, uint64_t studyCells, uint64_t observedInStudy, double hectaresPerCell)
{
    runScores scores;
    scores.hitRate = tally.observedCells > 0 ? double(tally.observedReached) / double(tally.observedCells) : none;
    scores.pointHitRate = tally.points > 0 ? double(tally.pointsReached) / double(tally.points) : none;
    scores.overReachHectares = double(tally.reachedOutside) * hectaresPerCell;
    scores.overReachShare = studyCells > 0 ? double(tally.reachedOutside) / double(studyCells) : 0.0;

    // The Mann-Whitney form of the area under the ROC curve: the chance
    // that an observed cell scores above another, ties counting half. The
    // cells the run did not reach score 0, in bin 0.
    std::vector<uint64_t> positives = tally.observedByBin;
    std::vector<uint64_t> negatives = tally.otherByBin;
    const uint64_t positiveReached = std::accumulate(positives.begin(), positives.end(), uint64_t(0));
    const uint64_t negativeReached = std::accumulate(negatives.begin(), negatives.end(), uint64_t(0));
    const uint64_t negativeCells = studyCells - std::min(studyCells, observedInStudy);
    if (!positives.empty()) {
        positives[0] += observedInStudy - std::min(observedInStudy, positiveReached);
        negatives[0] += negativeCells - std::min(negativeCells, negativeReached);
    }
    const double p = double(observedInStudy);
    const double q = double(negativeCells);
    if (p > 0.0 && q > 0.0) {
        double below = 0.0;
        double sum = 0.0;
        for (std::size_t b = 0; b < positives.size(); ++b) {
            sum += double(positives[b]) * (below + 0.5 * double(negatives[b]));
            below += double(negatives[b]);
        }
        scores.auc = sum / (p * q);
    } else {
        scores.auc = none;
    }

    double errors = 0.0;
    int areas = 0;
    for (std::size_t a = 0; a < tally.observedRunOut.size(); ++a)
        if (tally.observedRunOut[a] >= 0.0) {
            errors += std::max(tally.simulatedRunOut[a], 0.0) - tally.observedRunOut[a];
            ++areas;
        }
    scores.runOutError = areas > 0 ? errors / areas : none;
    return scores;
}

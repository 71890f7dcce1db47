#include "engine/objectReach.h"

#include "engine/aggregation.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>

void objectReachTotals::add(const objectReachTotals& other)
{
    if (other.trajectories.size() != trajectories.size() || other.startCells.size() != startCells.size()
        || other.startCellTrajectories.size() != startCellTrajectories.size())
        throw std::invalid_argument("object totals of different runs cannot be added");
    for (std::size_t i = 0; i < trajectories.size(); ++i) {
        trajectories[i] += other.trajectories[i];
        startCells[i] += other.startCells[i];
    }
    for (std::size_t i = 0; i < startCellTrajectories.size(); ++i)
        startCellTrajectories[i] += other.startCellTrajectories[i];
}

objectReach::objectReach(const objectCells& objects, std::size_t startCellCount)
    : objects_(objects), trajectories_(objects.objects().size(), 0), startCellTrajectories_(startCellCount, 0)
{
}

void objectReach::addTrajectory(std::size_t startCellIndex, const std::vector<std::size_t>& reachedCells)
{
    if (startCellIndex >= startCellTrajectories_.size())
        throw std::out_of_range("start cell index beyond the start-cell list");
    // Both lists are sorted: each reached cell is looked for only beyond the
    // last object cell found.
    thread_local std::vector<uint32_t> reached;
    reached.clear();
    const std::vector<std::size_t>& objectCellList = objects_.cells();
    auto from = objectCellList.begin();
    for (const std::size_t cell : reachedCells) {
        from = std::lower_bound(from, objectCellList.end(), cell);
        if (from == objectCellList.end())
            break;
        if (*from == cell) {
            const std::size_t k = static_cast<std::size_t>(from - objectCellList.begin());
            reached.insert(reached.end(), objects_.objectsBegin(k), objects_.objectsEnd(k));
        }
    }
    if (reached.empty())
        return;
    // Once per object however many of its cells the trajectory crossed.
    std::sort(reached.begin(), reached.end());
    reached.erase(std::unique(reached.begin(), reached.end()), reached.end());
    const uint64_t objectCount = trajectories_.size();
    std::lock_guard<std::mutex> guard(lock_);
    ++startCellTrajectories_[startCellIndex];
    for (const uint32_t object : reached) {
        ++trajectories_[object];
        reachingPairs_.insert(uint64_t(startCellIndex) * objectCount + object);
    }
}

objectReachTotals objectReach::totals() const
{
    std::lock_guard<std::mutex> guard(lock_);
    objectReachTotals totals;
    totals.trajectories = trajectories_;
    totals.startCells.assign(trajectories_.size(), 0);
    totals.startCellTrajectories = startCellTrajectories_;
    const uint64_t objectCount = trajectories_.size();
    for (const uint64_t pair : reachingPairs_)
        ++totals.startCells[static_cast<std::size_t>(pair % objectCount)];
    return totals;
}

std::vector<objectReport> objectReports(const objectCells& objects, const objectReachTotals& totals,
                                        const grid<int32_t>& passageCounts, const grid<int32_t>& reachingStartCells,
                                        int numberOfSimulations)
{
    const std::vector<objectAtRisk>& list = objects.objects();
    if (totals.trajectories.size() != list.size() || totals.startCells.size() != list.size())
        throw std::invalid_argument("object totals of another objects list");
    if (passageCounts.size() != reachingStartCells.size())
        throw std::invalid_argument("count grids of different sizes");
    std::vector<objectReport> reports;
    reports.reserve(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        objectReport& report = reports.emplace_back();
        report.id = list[i].id;
        report.name = list[i].name;
        report.cells = list[i].cells;
        report.trajectories = totals.trajectories[i];
        report.startCells = totals.startCells[i];
    }
    const int32_t* passages = passageCounts.data();
    const int32_t* reaching = reachingStartCells.data();
    for (std::size_t k = 0; k < objects.cells().size(); ++k) {
        const std::size_t cell = objects.cells()[k];
        if (cell >= passageCounts.size())
            throw std::out_of_range("object cell beyond the count grids");
        // As Reach_prob forms it, so that the figure equals the grid's value.
        const double probability = reachProbabilityPercent(passages[cell], reaching[cell], numberOfSimulations);
        for (const uint32_t* object = objects.objectsBegin(k); object != objects.objectsEnd(k); ++object)
            reports[*object].largestReachProbability = std::max(reports[*object].largestReachProbability, probability);
    }
    return reports;
}

sourceShareRows::sourceShareRows(const std::vector<startCell>& startCells, const objectReachTotals& totals,
                                 int numberOfSimulations, int cols, float nodataValue)
    : cols_(cols), nodata_(nodataValue)
{
    if (totals.startCellTrajectories.size() != startCells.size())
        throw std::invalid_argument("object totals of another start-cell list");
    cells_.reserve(startCells.size());
    for (std::size_t i = 0; i < startCells.size(); ++i) {
        const double share = numberOfSimulations > 0
                                 ? static_cast<double>(totals.startCellTrajectories[i]) / numberOfSimulations * 100.0
                                 : 0.0;
        cells_.push_back({startCells[i].row, startCells[i].col, share});
    }
    std::stable_sort(cells_.begin(), cells_.end());
}

void sourceShareRows::fill(int row, double* values) const
{
    std::fill(values, values + cols_, nodata_);
    auto cell = std::lower_bound(cells_.begin(), cells_.end(), shareCell{row, 0, 0.0});
    for (; cell != cells_.end() && cell->row == row; ++cell)
        if (cell->col >= 0 && cell->col < cols_)
            values[cell->col] = cell->share;
}

std::optional<double> sourceShareRows::share(int row, int col) const
{
    // The last of equal cells, as fill leaves it in the grid.
    auto cell = std::upper_bound(cells_.begin(), cells_.end(), shareCell{row, col, 0.0});
    if (cell == cells_.begin() || std::prev(cell)->row != row || std::prev(cell)->col != col)
        return std::nullopt;
    return std::prev(cell)->share;
}

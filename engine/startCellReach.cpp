#include "engine/startCellReach.h"

#include <algorithm>

startCellReach::startCellReach(int simulationsPerStartCell) : simulationsPerStartCell_(simulationsPerStartCell) {}

bool startCellReach::addTrajectory(std::size_t startCellIndex, const std::vector<std::size_t>& reachedCells,
                                   std::vector<std::size_t>& complete)
{
    openStartCell finished;
    {
        std::lock_guard<std::mutex> guard(lock_);
        openStartCell& open = open_[startCellIndex];
        open.cells.insert(open.cells.end(), reachedCells.begin(), reachedCells.end());
        // Trajectories of one start cell mostly repeat each other's cells:
        // folding the duplicates away now and then keeps the list near the
        // size of the union.
        if (open.cells.size() > 2 * open.distinctCells + 256)
            compact(open);
        if (++open.finishedSimulations < simulationsPerStartCell_)
            return false;
        finished = std::move(open);
        open_.erase(startCellIndex);
    }
    compact(finished);
    complete = std::move(finished.cells);
    return true;
}

std::vector<std::vector<std::size_t>> startCellReach::takeIncomplete()
{
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<std::vector<std::size_t>> incomplete;
    incomplete.reserve(open_.size());
    for (auto& entry : open_) {
        compact(entry.second);
        incomplete.push_back(std::move(entry.second.cells));
    }
    open_.clear();
    return incomplete;
}

void startCellReach::compact(openStartCell& open)
{
    const auto unsorted = open.cells.begin() + static_cast<std::ptrdiff_t>(open.distinctCells);
    std::sort(unsorted, open.cells.end());
    std::inplace_merge(open.cells.begin(), unsorted, open.cells.end());
    open.cells.erase(std::unique(open.cells.begin(), open.cells.end()), open.cells.end());
    open.distinctCells = open.cells.size();
}

#pragma once

#include <cstddef>
#include <mutex>
#include <unordered_map>
#include <vector>

// The cells reached by each start cell's trajectories, gathered while its
// simulations run on any thread. Only start cells with simulations under way
// are held, so the memory follows the threads' work, not the grid.
class startCellReach
{
public:
    explicit startCellReach(int simulationsPerStartCell);

    // Adds the cells one finished trajectory of the start cell reached.
    // Returns true, with the start cell's reached cells sorted and each once
    // in `complete`, when this was the start cell's last simulation.
    bool addTrajectory(std::size_t startCellIndex, const std::vector<std::size_t>& reachedCells,
                       std::vector<std::size_t>& complete);

    // The reached cells of every start cell whose simulations did not all
    // finish (the run was aborted or failed), each list sorted and once.
    std::vector<std::vector<std::size_t>> takeIncomplete();

private:
    struct openStartCell
    {
        std::vector<std::size_t> cells;
        std::size_t distinctCells = 0;  // cells[0 .. distinctCells) are sorted and unique
        int finishedSimulations = 0;
    };

    static void compact(openStartCell& open);

    const int simulationsPerStartCell_;
    std::mutex lock_;
    std::unordered_map<std::size_t, openStartCell> open_;
};

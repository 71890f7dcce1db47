#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

struct propagationOutput;

// How the processes of a run shared among several meet. The pipeline calls
// these at the same points in every process, in the same order, whatever
// happened locally, so that no process waits for one that has given up.
// Codes are the run's result codes: 0 completed, 1 failed, 2 stopped.
class runCoordinator
{
public:
    virtual ~runCoordinator() = default;

    // The code all processes agree on: 1 when any failed, else 2 when any
    // was stopped, else 0. Where another process failed, the first process
    // tells its message.
    virtual int agree(int localCode) = 0;

    // The start cells this process simulates: increasing indices into the
    // list of `startCellCount` start cells in file order.
    virtual std::vector<std::size_t> share(std::size_t startCellCount) = 0;

    // Around the simulation. While it runs, `showProgress` is told the
    // trajectories finished by all processes (on the first process only,
    // from one thread at a time) and `stopLocal` is called when another
    // process failed or was stopped. localProgress is told this process's
    // count from whichever engine thread finished a trajectory.
    virtual void simulationStarted(std::function<void(uint64_t)> showProgress, std::function<void()> stopLocal) = 0;
    virtual void localProgress(uint64_t finished) = 0;
    // Waits for every process to end its share; returns the agreed code.
    virtual int simulationEnded(int localCode) = 0;

    // Sums the count grids and gathers the saved trajectories, in (start
    // cell, simulation) order, onto the process that writes the outputs.
    virtual void combine(propagationOutput& result) = 0;
    virtual bool writesOutputs() const = 0;
    // How many processes share the run, for its summary.
    virtual int processCount() const { return 1; }
};

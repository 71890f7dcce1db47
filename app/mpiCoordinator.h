#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>

#include <QString>

#include "controller/runCoordinator.h"
#include "engine/objectReach.h"

// A run shared among the processes that mpirun (or srun) started. Every
// process reads the inputs and simulates the start cells dealt to it; the
// first process (rank 0) sums the counts, gathers the trajectories, shows
// the progress and the one message of a failure, and writes the outputs.
//
// The start cells are dealt round-robin in file order: start cells that lie
// side by side (and so send out trajectories of much the same length) go to
// different processes, so every process gets its share of the long ones.
class mpiCoordinator final : public runCoordinator
{
public:
    // Starts MPI when a launcher (mpirun, srun) started the process; without
    // one the process is a run of its own.
    // `report` shows an error on the first process.
    mpiCoordinator(int& argc, char**& argv, std::function<void(const QString&)> report);
    ~mpiCoordinator() override;

    int rank() const { return rank_; }
    int processes() const { return size_; }

    // An error of this process, told by the first process when the run
    // fails here and nowhere before. Only the first one is kept.
    void keepError(const QString& text);

    // Whether every process was started with the same request, told by its
    // `digest`. Every process calls it, whatever its command line said, so
    // that a difference ends them all rather than leaving some waiting.
    bool sameRequest(uint64_t digest);

    int agree(int localCode) override;
    std::vector<std::size_t> share(std::size_t startCellCount) override;
    void simulationStarted(std::function<void(uint64_t)> showProgress, std::function<void()> stopLocal) override;
    void localProgress(uint64_t finished) override;
    int simulationEnded(int localCode) override;
    void combine(propagationOutput& result) override;
    bool writesOutputs() const override { return rank_ == 0; }
    int processCount() const override { return size_; }

private:
    void watchSimulation();
    void sumCounts(int32_t* counts, std::size_t cellCount);
    void sumObjectTotals(objectReachTotals& objects);
    void combineMeasureEffects(propagationOutput& result);
    void gatherTrajectories(propagationOutput& result);

    int rank_ = 0;
    int size_ = 1;
    std::function<void(const QString&)> report_;
    const bool started_;
    QString keptError_;

    std::function<void(uint64_t)> showProgress_;
    std::function<void()> stopLocal_;
    std::atomic<uint64_t> localProgress_{0};
    std::mutex watchLock_;
    std::condition_variable watchWake_;
    bool localEnded_ = false;
    int localCode_ = 0;
    std::thread watcher_;
};

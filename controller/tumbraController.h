#pragma once

#include <atomic>
#include <cstdint>

#include <QObject>
#include <QString>

#include "controller/runOutcome.h"
#include "controller/runRequest.h"

class runCoordinator;

// Performs runs. Lives on a worker thread; a front end hands it a whole
// runRequest through the queued run slot, follows the run through the
// progress and message signals and learns how it ended from one finished
// signal carrying the runOutcome. Each run is a runPipeline of its own; the
// controller keeps only what outlives a run: the stop flag and the signals.
class tumbraController : public QObject
{
    Q_OBJECT

public:
    tumbraController();
    ~tumbraController() override;

    // A run shared among processes meets the others through `coordinator`
    // (not owned; null: a run of its own).
    void setCoordinator(runCoordinator* coordinator) { coordinator_ = coordinator; }

    void requestAbort() { abortRequested.store(true); }
    bool isRunning() const { return running.load(); }

    // The int that progress signals carry for a count of finished
    // trajectories: the count itself while the run's total fits an int,
    // scaled down otherwise so the bar still runs from 0 to its maximum.
    static int progressValue(uint64_t count, uint64_t total);

signals:
    void initProgressBar(int total);
    void setProgressBar(int progress);
    void resetProgressBar();
    // The end of every run, once, after its last progress signal.
    void finished(runOutcome outcome);
    void displayError(QString errorText);
    void displayWarning(QString warningText);
    void displayMessage(QString text);
    // A modal warning box for the user; the front end shows it.
    void requestWarningBox(QString text);
    // How far the current long phase of a run has come (names in
    // runPhases.h): every phase starts with 0 and a phase that completes
    // ends with 100; the percentage changes at most a hundred times.
    void phaseProgress(QString phase, int percent);

public slots:
    // Runs `request` to its end on the calling thread.
    void run(const runRequest& request);

private:
    class signalEvents;

    runCoordinator* coordinator_ = nullptr;
    std::atomic<bool> abortRequested{false};
    std::atomic<bool> running{false};
};

#pragma once

#include <functional>
#include <memory>

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include "app/runnerOptions.h"
#include "controller/runFolder.h"
#include "controller/tumbraController.h"

class runCoordinator;

// How this process takes part in a run shared among processes.
struct sharedRunRole
{
    runCoordinator* coordinator = nullptr;          // null: a run of its own
    bool writes = true;                             // shows messages and progress, writes the outputs and the map
    std::function<void(const QString&)> keepError;  // where a process that does not write leaves its errors
};

// Ctrl-C (SIGINT) and SIGTERM taken as a stop while this object lives: made
// first thing in main, so that a signal while the processes start, read
// their options or agree on them stops the run before it begins.
class stopSignals
{
public:
    stopSignals();
    ~stopSignals();
    stopSignals(const stopSignals&) = delete;
    stopSignals& operator=(const stopSignals&) = delete;
};

// One run of the controller without a window: messages to stdout, warnings
// and errors to stderr, a progress line on a terminal, Ctrl-C to abort.
class headlessRun : public QObject
{
    Q_OBJECT

public:
    explicit headlessRun(const runnerOptions& options, sharedRunRole role = {});
    ~headlessRun() override;

    // Runs to the end and returns the exit code: the run's result code, or 1
    // when the run could not be prepared.
    int exec();

    // Shows an error as the run's own errors are shown.
    void reportError(const QString& text) { onDisplayError(text); }

private slots:
    void onInitProgressBar(int total);
    void onSetProgressBar(int progress);
    void onResetProgressBar();
    void onDisplayMessage(const QString& text);
    void onDisplayWarning(const QString& text);
    void onDisplayError(const QString& text);
    void onFinished(const runOutcome& outcome);
    void onPhaseProgress(const QString& phase, int percent);

private:
    bool prepareRequest();
    bool prepareOutputFolder();
    void printFilesWritten() const;
    static runOutcome stoppedBeforeStart();
    void drawProgress(int progress, bool final);
    void drawPhase(int percent);
    void endPhase();
    void endProgressLine();
    void printTimings() const;
    static QString progressBar(double fraction);

    runnerOptions options_;
    sharedRunRole role_;
    tumbraController controller_;
    bool progressOnTerminal_ = false;
    int progressTotal_ = 0;
    int lastProgress_ = 0;
    qint64 lastDrawMs_ = -1;
    QElapsedTimer progressTimer_;
    runOutcome outcome_;
    std::unique_ptr<runFolder> folder_;  // made by the process that writes

    // The phase under way, how long it has run, and the phases done.
    struct phaseTiming
    {
        QString phase;
        double seconds = 0.0;
    };
    QString phase_;
    bool phaseCompleted_ = false;
    int phasePercent_ = 0;
    qint64 lastPhaseDrawMs_ = -1;
    QElapsedTimer phaseTimer_;
    QList<phaseTiming> timings_;
    QElapsedTimer runTimer_;
    bool lineOpen_ = false;  // a progress line waits for its line break
};

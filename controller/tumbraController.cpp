#include "controller/tumbraController.h"

#include <omp.h>

#include "controller/runPipeline.h"

// Forwards what a run reports to the controller's signals.
class tumbraController::signalEvents final : public runEvents
{
public:
    explicit signalEvents(tumbraController& controller) : controller_(controller) {}
    void error(const QString& text) override { emit controller_.displayError(text); }
    void warning(const QString& text) override { emit controller_.displayWarning(text); }
    void message(const QString& text) override { emit controller_.displayMessage(text); }
    void warningBox(const QString& text) override { emit controller_.requestWarningBox(text); }
    void progressBarStarted(int total) override { emit controller_.initProgressBar(total); }
    void progressBarMoved(int value) override { emit controller_.setProgressBar(value); }
    void phaseProgress(const QString& phase, int percent) override { emit controller_.phaseProgress(phase, percent); }

private:
    tumbraController& controller_;
};

tumbraController::tumbraController()
{
    qRegisterMetaType<runRequest>();
    qRegisterMetaType<runOutcome>();
}

tumbraController::~tumbraController() = default;

int tumbraController::progressValue(uint64_t count, uint64_t total) { return runPipeline::progressValue(count, total); }

void tumbraController::run(const runRequest& request)
{
    // The flag is cleared before the run shows as running, so an abort
    // requested as soon as it does is never lost.
    abortRequested.store(false);
    running.store(true);
    if (request.threads > 0)
        omp_set_num_threads(request.threads);
    signalEvents events(*this);
    runOutcome outcome = runPipeline(request, events, abortRequested, coordinator_).run();
    abortRequested.store(false);
    running.store(false);
    // The last line says how the run ended: a stopped run does not end in
    // "Done.", which reads as a completed one.
    if (outcome.code == resultCode::completed)
        outcome.closingLine = QStringLiteral("Done.");
    else if (outcome.code == resultCode::stoppedByUser)
        outcome.closingLine = outcome.filesWritten.isEmpty()
                                  ? QStringLiteral("Process aborted by user. No files saved.")
                                  : QStringLiteral("Process stopped by user after its files were written.");
    else
        outcome.closingLine = QStringLiteral("Done with errors.");
    emit resetProgressBar();
    emit finished(std::move(outcome));
}

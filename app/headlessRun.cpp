#include "app/headlessRun.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

#include <QDir>
#include <QFileInfo>

#include "controller/clockText.h"
#include "controller/runCoordinator.h"
#include "controller/runPhases.h"
#include "map/runResultGrids.h"
#include "engine/simdPath.h"

namespace {

std::atomic<tumbraController*> interruptTarget{nullptr};
std::atomic<int> caughtSignal{0};

// Only atomic operations happen here, which is safe in a signal handler. The
// first signal names the stop: a Ctrl-C on a terminal reaches the processes
// of a shared run itself, and then once more from mpirun as SIGTERM. A second
// signal of the same kind falls back to the default action and ends the
// process. SIGTERM (kill, timeout, a batch system's cancel) is taken as
// Ctrl-C is.
extern "C" void onInterrupt(int signalNumber)
{
    int none = 0;
    caughtSignal.compare_exchange_strong(none, signalNumber);
    if (tumbraController* controller = interruptTarget.load())
        controller->requestAbort();
    std::signal(signalNumber, SIG_DFL);
}

}  // namespace

stopSignals::stopSignals()
{
    caughtSignal.store(0);
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
}

stopSignals::~stopSignals()
{
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    interruptTarget.store(nullptr);
}

namespace {

void printLine(std::FILE* stream, const QString& text)
{
    std::fprintf(stream, "%s\n", qUtf8Printable(text));
    std::fflush(stream);
}

}  // namespace

headlessRun::headlessRun(const runnerOptions& options, sharedRunRole role) : options_(options), role_(std::move(role))
{
    progressOnTerminal_ = role_.writes && !options_.quiet && !options_.progressLines && isatty(fileno(stderr));
    // The run executes on this thread; simulation threads emit progress
    // while it is blocked, so every connection is direct.
    connect(&controller_, &tumbraController::initProgressBar, this, &headlessRun::onInitProgressBar,
            Qt::DirectConnection);
    connect(&controller_, &tumbraController::setProgressBar, this, &headlessRun::onSetProgressBar,
            Qt::DirectConnection);
    connect(&controller_, &tumbraController::resetProgressBar, this, &headlessRun::onResetProgressBar,
            Qt::DirectConnection);
    connect(&controller_, &tumbraController::displayMessage, this, &headlessRun::onDisplayMessage,
            Qt::DirectConnection);
    connect(&controller_, &tumbraController::displayWarning, this, &headlessRun::onDisplayWarning,
            Qt::DirectConnection);
    connect(&controller_, &tumbraController::requestWarningBox, this, &headlessRun::onDisplayWarning,
            Qt::DirectConnection);
    connect(&controller_, &tumbraController::displayError, this, &headlessRun::onDisplayError, Qt::DirectConnection);
    connect(&controller_, &tumbraController::finished, this, &headlessRun::onFinished, Qt::DirectConnection);
    connect(&controller_, &tumbraController::phaseProgress, this, &headlessRun::onPhaseProgress, Qt::DirectConnection);
}

headlessRun::~headlessRun() { interruptTarget.store(nullptr); }

int headlessRun::exec()
{
    // Only the process that writes prepares the output folder; every
    // process of a shared run learns whether all are ready, and whether one
    // was stopped already: all of them start, or none.
    const bool ready = prepareRequest() && (!role_.writes || prepareOutputFolder());
    int start = !ready                     ? resultCode::failed
                : caughtSignal.load() != 0 ? resultCode::stoppedByUser
                                           : resultCode::completed;
    if (role_.coordinator)
        start = role_.coordinator->agree(start);
    if (start == resultCode::failed)
        return resultCode::failed;
    controller_.setCoordinator(role_.coordinator);

    interruptTarget.store(&controller_);
    runTimer_.start();
    // A signal before the run began is not lost to its start; in a shared
    // run the processes start as they agreed, and a later signal stops the
    // run from its first phase on.
    if (start == resultCode::completed && (role_.coordinator || caughtSignal.load() == 0))
        controller_.run(options_.request);
    else
        onFinished(stoppedBeforeStart());
    interruptTarget.store(nullptr);
    endPhase();
    if (options_.timings)
        printTimings();

    // A batch run whose files are not all there has failed, whatever the
    // run itself says: the caller must not go on with missing results.
    int code = outcome_.code;
    const QString folder = options_.request.outputFolder;
    if (code == resultCode::completed && role_.writes && !outcome_.filesNotWritten.isEmpty()) {
        onDisplayError(QStringLiteral("These output files were not written in %1:\n  %2")
                           .arg(folder, outcome_.filesNotWritten.join(QStringLiteral("\n  "))));
        code = resultCode::failed;
    } else if (code == resultCode::completed && role_.writes) {
        onDisplayMessage(QStringLiteral("Results written to folder %1").arg(folder));
        // The controller wrote the map with the other files.
        if (!options_.request.mapFile.isEmpty())
            onDisplayMessage(QStringLiteral("Map written to %1").arg(options_.request.mapFile));
        printFilesWritten();
    }
    if (role_.coordinator)
        code = role_.coordinator->agree(code);
    // A folder this run made and left empty would only mislead.
    if (folder_)
        folder_->release();
    return code;
}

// For programs that load the results (the QGIS plugin): the files placed, by absolute path.
void headlessRun::printFilesWritten() const
{
    if (!options_.filesWritten && !options_.progressLines)
        return;
    const QDir folder(options_.request.outputFolder);
    for (const QString& name : outcome_.filesWritten) {
        const QString path = folder.filePath(name);
        if (options_.progressLines)
            std::printf("file %s\n", qUtf8Printable(path));
        if (options_.filesWritten)
            std::printf("%s\n", qUtf8Printable(path));
    }
    std::fflush(stdout);
}

// Relative paths are taken from the directory tumbra-run was started in.
bool headlessRun::prepareRequest()
{
    runRequest& request = options_.request;
    std::vector<QString*> paths = inputFileFields(request);
    paths.push_back(&request.outputFolder);
    paths.push_back(&request.mapFile);
    for (QString* path : paths)
        if (!path->isEmpty())
            *path = QFileInfo(*path).absoluteFilePath();
    const QString refusal = requestRefusal(request);
    if (!refusal.isEmpty())
        onDisplayError(refusal);
    return refusal.isEmpty();
}

// Nothing is read before the folder and the map are known to take files.
bool headlessRun::prepareOutputFolder()
{
    runRequest& request = options_.request;
    folder_ = std::make_unique<runFolder>(request.outputFolder);
    QString error;
    if (!folder_->prepare(error)) {
        onDisplayError(error);
        folder_->release();
        return false;
    }
    request.outputFolder = folder_->path();
    error = mapFileProblem(request.mapFile);
    if (error.isEmpty())
        error = folder_->outputsRefusal(request);
    const QStringList present = request.overwrite ? QStringList() : folder_->existingOutputs(request);
    if (error.isEmpty() && !present.isEmpty())
        error = runFolder::existingFilesRefusal(present);
    if (error.isEmpty())
        return true;
    onDisplayError(error);
    folder_->release();
    return false;
}

void headlessRun::onInitProgressBar(int total)
{
    endPhase();
    progressTotal_ = total;
    lastProgress_ = 0;
    lastDrawMs_ = -1;
    progressTimer_.start();
    drawProgress(0, false);
}

void headlessRun::onSetProgressBar(int progress)
{
    lastProgress_ = progress;
    drawProgress(progress, false);
}

void headlessRun::onResetProgressBar() { endPhase(); }

void headlessRun::onPhaseProgress(const QString& phase, int percent)
{
    // A signal just as the run started, before it cleared its stop request.
    if (caughtSignal.load() != 0)
        controller_.requestAbort();
    if (phase != phase_) {
        endPhase();
        phase_ = phase;
        phaseCompleted_ = false;
        lastPhaseDrawMs_ = -1;
        phaseTimer_.start();
    }
    if (percent >= 100 && !phaseCompleted_) {
        phaseCompleted_ = true;
        timings_.append({phase_, phaseTimer_.nsecsElapsed() / 1e9});
    }
    if (options_.progressLines && role_.writes) {
        std::printf("progress %d %s\n", percent, qUtf8Printable(phase));
        std::fflush(stdout);
    }
    // The simulation has its own line, drawn from the trajectory counts.
    if (phase_ != QLatin1String(runPhases::simulating))
        drawPhase(percent);
}

// A phase ends when the next begins or the run ends; one cut short (by an
// abort or a failure) is timed up to there.
void headlessRun::endPhase()
{
    if (phase_.isEmpty())
        return;
    if (!phaseCompleted_)
        timings_.append({phase_, phaseTimer_.nsecsElapsed() / 1e9});
    if (phase_ == QLatin1String(runPhases::simulating) && progressTimer_.isValid())
        drawProgress(lastProgress_, true);
    endProgressLine();
    phase_.clear();
    phaseCompleted_ = true;
}

void headlessRun::endProgressLine()
{
    if (!lineOpen_)
        return;
    std::fputc('\n', stderr);
    std::fflush(stderr);
    lineOpen_ = false;
}

QString headlessRun::progressBar(double fraction)
{
    const int width = 30;
    const int filled = std::clamp(static_cast<int>(fraction * width), 0, width);
    return QString(filled, QLatin1Char('#')) + QString(width - filled, QLatin1Char('-'));
}

void headlessRun::drawPhase(int percent)
{
    if (!progressOnTerminal_)
        return;
    const qint64 elapsedMs = phaseTimer_.elapsed();
    if (percent < 100 && lastPhaseDrawMs_ >= 0 && elapsedMs - lastPhaseDrawMs_ < 100)
        return;
    lastPhaseDrawMs_ = elapsedMs;
    std::fprintf(stderr, "\r[%s] %3d%%  %s ", qUtf8Printable(progressBar(percent / 100.0)), percent,
                 qUtf8Printable(phase_));
    std::fflush(stderr);
    lineOpen_ = true;
}

void headlessRun::drawProgress(int progress, bool final)
{
    if (!progressOnTerminal_ || progressTotal_ <= 0)
        return;
    const qint64 elapsedMs = progressTimer_.elapsed();
    if (!final && lastDrawMs_ >= 0 && elapsedMs - lastDrawMs_ < 100)
        return;
    lastDrawMs_ = elapsedMs;
    const double fraction = static_cast<double>(progress) / progressTotal_;
    const double seconds = elapsedMs / 1000.0;
    const double rate = seconds > 0.0 ? progress / seconds : 0.0;
    const QString left = rate > 0.0 ? clockText((progressTotal_ - progress) / rate) : QStringLiteral("-:--:--");
    std::fprintf(stderr, "\r[%s] %3d%%  %s  %.0f trajectories/s  %s left ", qUtf8Printable(progressBar(fraction)),
                 static_cast<int>(fraction * 100.0), runPhases::simulating, rate, qUtf8Printable(left));
    std::fflush(stderr);
    lineOpen_ = true;
}

void headlessRun::printTimings() const
{
    std::printf("Phase timings:\n");
    double phases = 0.0;
    for (const phaseTiming& timing : timings_) {
        std::printf("  %-40s %9.2f s\n", qUtf8Printable(timing.phase), timing.seconds);
        phases += timing.seconds;
    }
    const double whole = runTimer_.nsecsElapsed() / 1e9;
    std::printf("  %-40s %9.2f s\n", "Other (opening, checks, allocation)", std::max(whole - phases, 0.0));
    std::printf("  %-40s %9.2f s\n", "Whole run", whole);
    std::printf("Profile sampling path: %s\n", simdPathReport().c_str());
    std::fflush(stdout);
}

void headlessRun::onDisplayMessage(const QString& text)
{
    if (options_.quiet || !role_.writes)
        return;
    endProgressLine();
    printLine(stdout, text);
}

void headlessRun::onDisplayWarning(const QString& text)
{
    if (!role_.writes)
        return;
    endProgressLine();
    printLine(stderr, QStringLiteral("Warning: ") + text);
}

void headlessRun::onDisplayError(const QString& text)
{
    if (!role_.writes) {
        if (role_.keepError)
            role_.keepError(text);
        return;
    }
    endProgressLine();
    printLine(stderr, QStringLiteral("Error: ") + text);
}

runOutcome headlessRun::stoppedBeforeStart()
{
    runOutcome outcome;
    outcome.code = resultCode::stoppedByUser;
    return outcome;
}

// A stop by a signal says so: in a shared run, mpirun sends SIGTERM to all
// processes when one of them ended early, a crash among them.
void headlessRun::onFinished(const runOutcome& outcome)
{
    outcome_ = outcome;
    if (caughtSignal.load() == SIGTERM && outcome.code == resultCode::stoppedByUser && outcome.filesWritten.isEmpty())
        outcome_.closingLine = role_.coordinator
                                   ? QStringLiteral("Process ended by SIGTERM (a cancel, or mpirun after another "
                                                    "process of the run ended or crashed). No files saved.")
                                   : QStringLiteral("Process ended by SIGTERM. No files saved.");
    else if (outcome_.closingLine.isEmpty())
        outcome_.closingLine = QStringLiteral("Process aborted by user. No files saved.");
    onDisplayMessage(outcome_.closingLine);
}

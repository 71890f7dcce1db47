#include <cstdio>
#include <memory>

#include <QGuiApplication>

#include "app/headlessRun.h"
#include "app/runnerOptions.h"
#include "tumbraVersion.h"

#ifdef TUMBRA_MPI
#include <fcntl.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QFileInfo>

#include "app/mpiCoordinator.h"
#include "controller/settingsTable.h"
#endif

namespace {
// The off-screen platform asks for a runtime folder that a batch job often
// lacks; a batch run keeps stderr for its own warnings and errors.
void dropPlatformNotices(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtDebugMsg || text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR")))
        return;
    qt_message_output(type, context, text);
}

#ifdef TUMBRA_MPI
// Every process of a shared run parses the same command line and meets the
// same failures; only the first one speaks, the others leave their errors
// with the coordinator.
void silenceOutput()
{
    const int nowhere = open("/dev/null", O_WRONLY);
    if (nowhere < 0)
        return;
    dup2(nowhere, STDOUT_FILENO);
    dup2(nowhere, STDERR_FILENO);
    close(nowhere);
}

// What every process of a shared run must agree on: how its command line was
// understood, the inputs (by path and size: copies on each node's own disk
// may differ in their times), every setting and the
// seed. Processes started with different options (an MPMD launch, a script
// that builds the command per node) would otherwise sum unrelated grids.
uint64_t requestDigest(parseOutcome outcome, const runnerOptions& options)
{
    const runRequest& request = options.request;
    QStringList parts{QString::number(static_cast<int>(outcome)),
                      QFileInfo(request.outputFolder).absoluteFilePath(),
                      QFileInfo(request.mapFile).absoluteFilePath(),
                      request.mapColouring,
                      QString::number(static_cast<int>(request.format)),
                      request.overwrite ? QStringLiteral("overwrite") : QString(),
                      request.seed ? QString::number(*request.seed) : QStringLiteral("no seed")};
    for (const QString& file : inputFilesOf(request)) {
        const QFileInfo info(file);
        parts << info.absoluteFilePath() << QString::number(info.size());
    }
    // The threads each process uses are its own affair: the seeded outputs
    // are the same for any number.
    for (const settingRow& row : settingsTable())
        if (row.read && row.name != QLatin1String("threads"))
            parts << row.name + QLatin1Char('=') + row.read(request).toString();
    const QByteArray hash = QCryptographicHash::hash(parts.join(QChar(0)).toUtf8(), QCryptographicHash::Sha256);
    uint64_t digest = 0;
    for (int i = 0; i < 8; ++i)
        digest = (digest << 8) | static_cast<unsigned char>(hash.at(i));
    return digest;
}
#endif
}  // namespace

int main(int argc, char* argv[])
{
    const stopSignals stops;
#ifdef TUMBRA_MPI
    // Without mpirun this is a run of one process.
    headlessRun* reporter = nullptr;
    mpiCoordinator mpi(argc, argv, [&reporter](const QString& text) {
        if (reporter)
            reporter->reportError(text);
        else
            std::fprintf(stderr, "Error: %s\n", qUtf8Printable(text));
    });
    if (mpi.rank() > 0)
        silenceOutput();
#endif
    // The map's legend is drawn with fonts, which need a GUI application;
    // a batch run has no screen, so the off-screen platform serves unless
    // another one is asked for.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(dropPlatformNotices);
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tumbra-run"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(tumbraVersion));

    runnerOptions options;
    const parseOutcome outcome = parseRunnerOptions(QCoreApplication::arguments(), options);
#ifdef TUMBRA_MPI
    if (mpi.agree(outcome == parseOutcome::exitFailure ? 1 : 0) != 0)
        return 1;
    if (!mpi.sameRequest(requestDigest(outcome, options))) {
        if (mpi.rank() == 0)
            std::fprintf(stderr,
                         "Error: the %d processes of this run were not started with the same options and "
                         "inputs. Start every process with one command line.\n",
                         mpi.processes());
        return 1;
    }
#endif
    switch (outcome) {
    case parseOutcome::exitSuccess:
        return 0;
    case parseOutcome::exitFailure:
        return 1;
    case parseOutcome::run:
        break;
    }

#ifdef TUMBRA_MPI
    if (mpi.processes() == 1) {
        headlessRun run(options);
        return run.exec();
    }
    if (!options.request.seed) {
        if (mpi.rank() == 0)
            std::fprintf(stderr,
                         "Error: %d processes need --seed N. Without a seed all trajectories draw from one shared "
                         "random sequence, in the order they run; that sequence cannot be split across processes. "
                         "With a seed every trajectory has a random stream of its own, and the outputs are the "
                         "same for any number of processes and threads.\n",
                         mpi.processes());
        return 1;
    }
    sharedRunRole role;
    role.coordinator = &mpi;
    role.writes = mpi.rank() == 0;
    role.keepError = [&mpi](const QString& text) { mpi.keepError(text); };
    headlessRun run(options, role);
    reporter = &run;
    const int code = run.exec();
    reporter = nullptr;
    return code;
#else
    headlessRun run(options);
    return run.exec();
#endif
}

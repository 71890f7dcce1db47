#include <QGuiApplication>

#include "app/headlessRun.h"
#include "app/runnerOptions.h"

namespace {
// The off-screen platform asks for a runtime folder that a batch job often
// lacks; a batch run keeps stderr for its own warnings and errors.
void dropPlatformNotices(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtDebugMsg || text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR")))
        return;
    qt_message_output(type, context, text);
}
}  // namespace

int main(int argc, char* argv[])
{
    // The map's legend is drawn with fonts, which need a GUI application;
    // a batch run has no screen, so the off-screen platform serves unless
    // another one is asked for.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(dropPlatformNotices);
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tumbra-run"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));

    runnerOptions options;
    switch (parseRunnerOptions(QCoreApplication::arguments(), options)) {
    case parseOutcome::exitSuccess:
        return 0;
    case parseOutcome::exitFailure:
        return 1;
    case parseOutcome::run:
        break;
    }
    headlessRun run(options);
    return run.exec();
}

#include <QCoreApplication>

#include "app/headlessRun.h"
#include "app/runnerOptions.h"
#include "tumbraVersion.h"

namespace {
// The engine's timing line is for developers; a batch run keeps stderr for
// warnings and errors.
void dropDebugMessages(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtDebugMsg)
        return;
    qt_message_output(type, context, text);
}
}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tumbra-run"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(tumbraVersion));
    qInstallMessageHandler(dropDebugMessages);

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

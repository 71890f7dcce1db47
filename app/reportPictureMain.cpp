// Runs tumbra-run's options and saves the first page of the run's report as
// a picture, the same painting as report.pdf's. Used to make the README's
// picture of the report (scripts/report-picture):
//   tumbra-report-picture docs/report.png --dem ... --start ... --output ...
// A headless program: the off-screen platform serves where none is set.

#include <cstdio>

#include <QDir>
#include <QGuiApplication>

#include "app/runnerOptions.h"
#include "controller/resultCode.h"
#include "controller/tumbraController.h"
#include "outputs/runReport.h"

int main(int argc, char* argv[])
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 2) {
        std::fprintf(stderr, "Usage: tumbra-report-picture PICTURE TUMBRA-RUN-OPTIONS...\n");
        return 2;
    }
    const QString picture = QDir::current().absoluteFilePath(arguments.takeAt(1));
    runnerOptions options;
    if (parseRunnerOptions(arguments, options) != parseOutcome::run)
        return 2;
    if (!QDir().mkpath(options.request.outputFolder)) {
        std::fprintf(stderr, "Cannot make the folder %s\n", qUtf8Printable(options.request.outputFolder));
        return 1;
    }
    tumbraController controller;
    runOutcome outcome;
    QObject::connect(&controller, &tumbraController::finished,
                     [&outcome](const runOutcome& ended) { outcome = ended; });
    QObject::connect(&controller, &tumbraController::displayError,
                     [](const QString& text) { std::fprintf(stderr, "Error: %s\n", qUtf8Printable(text)); });
    controller.run(options.request);  // on this thread, to its end
    if (outcome.code != resultCode::completed || !outcome.grids || !outcome.report) {
        std::fprintf(stderr, "The run did not complete.\n");
        return 1;
    }
    const int page = qEnvironmentVariableIntValue("TUMBRA_REPORT_PAGE");  // the first unless told
    if (!runReportPagePicture(*outcome.grids, *outcome.report, page, 110).save(picture, "PNG")) {
        std::fprintf(stderr, "Could not write %s\n", qUtf8Printable(picture));
        return 1;
    }
    std::printf("Report picture written to %s\n", qUtf8Printable(picture));
    return 0;
}

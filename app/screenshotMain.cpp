// Runs the window on the bundled example and saves a picture of it once the
// run has finished and the map is shown. Used to make the README's screenshot:
//   QT_QPA_PLATFORM=offscreen tumbra-screenshot docs/screenshot.png [EXAMPLE_FOLDER]
// A copy of the example in a folder whose path reads well (its dem.asc and
// start_cells.asc; the run writes into its sub-folder results) keeps the
// build's paths out of the picture. The user's settings store is left alone:
// a temporary one is used instead.

#include <cstdio>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include "ui/tumbraMainDialog.h"

namespace {

void setPath(tumbraMainDialog& dialog, const char* field, const QString& path)
{
    dialog.findChild<QComboBox*>(QString::fromLatin1(field))->lineEdit()->setText(path);
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QString target = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshot.png");
    const QString targetPath = QDir::current().absoluteFilePath(target);

    QTemporaryDir scratch;
    if (!scratch.isValid())
        return 1;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, scratch.filePath(QStringLiteral("settings")));
    const QString exampleDir =
        argc > 2 ? QDir::current().absoluteFilePath(QString::fromLocal8Bit(argv[2])) : QStringLiteral(EXAMPLES_DIR);
    const QString outputDir =
        argc > 2 ? QDir(exampleDir).filePath(QStringLiteral("results")) : scratch.filePath(QStringLiteral("output"));
    QDir().mkpath(outputDir);

    tumbraMainDialog dialog(nullptr);
    dialog.setQuestionBox([](const QString&, const QString&) { return int(QMessageBox::Yes); });
    dialog.setErrorBox([](const QString& text) { std::fprintf(stderr, "Error: %s\n", qUtf8Printable(text)); });
    dialog.setWarningBox([](const QString& text) { std::fprintf(stderr, "Warning: %s\n", qUtf8Printable(text)); });
    setPath(dialog, "outputFolder", outputDir);
    setPath(dialog, "digitalElevationModel", QDir(exampleDir).filePath(QStringLiteral("dem.asc")));
    setPath(dialog, "startRaster", QDir(exampleDir).filePath(QStringLiteral("start_cells.asc")));
    dialog.findChild<QComboBox*>(QStringLiteral("numberOfSimulations"))->setCurrentText(QStringLiteral("100"));
    dialog.show();  // at the window's default size

    int exitCode = 1;
    QTimer::singleShot(600000, &app, [&] {
        std::fprintf(stderr, "The run did not end within ten minutes.\n");
        app.quit();
    });
    QObject::connect(&dialog, &tumbraMainDialog::runFinished, &app, [&] {
        // The progress bar leaves 1.5 s after the run; picture the window without it.
        QTimer::singleShot(2000, &app, [&] {
            // The mouse over the run-out, so the line under the map reads a cell.
            QWidget* map = dialog.findChild<QWidget*>(QStringLiteral("raster"));
            const QPointF point(map->width() * 0.45, map->height() * 0.42);
            QMouseEvent move(QEvent::MouseMove, point, map->mapToGlobal(point), Qt::NoButton, Qt::NoButton,
                             Qt::NoModifier);
            QCoreApplication::sendEvent(map, &move);
            if (dialog.grab().save(targetPath, "PNG")) {
                std::printf("Screenshot written to %s\n", qUtf8Printable(targetPath));
                exitCode = 0;
            } else {
                std::fprintf(stderr, "Could not write %s\n", qUtf8Printable(targetPath));
            }
            app.quit();
        });
    });
    QTimer::singleShot(0, &app, [&] { dialog.findChild<QPushButton*>(QStringLiteral("runProcess"))->click(); });
    app.exec();
    return exitCode;
}

// Runs the window on the bundled example and saves a picture of it once the
// run has finished and the map is shown. Used to make the README's screenshot:
//   QT_QPA_PLATFORM=offscreen tumbra-screenshot docs/screenshot.png [EXAMPLE_FOLDER] [--size WxH] [--intensity]
// A copy of the example in a folder whose path reads well (its dem.asc and
// start_cells.asc; the run writes into its sub-folder results) keeps the
// build's paths out of the picture; an objects.gpkg there is taken as the
// objects at risk. --size pictures the window at that size, --intensity runs
// with the intensity and a block of 2 m3. The user's settings store is left
// alone: a temporary one is used instead.

#include <cstdio>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSize>
#include <QStringList>
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
    QStringList positional;
    QSize size;
    bool intensity = false;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument == QLatin1String("--size") && i + 1 < argc) {
            const QStringList parts = QString::fromLocal8Bit(argv[++i]).split(QLatin1Char('x'));
            size = QSize(parts.value(0).toInt(), parts.value(1).toInt());
        } else if (argument == QLatin1String("--intensity")) {
            intensity = true;
        } else {
            positional << argument;
        }
    }
    argc = static_cast<int>(positional.size()) + 1;
    const QString target = argc > 1 ? positional[0] : QStringLiteral("screenshot.png");
    const QString targetPath = QDir::current().absoluteFilePath(target);

    QTemporaryDir scratch;
    if (!scratch.isValid())
        return 1;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, scratch.filePath(QStringLiteral("settings")));
    const QString exampleDir =
        argc > 2 ? QDir::current().absoluteFilePath(positional[1]) : QStringLiteral(EXAMPLES_DIR);
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
    if (QFileInfo::exists(QDir(exampleDir).filePath(QStringLiteral("objects.gpkg"))))
        setPath(dialog, "objectsFile", QDir(exampleDir).filePath(QStringLiteral("objects.gpkg")));
    dialog.findChild<QComboBox*>(QStringLiteral("numberOfSimulations"))->setCurrentText(QStringLiteral("100"));
    if (intensity) {
        dialog.findChild<QCheckBox*>(QStringLiteral("intensity"))->setChecked(true);
        dialog.findChild<QDoubleSpinBox*>(QStringLiteral("blockVolume"))->setValue(2.0);
    }
    if (size.isValid())
        dialog.resize(size);
    dialog.show();  // at the window's default size unless given one

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

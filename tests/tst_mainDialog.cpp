#include <QApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSplitter>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "controller/propagationProbability.h"
#include "dialogDriver.h"
#include "ui/runFolderName.h"
#include "widgets/mruComboBox.h"
#include "widgets/mapView.h"

// The window driven as a user would: paths typed, buttons clicked, boxes
// answered by a boxRecorder, runs on the bundled example.
class tst_mainDialog : public QObject
{
    Q_OBJECT

private:
    scratchSettingsStore store_;
    QString startDir_;
    std::unique_ptr<QTemporaryDir> output_;

    QString demPath() const { return QStringLiteral(EXAMPLES_DIR "/dem.asc"); }
    QString startCellsPath() const { return QStringLiteral(EXAMPLES_DIR "/start_cells.asc"); }

    void fillValidRun(tumbraMainDialog& dialog, const QString& simulations)
    {
        typePath(dialog, "workingDirectory", output_->path());
        typePath(dialog, "digitalElevationModel", demPath());
        typePath(dialog, "startRaster", startCellsPath());
        child<QComboBox>(dialog, "numberOfSimulations")->setCurrentText(simulations);
    }

    QStringList runFolders() const
    {
        return QDir(output_->path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    }

    // The folder a click in the next two seconds will use gets these files.
    void plantOutputFiles(const tumbraMainDialog& dialog, const QStringList& names)
    {
        const QDateTime now = QDateTime::currentDateTime();
        for (int second = 0; second < 3; ++second) {
            const QString folder = runFolderName(child<QComboBox>(dialog, "numberOfSimulations")->currentText(),
                                                 child<QComboBox>(dialog, "maxAngle")->currentText(),
                                                 child<QDoubleSpinBox>(dialog, "straightDistance")->value(),
                                                 now.addSecs(second));
            QDir(output_->path()).mkpath(folder);
            for (const QString& name : names) {
                // A trailing slash plants a folder where the run wants to write a file.
                if (name.endsWith('/')) {
                    QVERIFY(QDir(output_->path()).mkpath(folder + "/" + name));
                    continue;
                }
                QFile file(QDir(output_->path()).filePath(folder + "/" + name));
                QVERIFY(file.open(QIODevice::WriteOnly));
                file.write("old\n");
            }
        }
    }

    static bool idle(const tumbraMainDialog& dialog)
    {
        return child<QPushButton>(dialog, "runProcess")->isVisible()
               && !child<QPushButton>(dialog, "stopProcess")->isVisible()
               && child<QComboBox>(dialog, "workingDirectory")->isEnabled();
    }

    static QWidget* shownPage(const tumbraMainDialog& dialog)
    {
        return child<QStackedWidget>(dialog, "stackedWidget")->currentWidget();
    }

private slots:
    void initTestCase() { startDir_ = QDir::currentPath(); }

    void init()
    {
        store_.clear();
        output_ = std::make_unique<QTemporaryDir>();
        QVERIFY(output_->isValid());
    }

    void cleanup() { QDir::setCurrent(startDir_); }

    void windowStartsIdleWithTheChoiceLists()
    {
        tumbraMainDialog dialog;
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Tumbra"));
        QVERIFY(!child<QProgressBar>(dialog, "progressBar")->isVisible());
        QVERIFY(idle(dialog));
        QCOMPARE(shownPage(dialog)->objectName(), QStringLiteral("noResultsLabel"));
        QCOMPARE(child<QSplitter>(dialog, "splitter")->sizes().value(1), 0);
        const auto items = [&](const char* name) {
            QStringList texts;
            auto* comboBox = child<QComboBox>(dialog, name);
            for (int i = 0; i < comboBox->count(); ++i)
                texts << comboBox->itemText(i);
            if (comboBox->isEditable())
                texts << QStringLiteral("<editable>");
            return texts;
        };
        QCOMPARE(items("numberOfSimulations"), QStringList({"1", "10", "50", "100", "1000", "<editable>"}));
        QCOMPARE(items("maxAngle"), QStringList({"5", "10", "15", "20", "25", "30", "35", "40", "45", "<editable>"}));
        QCOMPARE(items("riskIntensity"), propagationProbabilityLabels());
    }

    void runButtonFollowsThePaths_data()
    {
        QTest::addColumn<QString>("outputDir");
        QTest::addColumn<QString>("dem");
        QTest::addColumn<QString>("startCells");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("all valid") << "<output>" << "<dem>" << "<start>" << true;
        QTest::newRow("inputs relative to the output directory") << "<output>" << "local_dem.asc"
                                                                 << "local_start.asc" << true;
        QTest::newRow("no output directory") << "" << "<dem>" << "<start>" << false;
        QTest::newRow("output directory missing") << "<output>/missing" << "<dem>" << "<start>" << false;
        QTest::newRow("output directory is a file") << "<dem>" << "<dem>" << "<start>" << false;
        QTest::newRow("DEM missing") << "<output>" << "<output>/none.asc" << "<start>" << false;
        QTest::newRow("DEM is a directory") << "<output>" << "<output>" << "<start>" << false;
        QTest::newRow("start cells missing") << "<output>" << "<dem>" << "none.asc" << false;
    }

    void runButtonFollowsThePaths()
    {
        QFETCH(QString, outputDir);
        QFETCH(QString, dem);
        QFETCH(QString, startCells);
        QFETCH(bool, enabled);
        QVERIFY(QFile::copy(demPath(), output_->filePath("local_dem.asc")));
        QVERIFY(QFile::copy(startCellsPath(), output_->filePath("local_start.asc")));
        const auto resolve = [&](QString text) {
            return text.replace("<output>", output_->path()).replace("<dem>", demPath()).replace("<start>",
                                                                                                 startCellsPath());
        };
        tumbraMainDialog dialog;
        dialog.show();
        typePath(dialog, "digitalElevationModel", resolve(dem));
        typePath(dialog, "startRaster", resolve(startCells));
        typePath(dialog, "workingDirectory", resolve(outputDir));
        QCOMPARE(child<QPushButton>(dialog, "runProcess")->isEnabled(), enabled);
    }

    void completedRunShowsTheMap()
    {
        tumbraMainDialog dialog;
        boxRecorder boxes(dialog);
        dialog.show();
        fillValidRun(dialog, "10");
        child<QPushButton>(dialog, "runProcess")->click();
        QVERIFY(waitForRunEnd(dialog));

        QCOMPARE(boxes.questions.size(), 0);
        QCOMPARE(boxes.errors, QStringList());
        const QStringList folders = runFolders();
        QCOMPARE(folders.size(), 1);
        QVERIFY2(QRegularExpression("^10sims_5deg_5m_\\d{4}-\\d\\d-\\d\\dT\\d{6}$").match(folders[0]).hasMatch(),
                 qPrintable(folders[0]));
        const QDir runDir(QDir(output_->path()).filePath(folders[0]));
        QStringList written = runDir.entryList(QDir::Files);
        written.sort();
        QCOMPARE(written, QStringList({"N.asc", "Reach_prob.asc", "log.txt"}));
        const QStringList log = logText(dialog).split('\n');
        QCOMPARE(log.first(), QStringLiteral("Starting processing..."));
        QVERIFY(log.contains(QStringLiteral("Results written to folder %1").arg(runDir.absolutePath())));
        QCOMPARE(log.last(), QStringLiteral("Done."));

        QVERIFY(idle(dialog));
        QCOMPARE(shownPage(dialog)->objectName(), QStringLiteral("verticalLayoutWidget"));
        QVERIFY(child<QSplitter>(dialog, "splitter")->sizes().value(1) > 0);
        QVERIFY(child<mapView>(dialog, "raster")->hasPicture());
        QCOMPARE(child<QProgressBar>(dialog, "progressBar")->maximum(), 10 * 387);
        QCOMPARE(child<mruComboBox>(dialog, "workingDirectory")->stringList().first(), output_->path());
        QCOMPARE(child<mruComboBox>(dialog, "digitalElevationModel")->stringList(), QStringList{demPath()});
        QCOMPARE(child<mruComboBox>(dialog, "startRaster")->stringList(), QStringList{startCellsPath()});
        QCOMPARE(QDir::currentPath(), QDir(output_->path()).absolutePath());
        QTRY_VERIFY_WITH_TIMEOUT(!child<QProgressBar>(dialog, "progressBar")->isVisible(), 5000);
        QVERIFY(child<QProgressBar>(dialog, "progressBar")->width() > 0);
    }

    void existingOutputFilesAreAskedAbout_data()
    {
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>("logLine");
        QTest::newRow("all four, overwrite") << QStringList{"N.asc", "Reach_prob.asc", "trajectory_points.txt",
                                                            "log.txt"}
                                             << int(QMessageBox::Yes) << "Output files already exist."
                                             << "Existing output files will be overwritten";
        QTest::newRow("two, keep") << QStringList{"N.asc", "log.txt"} << int(QMessageBox::No)
                                   << "The following files already exist:\n - N.asc\n - log.txt."
                                   << "Output files already existed - Process aborted by user";
        QTest::newRow("unrequested trajectories, keep")
            << QStringList{"trajectory_points.txt"} << int(QMessageBox::No)
            << "The following files already exist:\n - trajectory_points.txt."
            << "Output files already existed - Process aborted by user";
    }

    void existingOutputFilesAreAskedAbout()
    {
        QFETCH(QStringList, present);
        QFETCH(int, answer);
        QFETCH(QString, question);
        QFETCH(QString, logLine);
        tumbraMainDialog dialog;
        boxRecorder boxes(dialog);
        boxes.answers << answer;
        dialog.show();
        fillValidRun(dialog, "1");
        plantOutputFiles(dialog, present);
        child<QPushButton>(dialog, "runProcess")->click();

        QCOMPARE(boxes.questions.size(), 1);
        QCOMPARE(boxes.questions[0].first, question);
        QCOMPARE(boxes.questions[0].second, QStringLiteral("Do you wish to overwrite them?"));
        QVERIFY(logText(dialog).split('\n').contains(logLine));
        if (answer == QMessageBox::Yes) {
            QVERIFY(waitForRunEnd(dialog));
            QVERIFY(logText(dialog).endsWith(QStringLiteral("Done.")));
            return;
        }
        QTest::qWait(200);
        QVERIFY(!logText(dialog).contains(QStringLiteral("Done")));
        QVERIFY(idle(dialog));
        QVERIFY(!child<QProgressBar>(dialog, "progressBar")->isVisible());
        QCOMPARE(QDir::currentPath(), QDir(output_->path()).absolutePath());
    }

    // The writer's request for a box arrives from the worker thread and is
    // shown here; the run still completes.
    void unwritableOutputFileIsShownInAWarningBox()
    {
        tumbraMainDialog dialog;
        boxRecorder boxes(dialog);
        dialog.show();
        fillValidRun(dialog, "1");
        plantOutputFiles(dialog, {"N.asc/"});
        child<QPushButton>(dialog, "runProcess")->click();
        QVERIFY(waitForRunEnd(dialog));
        QCOMPARE(boxes.warnings, QStringList{"Error when writing file N.asc: please check write permissions."});
        QCOMPARE(boxes.errors, QStringList());
        QVERIFY(logText(dialog).contains("Results written to folder"));
        QVERIFY(logText(dialog).endsWith("Done."));
    }

    void refusedPreparationStartsNoRun_data()
    {
        QTest::addColumn<QString>("removed");
        QTest::addColumn<QString>("logLine");
        QTest::addColumn<QStringList>("boxes");
        const QString demText = "Failed to load model. Please check that the file exists and is readable.";
        const QString startText =
            "Failed to load start cells raster. Please check that the file exists and is readable.";
        QTest::newRow("DEM gone") << "dem" << "Error: " + demText << QStringList{demText};
        QTest::newRow("start cells gone") << "start" << "Error: " + startText << QStringList{startText};
        QTest::newRow("output directory gone") << "output" << "Failed to create output folder (%1)!"
                                               << QStringList();
    }

    // The paths are valid when typed and vanish before the click.
    void refusedPreparationStartsNoRun()
    {
        QFETCH(QString, removed);
        QFETCH(QString, logLine);
        QFETCH(QStringList, boxes);
        QTemporaryDir inputs;
        const QString dem = inputs.filePath("dem.asc");
        const QString start = inputs.filePath("start.asc");
        const QString outputDir = output_->filePath("out");
        QVERIFY(QFile::copy(demPath(), dem) && QFile::copy(startCellsPath(), start) && QDir().mkdir(outputDir));
        tumbraMainDialog dialog;
        boxRecorder recorder(dialog);
        dialog.show();
        typePath(dialog, "workingDirectory", outputDir);
        typePath(dialog, "digitalElevationModel", dem);
        typePath(dialog, "startRaster", start);
        QVERIFY(child<QPushButton>(dialog, "runProcess")->isEnabled());
        if (removed == "output")
            QVERIFY(QDir(outputDir).removeRecursively());
        else
            QVERIFY(QFile::remove(removed == "dem" ? dem : start));

        child<QPushButton>(dialog, "runProcess")->click();
        QTest::qWait(200);
        const QStringList log = logText(dialog).split('\n');
        if (removed == "output") {
            QCOMPARE(log.size(), 1);
            QVERIFY2(QRegularExpression("^Failed to create output folder \\(.*/out/100sims_5deg_5m_.*\\)!$")
                         .match(log[0])
                         .hasMatch(),
                     qPrintable(log[0]));
        } else {
            QCOMPARE(log, QStringList({"Starting processing...", logLine}));
            QCOMPARE(QDir::currentPath(), QDir(outputDir).absolutePath());
        }
        QCOMPARE(recorder.errors, boxes);
        QVERIFY(idle(dialog));
        QVERIFY(!child<QProgressBar>(dialog, "progressBar")->isVisible());
    }

    void stopAsksBeforeAborting_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("yes") << int(QMessageBox::Yes);
        QTest::newRow("no") << int(QMessageBox::No);
    }

    void stopAsksBeforeAborting()
    {
        QFETCH(int, answer);
        tumbraMainDialog dialog;
        boxRecorder boxes(dialog);
        boxes.answers << answer;
        dialog.show();
        fillValidRun(dialog, "50");
        child<QPushButton>(dialog, "runProcess")->click();
        QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>(dialog, "stopProcess")->isVisible(), 60000);
        QVERIFY(!child<QComboBox>(dialog, "workingDirectory")->isEnabled());
        child<QPushButton>(dialog, "stopProcess")->click();
        QCOMPARE(boxes.questions.size(), 1);
        QCOMPARE(boxes.questions[0].first, QStringLiteral("Do you really want to abort the process?"));
        QCOMPARE(boxes.questions[0].second, QStringLiteral("No files will be saved!"));
        QVERIFY(waitForRunEnd(dialog));

        const QDir runDir(QDir(output_->path()).filePath(runFolders().value(0)));
        if (answer == QMessageBox::Yes) {
            QVERIFY(logText(dialog).endsWith("\nProcess aborted by user. No files saved."));
            QCOMPARE(runDir.entryList(QDir::Files), QStringList());
            QCOMPARE(shownPage(dialog)->objectName(), QStringLiteral("noResultsLabel"));
        } else {
            QVERIFY(logText(dialog).endsWith("Done."));
            QVERIFY(runDir.exists("Reach_prob.asc"));
            QCOMPARE(shownPage(dialog)->objectName(), QStringLiteral("verticalLayoutWidget"));
        }
        QVERIFY(idle(dialog));
        QCOMPARE(QDir::currentPath(), QDir(output_->path()).absolutePath());
    }

    void closingAsksOnlyDuringARun_data()
    {
        QTest::addColumn<bool>("duringRun");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("closed");
        QTest::newRow("idle") << false << int(QMessageBox::No) << true;
        QTest::newRow("running, declined") << true << int(QMessageBox::No) << false;
        QTest::newRow("running, accepted") << true << int(QMessageBox::Yes) << true;
    }

    void closingAsksOnlyDuringARun()
    {
        QFETCH(bool, duringRun);
        QFETCH(int, answer);
        QFETCH(bool, closed);
        const QString settingsKey = QStringLiteral("1.0/Parameters/numberOfSimulations");
        {
            tumbraMainDialog dialog;
            boxRecorder boxes(dialog);
            boxes.answers << answer;
            dialog.show();
            fillValidRun(dialog, "50");
            if (duringRun) {
                child<QPushButton>(dialog, "runProcess")->click();
                QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>(dialog, "stopProcess")->isVisible(), 60000);
            }
            QCOMPARE(dialog.close(), closed);
            QCOMPARE(boxes.questions.size(), duringRun ? 1 : 0);
            QCOMPARE(dialog.isVisible(), !closed);
            QCOMPARE(QSettings("velmora", "tumbra").contains(settingsKey), closed);
            if (!closed) {
                QVERIFY(waitForRunEnd(dialog));
                QVERIFY(logText(dialog).contains("Results written to folder"));
            }
        }
        // The window is gone; an aborted run has been waited for and wrote nothing.
        if (duringRun && closed) {
            const QDir runDir(QDir(output_->path()).filePath(runFolders().value(0)));
            QCOMPARE(runDir.entryList(QDir::Files), QStringList());
        }
    }

    void escapeDoesNotClose()
    {
        tumbraMainDialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(dialog.isVisible());
    }

    void messagesReachTheLogWithTheirPrefix()
    {
        tumbraMainDialog dialog;
        boxRecorder boxes(dialog);
        dialog.onDisplayMessage("Plain <b>text</b> &lt;");
        dialog.onDisplayMessage("Two  spaces\nand a second line");
        dialog.onDisplayWarning("Cell size differs.");
        dialog.onDisplayError("Unable to open file a.asc for reading: please check permissions.");
        dialog.onWarningBoxRequested("Error when writing file N.asc: please check write permissions.");
        QCOMPARE(logText(dialog).split('\n'),
                 QStringList({"Plain <b>text</b> &lt;", "Two  spaces", "and a second line",
                              "Warning: Cell size differs.",
                              "Error: Unable to open file a.asc for reading: please check permissions."}));
        QCOMPARE(boxes.errors, QStringList{"Unable to open file a.asc for reading: please check permissions."});
        QCOMPARE(boxes.warnings, QStringList{"Error when writing file N.asc: please check write permissions."});
    }

    void progressBarHidesAfterTheRunButNotDuringTheNext()
    {
        tumbraMainDialog dialog;
        dialog.show();
        auto* bar = child<QProgressBar>(dialog, "progressBar");
        dialog.onInitProgressBar(40);
        dialog.onSetProgressBar(25);
        QVERIFY(bar->isVisible());
        QCOMPARE(bar->maximum(), 40);
        QCOMPARE(bar->value(), 25);
        const QRect fullSize = bar->geometry();
        dialog.onResetProgressBar();
        QTest::qWait(700);
        QVERIFY(bar->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!bar->isVisible(), 3000);
        QCOMPARE(bar->geometry(), fullSize);

        dialog.onInitProgressBar(10);
        dialog.onResetProgressBar();
        QTest::qWait(1200);
        dialog.onInitProgressBar(10);
        QTest::qWait(1500);
        QVERIFY(bar->isVisible());
        QCOMPARE(bar->geometry(), fullSize);
    }

    void fileChooserStartsInTheOutputDirectory_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::newRow("chosen") << true;
        QTest::newRow("cancelled") << false;
    }

    void fileChooserStartsInTheOutputDirectory()
    {
        QFETCH(bool, accept);
        QVERIFY(QFile::copy(startCellsPath(), output_->filePath("start.asc")));
        tumbraMainDialog dialog;
        dialog.show();
        typePath(dialog, "workingDirectory", output_->path());
        typePath(dialog, "startRaster", QString());
        QString startFolder;
        QTimer::singleShot(0, this, [&] {
            auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(chooser);
            startFolder = chooser->directory().absolutePath();
            if (accept) {
                chooser->selectFile(output_->filePath("start.asc"));
                static_cast<QDialog*>(chooser)->accept();
            } else {
                chooser->reject();
            }
        });
        child<QPushButton>(dialog, "browseStartRaster")->click();
        QCOMPARE(startFolder, QDir(output_->path()).absolutePath());
        const QString text = child<QComboBox>(dialog, "startRaster")->lineEdit()->text();
        QCOMPARE(text, accept ? QDir(output_->path()).absoluteFilePath("start.asc") : QString());
    }
};

QTEST_MAIN(tst_mainDialog)
#include "tst_mainDialog.moc"

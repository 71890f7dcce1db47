#include <functional>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QTableView>
#include <QTableWidget>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "controller/settingsTable.h"
#include "map/runResultGrids.h"
#include "tests/controllerRecorder.h"
#include "map/resultMapPicture.h"
#include "tests/dialogDriver.h"
#include "ui/resultMapPanel.h"
#include "ui/runFolderName.h"
#include "widgets/mruComboBox.h"
#include "widgets/histogramChart.h"
#include "widgets/mapView.h"

namespace {
// A completed run's outcome over 40 x 40 cells of 10 m, every cell passed
// twice; `adjust` changes its grids before they are shared.
runOutcome flatRunOutcome(const std::function<void(runResultGrids&)>& adjust = {})
{
    runOutcome outcome;
    outcome.code = 0;
    auto grids = std::make_shared<runResultGrids>();
    grids->header = {40, 40, 0.0f, 0.0f, 10.0f, -9999.0f, rasterHeader::corner};
    grids->displayGrid.assign(40, 40, -3);
    grids->passageCounts.assign(40, 40, 2);
    grids->reachingStartCells.assign(40, 40, 1);
    grids->elevations.assign(40, 40, 100.0f);
    grids->numberOfSimulations = 10;
    grids->trajectories = 10;
    if (adjust)
        adjust(*grids);
    outcome.grids = grids;
    return outcome;
}
}  // namespace

// The window driven as a user would: paths typed, buttons clicked, boxes
// answered by a boxRecorder, runs on the bundled example.
class tst_mainDialog : public QObject
{
    Q_OBJECT

    scratchSettingsStore store_;
    QString startDir_;
    std::unique_ptr<QTemporaryDir> output_;

    static QString demPath() { return QStringLiteral(EXAMPLES_DIR "/dem.asc"); }
    static QString startCellsPath() { return QStringLiteral(EXAMPLES_DIR "/start_cells.asc"); }

    void fillValidRun(tumbraMainDialog& dialog, const QString& simulations)
    {
        typePath(dialog, "outputFolder", output_->path());
        typePath(dialog, "digitalElevationModel", demPath());
        typePath(dialog, "startRaster", startCellsPath());
        child<QComboBox>(dialog, "numberOfSimulations")->setCurrentText(simulations);
    }

    QDir runDir() const
    {
        const QStringList folders = QDir(output_->path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        return QDir(QDir(output_->path()).filePath(folders.value(0)));
    }

    // The folder a click in the next two seconds will use gets these files;
    // a trailing slash makes a folder where the run wants to write a file.
    void plantOutputFiles(const tumbraMainDialog& dialog, const QStringList& names)
    {
        for (int second = 0; second < 3; ++second) {
            const QString folder = output_->filePath(runFolderName(
                child<QComboBox>(dialog, "numberOfSimulations")->currentText(),
                child<QComboBox>(dialog, "maxAngle")->currentText(),
                child<QDoubleSpinBox>(dialog, "segmentLength")->value(), QDateTime::currentDateTime().addSecs(second)));
            for (const QString& name : names)
                QVERIFY(name.endsWith('/') ? QDir().mkpath(folder + "/" + name)
                                           : QDir().mkpath(folder) && writeTextFile(folder + "/" + name, "old\n"));
        }
    }

    static bool idle(const tumbraMainDialog& dialog)
    {
        return child<QPushButton>(dialog, "runProcess")->isVisible()
               && !child<QPushButton>(dialog, "stopProcess")->isVisible()
               && child<QComboBox>(dialog, "outputFolder")->isEnabled()
               && !child<QProgressBar>(dialog, "progressBar")->isVisible();
    }

    // The form's inputs that can be changed now: paths, browse buttons and
    // every setting, those of the intensity's own dialog included.
    static QStringList enabledInputs(const tumbraMainDialog& dialog)
    {
        QStringList names;
        for (const QWidget* widget : child<QWidget>(dialog, "formPane")->findChildren<QWidget*>()) {
            const bool input = qobject_cast<const QComboBox*>(widget) || qobject_cast<const QAbstractSpinBox*>(widget)
                               || qobject_cast<const QAbstractButton*>(widget)
                               || qobject_cast<const QLineEdit*>(widget);
            const QString name = widget->objectName();
            if (input && widget->isEnabled() && !name.isEmpty()
                && !QStringList{"runProcess", "stopProcess", "aboutButton"}.contains(name))
                names << name;
        }
        names.sort();
        return names;
    }

    static QString shownPage(const tumbraMainDialog& dialog)
    {
        return child<QStackedWidget>(dialog, "stackedWidget")->currentWidget()->objectName();
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

    // The run shows its map and the source shares of its start cells.
    void completedRunShowsTheMapAndItsFiles()
    {
        tumbraMainDialog dialog;
        boxRecorder boxes(dialog);
        dialog.show();
        fillValidRun(dialog, "10");
        QSignalSpy ended(&dialog, &tumbraMainDialog::runFinished);
        child<QPushButton>(dialog, "runProcess")->click();
        QVERIFY(waitForRunEnd(ended));
        QCOMPARE(ended.value(0).value(0).toInt(), 0);
        QCOMPARE(boxes.errors, QStringList());
        QCOMPARE(boxes.warnings, QStringList());
        // The example's DEM has a .prj: its system travels to each grid.
        QCOMPARE(
            runDir().entryList(QDir::Files, QDir::Name),
            QStringList({"N.asc", "N.prj", "N.qml", "Reach_prob.asc", "Reach_prob.prj", "Reach_prob.qml", "log.txt"}));
        QVERIFY(
            logText(dialog).contains(QStringLiteral("Results written to folder %1\n").arg(runDir().absolutePath())));
        QVERIFY(logText(dialog).endsWith(QStringLiteral("\nDone.")));
        QCOMPARE(shownPage(dialog), QStringLiteral("resultPage"));
        QVERIFY(child<QSplitter>(dialog, "splitter")->sizes().value(1) > 0);
        QVERIFY(child<mapView>(dialog, "raster")->hasPicture());
        // No objects at risk: no source shares to show.
        QVERIFY(!qobject_cast<QStandardItemModel*>(child<QComboBox>(dialog, "mapColouring")->model())
                     ->item(4)
                     ->isEnabled());
        QCOMPARE(child<mruComboBox>(dialog, "digitalElevationModel")->stringList(), QStringList{demPath()});
        QCOMPARE(QDir::currentPath(), startDir_);
        QTRY_VERIFY_WITH_TIMEOUT(idle(dialog), 5000);
    }

    // Objects at risk from a vector file: its layers are offered, the run
    // writes their outputs, and the map shows the source shares and reads
    // them, draws the objects and lists them, with their intensity, in a
    // table that sorts by value and zooms to the object clicked. A second
    // run refused leaves the map unmarked.
    void runWithObjectsShowsTheSourceShares()
    {
        tumbraMainDialog dialog;
        boxRecorder boxes(dialog);
        dialog.show();
        fillValidRun(dialog, "10");
        child<QCheckBox>(dialog, "intensity")->setChecked(true);
        child<QDoubleSpinBox>(dialog, "blockVolume")->setValue(2.0);
        auto* layers = child<QComboBox>(dialog, "objectsLayer");
        QVERIFY(!layers->isVisible());
        typePath(dialog, "objectsFile", EXAMPLES_DIR "/objects.gpkg");
        QTRY_COMPARE(layers->count(), 1);
        QVERIFY(layers->isVisible() && layers->isEnabled() && layers->currentText().isEmpty());
        QCOMPARE(layers->itemText(0), QStringLiteral("objects"));
        QSignalSpy ended(&dialog, &tumbraMainDialog::runFinished);
        child<QPushButton>(dialog, "runProcess")->click();
        QVERIFY(waitForRunEnd(ended));
        QCOMPARE(ended.value(0).value(0).toInt(), 0);
        QVERIFY(runDir().exists("objects.csv"));
        QVERIFY(logText(dialog).contains(QStringLiteral("Objects at risk: %1").arg(EXAMPLES_DIR "/objects.gpkg")));
        auto* colouring = child<QComboBox>(dialog, "mapColouring");
        colouring->setCurrentIndex(colouring->findData(int(mapColouring::sourceShare)));
        QVERIFY(child<QLabel>(dialog, "mapCaption")->text().startsWith("Source share map"));
        // The first start cell: the first value of Source_share.asc that is no NODATA.
        const QStringList rows =
            QString::fromLatin1(readTextFile(runDir().filePath("Source_share.asc"))).split('\n').mid(6);
        for (int row = 0; row < rows.size(); ++row) {
            const int col = rows[row].split(' ', Qt::SkipEmptyParts).indexOf(QRegularExpression("^[0-9.]+$"));
            if (col >= 0) {
                emit child<mapView>(dialog, "raster")->cellHovered(row, col);
                break;
            }
        }
        QVERIFY(child<QLabel>(dialog, "mapStatus")->text().contains(" | source share "));
        // Its report, written off the window's thread: the window answers while it is made.
        QVERIFY(child<QPushButton>(dialog, "saveReport")->isEnabled());
        const QString report = output_->filePath("saved report.pdf");
        child<resultMapPanel>(dialog, "resultPanel")->saveReport(report);
        QTRY_VERIFY_WITH_TIMEOUT(logText(dialog).contains(QStringLiteral("Report saved as %1").arg(report)), 20000);
        QVERIFY(readTextFile(report).startsWith("%PDF-"));
        QCOMPARE(boxes.errors, QStringList());

        auto* map = child<mapView>(dialog, "raster");
        QStringList labels;
        for (const mapOverlayShape& shape : map->overlay())
            labels << shape.label;
        QCOMPARE(labels, QStringList({"Valley road", "Barn", "House"}));
        auto* table = child<QTableView>(dialog, "objectsTable");
        QVERIFY(table->isVisible());
        QAbstractItemModel& objects = *table->model();
        QCOMPARE(objects.rowCount(), 3);
        QCOMPARE(objects.headerData(objects.columnCount() - 1, Qt::Horizontal).toString(),
                 QStringLiteral("Energy P95 (kJ)"));
        // Sorted by the largest energy, descending: the numbers' order, not their texts'.
        table->sortByColumn(objects.columnCount() - 2, Qt::DescendingOrder);
        for (int row = 0; row + 1 < objects.rowCount(); ++row)
            QVERIFY(objects.index(row, objects.columnCount() - 2).data().toDouble()
                    >= objects.index(row + 1, objects.columnCount() - 2).data().toDouble());
        const QString csv = QString::fromUtf8(readTextFile(runDir().filePath("objects.csv")));
        QVERIFY(csv.contains(",largest energy (kJ),95th percentile energy (kJ)\r\n"));
        const QModelIndex house = objects.match(objects.index(0, 0), Qt::DisplayRole, "House").value(0);
        QVERIFY(house.isValid());
        const double fitted = map->zoom();
        emit table->clicked(house);
        QVERIFY(map->zoom() > fitted);
        const QPoint centre = map->cellAt(QPointF(map->width() / 2.0, map->height() / 2.0));
        QVERIFY(map->overlay()[2].bounds().adjusted(-1, -1, 1, 1).contains(QPointF(centre) + QPointF(0.5, 0.5)));

        typePath(dialog, "barriersFile", EXAMPLES_DIR "/barriers.gpkg");
        child<QPushButton>(dialog, "runProcess")->click();
        QCOMPARE(boxes.errors.size(), 1);
        QCOMPARE(map->note(), QString());
    }

    // Declined, the question starts no run (accepted: see the completed run).
    void existingOutputFilesAreKeptWhenAsked_data()
    {
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QString>("question");
        QTest::newRow("two") << QStringList{"N.asc", "log.txt"}
                             << "The following files already exist:\n - N.asc\n - log.txt.";
        QTest::newRow("all") << QStringList{"N.asc",          "N.prj",          "N.qml",  "Reach_prob.asc",
                                            "Reach_prob.prj", "Reach_prob.qml", "log.txt"}
                             << "Output files already exist.";
    }

    void existingOutputFilesAreKeptWhenAsked()
    {
        QFETCH(QStringList, present);
        QFETCH(QString, question);
        tumbraMainDialog dialog;
        boxRecorder boxes(dialog);
        boxes.answers << int(QMessageBox::No);
        dialog.show();
        fillValidRun(dialog, "1");
        plantOutputFiles(dialog, present);
        child<QPushButton>(dialog, "runProcess")->click();
        QCOMPARE(boxes.questions, (QList<QPair<QString, QString>>{{question, "Do you wish to overwrite them?"}}));
        QVERIFY(logText(dialog).endsWith("\nOutput files already existed - Process aborted by user"));
        QTest::qWait(200);
        QVERIFY(!logText(dialog).contains(QStringLiteral("Done")));
        QVERIFY(idle(dialog));
    }

    void failedRunLeavesNoRunFolder_data()
    {
        QTest::addColumn<QByteArray>("dem");  // empty: the example's
        QTest::addColumn<QByteArray>("start");
        QTest::addColumn<QString>("removed");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("lastLine");
        const QByteArray header = "ncols 5\nnrows 4\nxllcorner 600000\nyllcorner 150000\ncellsize 2\nNODATA_value -9\n";
        const QByteArray dem = header + QByteArray("9 8 7 6 5\n").repeated(4);
        const QString gone = "does not exist. Check its name and folder.";
        QTest::newRow("DEM gone") << QByteArray() << QByteArray() << "dem"
                                  << "dem.asc " + gone << "Error: The DEM /";
        QTest::newRow("start cells gone") << QByteArray() << QByteArray() << "start"
                                          << "start.asc " + gone << "Error: The start cells file /";
        QTest::newRow("output directory gone")
            << QByteArray() << QByteArray() << "output" << QString() << "Failed to create output folder (";
        QTest::newRow("no start cell") << dem << header + QByteArray("0 0 0 0 0\n").repeated(4) << QString()
                                       << "No start cells found. Aborting."
                                       << "Done with errors.";
    }

    // The paths are valid when typed; the inputs fail, or vanish before the click.
    void failedRunLeavesNoRunFolder()
    {
        QFETCH(QByteArray, dem);
        QFETCH(QByteArray, start);
        QFETCH(QString, removed);
        QFETCH(QString, error);
        QFETCH(QString, lastLine);
        QTemporaryDir inputs;
        const QString demFile = inputs.filePath("dem.asc");
        const QString startFile = inputs.filePath("start.asc");
        const QString outputDir = output_->filePath("out");
        QVERIFY(dem.isEmpty() ? QFile::copy(demPath(), demFile) : writeTextFile(demFile, dem));
        QVERIFY(start.isEmpty() ? QFile::copy(startCellsPath(), startFile) : writeTextFile(startFile, start));
        QVERIFY(QDir().mkdir(outputDir));
        tumbraMainDialog dialog;
        boxRecorder boxes(dialog);
        dialog.show();
        typePath(dialog, "outputFolder", outputDir);
        typePath(dialog, "digitalElevationModel", demFile);
        typePath(dialog, "startRaster", startFile);
        QVERIFY(child<QPushButton>(dialog, "runProcess")->isEnabled());
        if (!removed.isEmpty())
            QVERIFY(removed == "output" ? QDir(outputDir).removeRecursively()
                                        : QFile::remove(removed == "dem" ? demFile : startFile));

        QSignalSpy ended(&dialog, &tumbraMainDialog::runFinished);
        child<QPushButton>(dialog, "runProcess")->click();
        if (lastLine.startsWith(QLatin1String("Done")))
            QVERIFY(waitForRunEnd(ended));
        else
            QTest::qWait(200);
        QVERIFY2(logText(dialog).split('\n').last().startsWith(lastLine), qPrintable(logText(dialog)));
        QCOMPARE(boxes.errors.size(), error.isEmpty() ? 0 : 1);
        QVERIFY(boxes.errors.value(0).contains(error));
        QCOMPARE(QDir(outputDir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
        QTRY_VERIFY_WITH_TIMEOUT(idle(dialog), 5000);
    }

    void leavingAsksOnlyDuringARun_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("duringRun");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("intensityAndSeed");
        QTest::newRow("stop, accepted") << "stop" << true << int(QMessageBox::Yes) << false;
        QTest::newRow("stop, declined") << "stop" << true << int(QMessageBox::No) << false;
        QTest::newRow("stop, declined, intensity and seed") << "stop" << true << int(QMessageBox::No) << true;
        QTest::newRow("close when idle") << "close" << false << int(QMessageBox::No) << false;
        QTest::newRow("close, declined") << "close" << true << int(QMessageBox::No) << false;
        QTest::newRow("close, accepted") << "close" << true << int(QMessageBox::Yes) << false;
    }

    // Stopping or closing during a run asks first; Escape never closes;
    // closing saves the settings; an aborted run is waited for and writes
    // nothing. During a run no path or setting can be changed; after it, all
    // that could before can again.
    void leavingAsksOnlyDuringARun()
    {
        QFETCH(QString, action);
        QFETCH(bool, duringRun);
        QFETCH(int, answer);
        QFETCH(bool, intensityAndSeed);
        const bool aborted = duringRun && answer == QMessageBox::Yes;
        const bool closed = action == "close" && (!duringRun || aborted);
        {
            tumbraMainDialog dialog;
            boxRecorder boxes(dialog);
            boxes.answers << answer;
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            QTest::keyClick(&dialog, Qt::Key_Escape);
            QVERIFY(dialog.isVisible());
            fillValidRun(dialog, "50");
            child<QCheckBox>(dialog, "intensity")->setChecked(intensityAndSeed);
            child<QCheckBox>(dialog, "reproducible")->setChecked(intensityAndSeed);
            const QStringList inputs = enabledInputs(dialog);
            QSignalSpy ended(&dialog, &tumbraMainDialog::runFinished);
            if (duringRun) {
                child<QPushButton>(dialog, "runProcess")->click();
                // Already while the run reads its inputs.
                QCOMPARE(enabledInputs(dialog), QStringList());
                QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>(dialog, "stopProcess")->isVisible(), 60000);
                QCOMPARE(enabledInputs(dialog), QStringList());
            }
            if (action == "stop") {
                child<QPushButton>(dialog, "stopProcess")->click();
                QCOMPARE(boxes.questions, (QList<QPair<QString, QString>>{{"Do you really want to abort the process?",
                                                                           "No files will be saved!"}}));
            } else {
                QCOMPARE(dialog.close(), closed);
                QCOMPARE(boxes.questions.size(), duringRun ? 1 : 0);
            }
            if (!closed) {
                QVERIFY(waitForRunEnd(ended));
                QVERIFY(logText(dialog).endsWith(aborted ? "\nProcess aborted by user. No files saved." : "\nDone."));
                QCOMPARE(child<QProgressBar>(dialog, "progressBar")->text(),
                         aborted ? QStringLiteral("Stopped") : QStringLiteral("100%"));
                QCOMPARE(shownPage(dialog), aborted ? QStringLiteral("noResultsLabel") : QStringLiteral("resultPage"));
                QTRY_VERIFY_WITH_TIMEOUT(idle(dialog), 5000);
                QCOMPARE(enabledInputs(dialog), inputs);
            }
        }
        if (aborted)  // not even the run's folder stays
            QCOMPARE(QDir(output_->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
        else if (duringRun)
            QVERIFY(!runDir().entryList(QDir::Files).isEmpty());
    }

    // A run that ends while its stop question is open closes the question; the
    // answer is not acted on, the files stay, the window stays open.
    void questionOutlivedByTheRunClosesItself_data()
    {
        QTest::addColumn<QString>("action");
        QTest::newRow("stop") << "stop";
        QTest::newRow("close") << "close";
    }

    void questionOutlivedByTheRunClosesItself()
    {
        QFETCH(QString, action);
        tumbraMainDialog dialog;
        boxRecorder boxes(dialog);
        bool closedByItself = false;
        dialog.setQuestionBox([&](const QString&, const QString&) {
            QEventLoop question;
            connect(&dialog, &tumbraMainDialog::stopQuestionOutlived, &question, [&] {
                closedByItself = true;
                question.quit();
            });
            QTimer::singleShot(120000, &question, &QEventLoop::quit);
            question.exec();
            return int(QMessageBox::Yes);  // a late Yes must not stop anything
        });
        dialog.show();
        fillValidRun(dialog, "50");
        QSignalSpy ended(&dialog, &tumbraMainDialog::runFinished);
        child<QPushButton>(dialog, "runProcess")->click();
        QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>(dialog, "stopProcess")->isVisible(), 60000);
        if (action == "stop")
            child<QPushButton>(dialog, "stopProcess")->click();
        else
            QVERIFY(!dialog.close());
        QVERIFY(closedByItself);
        QVERIFY(waitForRunEnd(ended));
        QCOMPARE(ended.first().first().toInt(), 0);
        QVERIFY(logText(dialog).contains("nothing was stopped and its files are kept"));
        QVERIFY(logText(dialog).endsWith("\nDone."));
        QVERIFY(dialog.isVisible());
        QVERIFY(runDir().exists("log.txt"));
    }

    // The map takes most of the window's area at its default size; a form width set by
    // dragging the splitter comes back in the next session.
    void mapDominatesAndSplitterIsRemembered()
    {
        const runOutcome outcome = flatRunOutcome([](runResultGrids& grids) {
            grids.runOuts.assign(10.0, 600.0);
            grids.runOuts.addTrajectory(120.0, true, 31.0, true);
        });
        int formWidth = 0;
        for (int session = 0; session < 2; ++session) {
            tumbraMainDialog dialog;
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            dialog.onRunFinished(outcome);
            auto* splitter = child<QSplitter>(dialog, "splitter");
            const QList<int> sizes = splitter->sizes();
            if (session == 0) {
                const QSize map = child<mapView>(dialog, "raster")->size();
                QVERIFY2(map.width() * map.height() > dialog.width() * dialog.height() / 2,
                         qPrintable(QStringLiteral("map %1 x %2 in %3 x %4")
                                        .arg(map.width())
                                        .arg(map.height())
                                        .arg(dialog.width())
                                        .arg(dialog.height())));
                // The paths stay readable: their fields are wider than their buttons.
                QVERIFY(child<QWidget>(dialog, "outputFolder")->width() >
                        child<QWidget>(dialog, "browseOutputFolder")->width());
                QCOMPARE(child<histogramChart>(dialog, "travelAngleChart")->bars().size(), 1);
                formWidth = sizes[0] + 80;
                splitter->setSizes({formWidth, sizes[1] - 80});
                emit splitter->splitterMoved(formWidth, 1);
                dialog.close();
            } else {
                QCOMPARE(sizes[0], formWidth);
            }
        }
    }

    // On a small screen the inputs scroll, so that the window keeps the size
    // given and shows the whole result pane, its caption included.
    void smallWindowShowsTheMapCaption()
    {
        const runOutcome outcome = flatRunOutcome();
        tumbraMainDialog dialog;
        dialog.resize(900, 600);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.onRunFinished(outcome);
        QTest::qWait(50);
        QCOMPARE(dialog.size(), QSize(900, 600));
        const auto* caption = child<QLabel>(dialog, "mapCaption");
        const QRect shown(caption->mapTo(&dialog, QPoint(0, 0)), caption->size());
        QVERIFY2(caption->isVisible() && dialog.rect().contains(shown) && shown.height() >= caption->sizeHint().height(),
                 qPrintable(QStringLiteral("caption at %1,%2 %3 x %4")
                                .arg(shown.x())
                                .arg(shown.y())
                                .arg(shown.width())
                                .arg(shown.height())));
    }

    void storedSizeIsCutToTheScreen_data()
    {
        QTest::addColumn<QSize>("stored");
        QTest::addColumn<QSize>("shown");
        // The first-start size, which the window takes on any screen, is never cut.
        const QSize room = QGuiApplication::primaryScreen()->availableSize().expandedTo(QSize(1400, 860));
        QTest::newRow("beyond any screen") << QSize(100000, 100000) << room;
        QTest::newRow("wider than the screen") << QSize(100000, 800) << QSize(room.width(), 800);
    }

    // A stored size the screen cannot hold, from a larger monitor or a damaged store, is cut to the screen.
    void storedSizeIsCutToTheScreen()
    {
        QFETCH(QSize, stored);
        QFETCH(QSize, shown);
        QSettings(QStringLiteral("velmora"), QStringLiteral("tumbra")).setValue("1.0/MainWindow/size", stored);
        tumbraMainDialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.size(), shown);
    }

    // The bar lingers a moment after a run, and a run started meanwhile keeps it.
    void progressBarHidesAfterTheRunButNotDuringTheNext()
    {
        tumbraMainDialog dialog;
        dialog.show();
        auto* bar = child<QProgressBar>(dialog, "progressBar");
        dialog.onInitProgressBar(40);
        dialog.onSetProgressBar(25);
        QVERIFY(bar->isVisible() && bar->maximum() == 40 && bar->value() == 25);
        const QRect fullSize = bar->geometry();
        dialog.onResetProgressBar();
        QTest::qWait(700);
        QVERIFY(bar->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!bar->isVisible(), 3000);
        dialog.onInitProgressBar(10);
        dialog.onResetProgressBar();
        QTest::qWait(1200);
        dialog.onInitProgressBar(10);
        QTest::qWait(1500);
        QVERIFY(bar->isVisible());
        QCOMPARE(bar->geometry(), fullSize);
    }

    // The file chooser opens in the output directory and fills the field.
    void fileChooserStartsInTheOutputDirectory()
    {
        QVERIFY(QFile::copy(startCellsPath(), output_->filePath("start.asc")));
        tumbraMainDialog dialog;
        dialog.show();
        typePath(dialog, "outputFolder", output_->path());
        QString startFolder;
        QTimer::singleShot(0, this, [&] {
            auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(chooser);
            startFolder = chooser->directory().absolutePath();
            chooser->selectFile(output_->filePath("start.asc"));
            static_cast<QDialog*>(chooser)->accept();
        });
        child<QPushButton>(dialog, "browseStartRaster")->click();
        QCOMPARE(startFolder, QDir(output_->path()).absolutePath());
        QCOMPARE(child<QComboBox>(dialog, "startRaster")->lineEdit()->text(),
                 QDir(output_->path()).absoluteFilePath("start.asc"));
    }

    void releaseRowsOfferTheLayersNumberFields_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QStringList>("offered");  // none: the rows are hidden
        QTest::newRow("release areas: no text field") << "release_areas.gpkg" << QStringList{"frequency", "volume"};
        QTest::newRow("raster") << "start_cells.asc" << QStringList();
    }

    // The release rows show with a vector start-cells file only, offering its layer's number fields.
    void releaseRowsOfferTheLayersNumberFields()
    {
        QFETCH(QString, start);
        QFETCH(QStringList, offered);
        tumbraMainDialog dialog;
        dialog.show();
        typePath(dialog, "startRaster", EXAMPLES_DIR "/" + start);
        for (const char* name :
             {"frequencyField", "frequencyPerHaField", "volumeField", "densityField", "fallHeightField"}) {
            auto* list = child<QComboBox>(dialog, name);
            QCOMPARE(list->isVisible(), !offered.isEmpty());
            QTRY_COMPARE(list->count(), offered.size());
            for (int i = 0; i < list->count(); ++i)
                QCOMPARE(list->itemText(i), offered[i]);
        }
    }

    // The calibration dialog runs its lists through the window's run, ranks
    // the runs in its table and gives the form the best one's settings; a
    // list that cannot run starts nothing.
    void calibrationRanksItsRunsAndGivesTheBest_data()
    {
        QTest::addColumn<QString>("angles");
        QTest::addColumn<int>("runs");  // 0: refused
        QTest::newRow("two angles, two classes") << "15, 30" << 4;
        QTest::newRow("angle out of range") << "15,95" << 0;
        QTest::newRow("no list of numbers") << "15;30" << 0;
    }

    void calibrationRanksItsRunsAndGivesTheBest()
    {
        QFETCH(QString, angles);
        QFETCH(int, runs);
        tumbraMainDialog dialog;
        boxRecorder boxes(dialog);
        dialog.show();
        fillValidRun(dialog, "10");
        typePath(dialog, "observedFile", EXAMPLES_DIR "/observed_reach.gpkg");
        child<QPushButton>(dialog, "calibrate")->click();
        child<QCheckBox>(dialog, "class_medium")->setChecked(true);
        child<QCheckBox>(dialog, "class_low")->setChecked(true);
        child<QLineEdit>(dialog, "maxDeviationAngleList")->setText(angles);
        QSignalSpy ended(&dialog, &tumbraMainDialog::runFinished);
        child<QPushButton>(dialog, "runCalibration")->click();
        QCOMPARE(child<QLabel>(dialog, "calibrationProblem")->isVisible(), runs == 0);
        QVERIFY(runs > 0 ? waitForRunEnd(ended) : ended.isEmpty() && QDir(output_->path()).isEmpty());
        if (runs == 0)
            return;
        QCOMPARE(ended.value(0).value(0).toInt(), 0);
        QCOMPARE(boxes.errors, QStringList());
        auto* table = child<QTableWidget>(dialog, "calibrationTable");
        QCOMPARE(table->rowCount(), runs);
        const auto best = [table](const char* row) {
            for (int c = 0; c < table->columnCount(); ++c)
                if (table->horizontalHeaderItem(c)->text() == settingNamed(row).labelWithUnit())
                    return table->item(0, c)->text();
            return QString();
        };
        child<QPushButton>(dialog, "useBestSettings")->click();
        QCOMPARE(child<QComboBox>(dialog, "maxAngle")->currentText(), best("maxDeviationAngle"));
        QCOMPARE(child<QComboBox>(dialog, "probabilityClass")->currentText(), best("probabilityClass"));
    }

    void forestAndBarriersReachTheRun_data()
    {
        QTest::addColumn<QString>("forest");
        QTest::addColumn<QString>("barriers");
        QTest::addColumn<bool>("seeded");
        QTest::newRow("forest polygons, unseeded: refused") << "forest.gpkg" << "" << false;
        QTest::newRow("barriers, seeded: their table") << "" << "barriers.gpkg" << true;
    }

    // Each file shows its field row and reaches the run, which needs a seed.
    void forestAndBarriersReachTheRun()
    {
        QFETCH(QString, forest);
        QFETCH(QString, barriers);
        QFETCH(bool, seeded);
        tumbraMainDialog dialog;
        boxRecorder boxes(dialog);
        dialog.show();
        fillValidRun(dialog, "10");
        typePath(dialog, "forestFile", forest.isEmpty() ? forest : EXAMPLES_DIR "/" + forest);
        typePath(dialog, "barriersFile", barriers.isEmpty() ? barriers : EXAMPLES_DIR "/" + barriers);
        QCOMPARE(child<QLineEdit>(dialog, "forestField")->isVisible(), !forest.isEmpty());
        QCOMPARE(child<QLineEdit>(dialog, "barrierCapacityField")->isVisible(), !barriers.isEmpty());
        child<QCheckBox>(dialog, "reproducible")->setChecked(seeded);
        child<QCheckBox>(dialog, "intensity")->setChecked(true);
        child<QDoubleSpinBox>(dialog, "blockVolume")->setValue(1.0);
        QSignalSpy ended(&dialog, &tumbraMainDialog::runFinished);
        child<QPushButton>(dialog, "runProcess")->click();
        if (!seeded) {
            QCOMPARE(boxes.errors.size(), 1);
            QVERIFY2(boxes.errors[0].contains("\"Reproducible\""), qPrintable(boxes.errors[0]));
            return;
        }
        QVERIFY(waitForRunEnd(ended));
        QCOMPARE(ended.value(0).value(0).toInt(), 0);
        QVERIFY(runDir().exists("barriers.csv") && runDir().exists("Reach_prob_unprotected.asc"));
    }

    // A run's folder is named by its settings and time, without a character
    // that file systems refuse.
    void runFolderNameCarriesSettingsAndTime_data()
    {
        QTest::addColumn<QString>("simulationsAndAngle");
        QTest::addColumn<double>("segmentLength");
        QTest::addColumn<QDateTime>("time");
        QTest::addColumn<QString>("name");
        const QDateTime time(QDate(2026, 12, 5), QTime(5, 24, 21, 987));
        QTest::newRow("whole length") << "100 25" << 5.0 << time << "100sims_25deg_5m_2026-12-05T052421";
        QTest::newRow("fraction") << "10 5" << 2.5 << time << "10sims_5deg_2.5m_2026-12-05T052421";
        QTest::newRow("smallest length") << "1 45" << 0.1 << time << "1sims_45deg_0.1m_2026-12-05T052421";
        QTest::newRow("largest length") << "1000 5" << 100.0 << time << "1000sims_5deg_100m_2026-12-05T052421";
        QTest::newRow("texts that are no integers") << "22.5 " << 5.0 << time << "0sims_0deg_5m_2026-12-05T052421";
        QTest::newRow("UTC") << "1 5" << 5.0 << QDateTime(QDate(1999, 1, 2), QTime(23, 0, 9), Qt::UTC)
                             << "1sims_5deg_5m_1999-01-02T230009Z";
    }

    void runFolderNameCarriesSettingsAndTime()
    {
        QFETCH(QString, simulationsAndAngle);
        QFETCH(double, segmentLength);
        QFETCH(QDateTime, time);
        QFETCH(QString, name);
        const QStringList texts = simulationsAndAngle.split(' ');
        QCOMPARE(runFolderName(texts.at(0), texts.at(1), segmentLength, time), name);
    }
};

QTEST_MAIN(tst_mainDialog)
#include "tst_mainDialog.moc"

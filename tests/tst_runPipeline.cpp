#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "controller/tumbraController.h"
#include "tests/runScratch.h"

namespace {

const QByteArray header = "ncols 5\nnrows 4\nxllcorner 600000\nyllcorner 150000\ncellsize 2\nNODATA_value -9999\n";
const QByteArray flatDem = header + "100 100 100 100 100\n100 100 100 100 100\n100 100 100 100 100\n"
                                    "100 100 100 100 100\n";
const QByteArray oneStartCell = header + "0 0 0 0 0\n0 0 1 0 0\n0 0 0 0 0\n0 0 0 0 0\n";

const QByteArray writtenHeader = "ncols 5\nnrows 4\nxllcorner 600000.000000\nyllcorner 150000.000000\n"
                                 "cellsize 2.000000\nNODATA_value -9999.000000";

}  // namespace

// Whole runs through the controller, on small grids whose results are known:
// on flat ground no trajectory leaves its start cell.
class tst_runPipeline : public QObject
{
    Q_OBJECT

    runScratch scratch_;

    void prepare(tumbraController& controller, const QByteArray& start = oneStartCell)
    {
        QVERIFY(scratch_.prepare(controller, flatDem, start));
    }

private slots:
    void init() { QVERIFY(scratch_.open()); }
    void cleanup() { scratch_.close(); }

    void completedRunWritesExactFiles()
    {
        tumbraController controller;
        prepare(controller);
        controllerRecorder recorder(controller);

        controller.runProcess();

        QCOMPARE(recorder.events, (QStringList{"init:10", "reset", "done:0", "message:Done."}));
        QCOMPARE(recorder.progress, (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
        QCOMPARE(readTextFile(QStringLiteral("N.asc")),
                 writtenHeader + "\n0 0 0 0 0\n0 0 10 0 0\n0 0 0 0 0\n0 0 0 0 0");
        QCOMPARE(readTextFile(QStringLiteral("Reach_prob.asc")),
                 writtenHeader
                     + "\n0.0 0.0 0.0 0.0 0.0\n0.0 0.0 100.0 0.0 0.0\n0.0 0.0 0.0 0.0 0.0\n0.0 0.0 0.0 0.0 0.0");
        QVERIFY(!QFileInfo::exists(QStringLiteral("trajectory_points.txt")));

        const QList<QByteArray> log = readTextFile(QStringLiteral("log.txt")).split('\n');
        QVERIFY(log.value(0).startsWith("Tumbra 1.0 - Analysis completed on "));
        QVERIFY(log.value(1).startsWith("(started "));
        QCOMPARE(log.value(5),
                 QByteArray("(nrows: 4; ncols: 5; xllcorner: 600000.0; yllcorner: 150000.0; cellsize: 2.0)"));
        QCOMPARE(log.value(8), QByteArray("\tNumber of simulations: 10"));
        QVERIFY(log.contains(("Results written to folder " + QDir::currentPath()).toUtf8()));
        const int summary = log.indexOf("Run summary:");
        QCOMPARE(log.mid(summary, 4), (QList<QByteArray>{"Run summary:", "\tStart cells: 1", "\tTrajectories: 10",
                                                         "\tCells reached: 1"}));

        const resultViewData view = controller.resultView();
        QCOMPARE(view.nrows, 4);
        QCOMPARE(view.ncols, 5);
        QCOMPARE(view.displayGrid(1, 2), -255);
        QCOMPARE(view.displayGrid(0, 0), 127);
    }

    // The abort ends the run after aggregation; no file is begun.
    void abortedRunWritesNothing()
    {
        tumbraController controller;
        prepare(controller);
        controllerRecorder recorder(controller);
        QStringList phases;
        connect(&controller, &tumbraController::phaseProgress, &controller,
                [&phases](const QString& phase, int) {
                    if (phases.isEmpty() || phases.last() != phase)
                        phases << phase;
                },
                Qt::DirectConnection);
        connect(&controller, &tumbraController::setProgressBar, &controller,
                [&controller] { controller.requestAbort(); }, Qt::DirectConnection);

        controller.runProcess();

        QCOMPARE(recorder.events, (QStringList{"init:10", "reset", "done:2",
                                               "message:Process aborted by user. No files saved."}));
        QVERIFY(recorder.progress.size() < 10);
        QVERIFY(QDir::current().entryList(QDir::Files).isEmpty());
        QVERIFY(!controller.isRunning());
        QCOMPARE(phases.last(), QStringLiteral("Aggregating results"));
        QVERIFY(!phases.join(QLatin1Char(' ')).contains(QStringLiteral("Writing")));
    }

    void inconsistentRastersEndWithCodeOne()
    {
        tumbraController controller;
        prepare(controller, "ncols 6\nnrows 3\nxllcorner 600000\nyllcorner 150000\ncellsize 2\nNODATA_value -9999\n"
                            "0 0 0 0 0 0\n0 0 1 0 0 0\n0 0 0 0 0 0\n");
        controllerRecorder recorder(controller);

        controller.runProcess();

        QCOMPARE(recorder.events.mid(1), (QStringList{"reset", "done:1", "message:Done with errors."}));
        QVERIFY(recorder.events[0].startsWith("error:Inconsistent number of columns in data! Inconsistent number of "
                                              "rows in data!\nDEM "));
        QVERIFY(recorder.events[0].contains(": 4 rows, 5 columns") && recorder.events[0].contains(": 3 rows, 6 columns"));
        QVERIFY(QDir::current().entryList(QDir::Files).isEmpty());
    }

    void unopenableOutputIsSkippedWithAWarningBox()
    {
        QVERIFY(QDir::current().mkdir(QStringLiteral("N.asc")));
        tumbraController controller;
        prepare(controller);
        controllerRecorder recorder(controller);

        controller.runProcess();

        QCOMPARE(recorder.events.first(), QStringLiteral("init:10"));
        QCOMPARE(recorder.events.at(1),
                 QStringLiteral("box:Error when writing file N.asc: please check write permissions."));
        QCOMPARE(recorder.events.mid(2), (QStringList{"reset", "done:0", "message:Done."}));
        QVERIFY(QFileInfo(QStringLiteral("N.asc")).isDir());
        QVERIFY(QFileInfo::exists(QStringLiteral("Reach_prob.asc")));
        QVERIFY(QFileInfo::exists(QStringLiteral("log.txt")));
    }

    void secondRunReplacesTheFirstRunsResults()
    {
        tumbraController controller;
        prepare(controller);
        controller.runProcess();
        controller.setNumberOfSimulations(3);
        QSignalSpy done(&controller, &tumbraController::done);
        controller.runProcess();
        QCOMPARE(done.count(), 1);
        QCOMPARE(done.first().first().toInt(), 0);
        QVERIFY(readTextFile(QStringLiteral("N.asc")).endsWith("\n0 0 0 0 0\n0 0 3 0 0\n0 0 0 0 0\n0 0 0 0 0"));
    }

    void unknownProbabilityClassWithoutEarlierStrategyFails()
    {
        tumbraController controller;
        prepare(controller);
        controller.setRiskIntensity(7);
        controllerRecorder recorder(controller);

        controller.runProcess();

        QCOMPARE(recorder.events, (QStringList{"error:Unknown propagation probability class 7.", "reset", "done:1",
                                               "message:Done with errors."}));

        // once a class was chosen, an unknown one keeps the earlier strategy
        controller.setRiskIntensity(2);
        controller.runProcess();
        controller.setRiskIntensity(-1);
        QSignalSpy done(&controller, &tumbraController::done);
        controller.runProcess();
        QCOMPARE(done.first().first().toInt(), 0);
    }

    // With trajectories asked for: phases come in a run's order, each starts
    // at 0, rises and ends at 100, beside the window's unchanged signals; and
    // every start point lies inside the start cell (row 1, column 2).
    void trajectoryRunReportsEveryPhaseAndWritesThePoints()
    {
        tumbraController controller;
        prepare(controller);
        controller.setSaveTrajectories(true);
        controllerRecorder recorder(controller);
        QList<QPair<QString, int>> reports;
        connect(&controller, &tumbraController::phaseProgress, &controller,
                [&reports](const QString& phase, int percent) { reports.append({phase, percent}); },
                Qt::DirectConnection);

        controller.runProcess();

        QCOMPARE(recorder.events, (QStringList{"init:10", "reset", "done:0", "message:Done."}));
        QStringList phases;
        for (const auto& report : reports) {
            if (phases.isEmpty() || phases.last() != report.first) {
                QVERIFY2(!phases.contains(report.first), qPrintable(report.first));
                QCOMPARE(report.second, 0);
                phases << report.first;
            }
        }
        QCOMPARE(phases, (QStringList{"Reading the elevation model", "Deriving slope directions and relief",
                                      "Reading start cells", "Simulating", "Aggregating results", "Writing N.asc",
                                      "Writing Reach_prob.asc", "Writing trajectory_points.txt", "Writing log.txt"}));
        for (int i = 1; i < reports.size(); ++i) {
            if (reports.at(i).first == reports.at(i - 1).first)
                QVERIFY(reports.at(i).second > reports.at(i - 1).second);
            else
                QCOMPARE(reports.at(i - 1).second, 100);
        }
        QCOMPARE(reports.last().second, 100);

        const QList<QByteArray> lines = readTextFile(QStringLiteral("trajectory_points.txt")).split('\n');
        QCOMPARE(lines.size(), 2 + 10);
        QCOMPARE(lines.at(0), QByteArray("All trajectories"));
        QCOMPARE(lines.at(1), QByteArray("#\tx\ty\tz"));
        for (int i = 0; i < 10; ++i) {
            const QList<QByteArray> fields = lines.at(2 + i).split('\t');
            QCOMPARE(fields.size(), 4);
            QCOMPARE(fields.at(3), QByteArray("100.0"));
            QVERIFY(fields.at(1).toDouble() >= 600004.0 && fields.at(1).toDouble() <= 600006.0);
            QVERIFY(fields.at(2).toDouble() >= 150004.0 && fields.at(2).toDouble() <= 150006.0);
        }
    }
};

QTEST_GUILESS_MAIN(tst_runPipeline)
#include "tst_runPipeline.moc"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "controller/tumbraController.h"
#include "tests/controllerRecorder.h"

// The controller on its own: settings, file setters and how failing runs end.
class tst_controller : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString demPath_;
    QString startPath_;

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        demPath_ = dir_.filePath(QStringLiteral("dem.asc"));
        startPath_ = dir_.filePath(QStringLiteral("start.asc"));
        QVERIFY(writeTextFile(demPath_, "ncols 3\nnrows 3\nxll 0\nyll 0\ncellsize 1\nNODATA_value -9999\n"
                                        "1 1 1\n1 1 1\n1 1 1"));
        QVERIFY(writeTextFile(startPath_, "ncols 3\nnrows 3\nxll 0\nyll 0\ncellsize 1\nNODATA_value -9999\n"
                                          "0 0 0\n0 0 0\n0 0 0"));
        QVERIFY(writeTextFile(dir_.filePath(QStringLiteral("dem.png")), "\x89PNG"));
        QVERIFY(writeTextFile(dir_.filePath(QStringLiteral("dem.png")), "png"));
    }

    void defaultsMatchTheDialogsFirstStart()
    {
        tumbraController controller;
        QCOMPARE(controller.straightDistance(), 10.0);
        QCOMPARE(controller.numberOfSimulations(), 100);
        QCOMPARE(controller.maxDeviationAngle(), 22);
        QCOMPARE(controller.profileStep(), 1.0);
        QCOMPARE(controller.riskIntensity(), 0);
        QCOMPARE(controller.initialFallHeight(), 0.0);
        QCOMPARE(controller.saveTrajectories(), false);
        QCOMPARE(controller.isRunning(), false);
        QCOMPARE(controller.fileType(), 0);
    }

    // Only regular files are taken, and a refused one keeps the earlier; the
    // DEM's file type follows its suffix (-1: refused).
    void fileSettersTakeRegularFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("type");
        QTest::newRow("asc") << "a.asc" << 1;
        QTest::newRow("capitals") << "b.ASC" << 1;
        QTest::newRow("txt") << "c.Txt" << 1;
        QTest::newRow("tif") << "d.tif" << 2;
        QTest::newRow("other") << "e.png" << 0;
        QTest::newRow("none") << "f" << 0;
        QTest::newRow("folder") << "folder.asc/" << -1;
        QTest::newRow("missing") << "missing.asc" << -1;
    }

    void fileSettersTakeRegularFiles()
    {
        QFETCH(QString, name);
        QFETCH(int, type);
        const QString path = dir_.filePath(name);
        if (name.endsWith('/'))
            QVERIFY(QDir().mkpath(path));
        else if (type >= 0)
            QVERIFY(writeTextFile(path, "x"));
        tumbraController controller;
        QVERIFY(controller.setDigitalElevationModel(demPath_));
        QVERIFY(controller.setStartCellsFile(startPath_));
        QCOMPARE(controller.setDigitalElevationModel(path), type >= 0);
        QCOMPARE(controller.setStartCellsFile(path), type >= 0);
        QCOMPARE(controller.digitalElevationModel(), type >= 0 ? path : demPath_);
        QCOMPARE(controller.startCellsFile(), type >= 0 ? path : startPath_);
        QCOMPARE(controller.fileType(), type >= 0 ? type : 1);
    }

    void failingRunEndsWithResetDoneAndMessage_data()
    {
        QTest::addColumn<QString>("dem");
        QTest::addColumn<QString>("start");
        QTest::addColumn<double>("profileStep");
        QTest::addColumn<QStringList>("expected");

        const QString png = dir_.filePath(QStringLiteral("dem.png"));
        QTest::newRow("no dem file set")
            << QString() << startPath_ << 1.0
            << QStringList{"error:No file name provided!", "reset", "done:1", "message:Done with errors."};
        QTest::newRow("png dem")
            << png << startPath_ << 1.0
            << QStringList{QStringLiteral("error:The file type of DEM %1 is not supported. Supported are ESRI ASCII "
                                          "grids with the suffix .asc or .txt and GeoTIFF files with the suffix "
                                          ".tif or .tiff.")
                               .arg(png),
                           "reset", "done:1", "message:Done with errors."};
        QTest::newRow("zero profile step")
            << demPath_ << startPath_ << 0.0
            << QStringList{"error:The profile step must be greater than 0.", "reset", "done:1",
                           "message:Done with errors."};
        QTest::newRow("no start cells")
            << demPath_ << startPath_ << 1.0
            << QStringList{"warning:" + QStringLiteral("Undefined or unknown spatial reference in file %1! Using "
                                                       "'corner' as default.")
                                            .arg(demPath_),
                           "error:No start cells found. Aborting.", "reset", "done:1", "message:Done with errors."};
    }

    void failingRunEndsWithResetDoneAndMessage()
    {
        QFETCH(QString, dem);
        QFETCH(QString, start);
        QFETCH(double, profileStep);
        QFETCH(QStringList, expected);

        tumbraController controller;
        if (!dem.isEmpty())
            QVERIFY(controller.setDigitalElevationModel(dem));
        QVERIFY(controller.setStartCellsFile(start));
        controller.setProfileStep(profileStep);
        controllerRecorder recorder(controller);
        QSignalSpy done(&controller, &tumbraController::done);

        controller.runProcess();

        QCOMPARE(recorder.events, expected);
        QCOMPARE(done.count(), 1);
        QVERIFY(!controller.isRunning());
    }

    void progressValueStaysWithinAnInt()
    {
        QCOMPARE(tumbraController::progressValue(5, 10), 5);
        QCOMPARE(tumbraController::progressValue(2147483647ull, 2147483647ull), 2147483647);
        const uint64_t total = 1000ull * 3000000ull;
        const int maximum = tumbraController::progressValue(total, total);
        QVERIFY(maximum > 0);
        QCOMPARE(tumbraController::progressValue(0, total), 0);
        QVERIFY(tumbraController::progressValue(total / 2, total) <= maximum / 2 + 1);
        QVERIFY(tumbraController::progressValue(total - 1, total) <= maximum);
    }
};

QTEST_GUILESS_MAIN(tst_controller)
#include "tst_controller.moc"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include "controller/tumbraController.h"
#include "tests/controllerRecorder.h"
#include "widgets/updatableLineEdit.h"

// The current directory is shared by the whole process: a path field that
// switched it while validating could send a running run's files elsewhere.
class tst_workingDirectory : public QObject
{
    Q_OBJECT

    QTemporaryDir scratch_;
    QString startDir_;

    QString scratchPath(const QString& name) const { return QDir(scratch_.path()).canonicalPath() + '/' + name; }

private slots:
    void initTestCase()
    {
        QVERIFY(scratch_.isValid());
        startDir_ = QDir::currentPath();
        QDir scratch(scratch_.path());
        QVERIFY(scratch.mkpath("reference/out") && scratch.mkdir("run") && scratch.mkdir("elsewhere"));
        QVERIFY(writeTextFile(scratchPath("reference/dem.asc"), "ncols 1\n"));
    }
    void cleanup() { QDir::setCurrent(startDir_); }

    void validationLeavesCurrentDirectory_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("mustBeDirectory");
        QTest::addColumn<bool>("valid");
        QTest::newRow("file") << "dem.asc" << false << true;
        QTest::newRow("folder") << "out" << true << true;
        QTest::newRow("through a sub-folder") << "out/../dem.asc" << false << true;
        QTest::newRow("missing") << "missing.asc" << false << false;
    }

    // A current directory that has been removed cannot be gone back to, so a
    // validation that switched directories would be left in the reference one.
    void validationLeavesCurrentDirectory()
    {
        QFETCH(QString, text);
        QFETCH(bool, mustBeDirectory);
        QFETCH(bool, valid);
        QVERIFY(QDir().mkpath(scratchPath("gone")) && QDir::setCurrent(scratchPath("gone")));
        if (!QDir().rmdir(scratchPath("gone")))
            QSKIP("this system keeps the current directory from being removed");

        updatableLineEdit edit;
        edit.setMustBeDirectory(mustBeDirectory);
        edit.setBaseDir(scratchPath("reference"));
        edit.setText(text);
        QCOMPARE(edit.isValid(), valid);
        QCOMPARE(edit.absoluteFilePath(), QDir::cleanPath(scratchPath("reference/" + text)));
        QCOMPARE(QDir::currentPath(), QString());
    }

    void runWritesIntoItsFolderWhenCurrentDirectoryChanges()
    {
        const QString golden = QStringLiteral(TEST_DATA_DIR "/golden/slope/");
        tumbraController controller;
        QVERIFY(controller.setDigitalElevationModel(golden + "dem.asc"));
        QVERIFY(controller.setStartCellsFile(golden + "start_cells.asc"));
        controller.setNumberOfSimulations(1);
        controller.setSaveTrajectories(true);
        controllerRecorder recorder(controller);
        QObject::connect(
            &controller, &tumbraController::initProgressBar, &controller,
            [this] { QVERIFY(QDir::setCurrent(scratchPath("elsewhere"))); }, Qt::DirectConnection);

        QVERIFY(QDir::setCurrent(scratchPath("run")));
        controller.runProcess();

        QVERIFY2(recorder.events.contains("done:0"), qPrintable(recorder.events.join('\n')));
        QCOMPARE(QDir(scratchPath("elsewhere")).entryList(QDir::Files), QStringList());
        QCOMPARE(QDir(scratchPath("run")).entryList(QDir::Files, QDir::Name),
                 QStringList({"N.asc", "Reach_prob.asc", "log.txt", "trajectory_points.txt"}));
        QVERIFY(readTextFile(scratchPath("run/log.txt")).contains(("folder " + scratchPath("run")).toUtf8()));
    }
};

QTEST_MAIN(tst_workingDirectory)
#include "tst_workingDirectory.moc"

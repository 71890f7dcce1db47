#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>

#include "tests/controllerRecorder.h"
#include "tests/dialogDriver.h"

namespace {
const QByteArray header = "ncols 5\nnrows 4\nxllcorner 600000\nyllcorner 150000\ncellsize 2\nNODATA_value -9999\n";
const QByteArray wideHeader = "ncols 6\nnrows 4\nxllcorner 600000\nyllcorner 150000\ncellsize 2\nNODATA_value -9\n";
}  // namespace

// Runs that do not complete say so, and leave nothing behind that looks like a result.
class tst_honestOutcomes : public QObject
{
    Q_OBJECT

    scratchSettingsStore store_;
    QTemporaryDir dir_;

    QString path(const QString& name) const { return QDir(dir_.path()).filePath(name); }

    int runBatch(const QString& dem, const QString& start, const QString& output, QByteArray* err = nullptr)
    {
        QProcess process;
        process.start(TUMBRA_RUN_EXECUTABLE,
                      {"--dem", path(dem), "--start", path(start), "--output", output, "--overwrite"});
        const bool finished = process.waitForFinished(120000);
        if (err)
            *err = process.readAllStandardError();
        return finished ? process.exitCode() : -1;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        QVERIFY(writeTextFile(path("dem.asc"), header + QByteArray("9 8 7 6 5\n").repeated(4)));
        QVERIFY(writeTextFile(path("start.asc"), header + "0 1 0 0 0\n" + QByteArray("0 0 0 0 0\n").repeated(3)));
        QVERIFY(writeTextFile(path("wide.asc"), wideHeader + QByteArray("0 1 0 0 0 0\n").repeated(4)));
        QVERIFY(writeTextFile(path("none.asc"), header + QByteArray("0 0 0 0 0\n").repeated(4)));
        QVERIFY(writeTextFile(path("bad.asc"), "ncols five\n"));
    }

    void batchRunFailsForAFileNotWritten()
    {
        QVERIFY(QDir().mkpath(path("blocked/N.asc")));  // a folder in the way of the file
        QByteArray err;
        QCOMPARE(runBatch("dem.asc", "start.asc", path("blocked"), &err), 1);
        QVERIFY2(err.contains("were not written") && err.contains("N.asc"), err.constData());
    }

    void failedRunLeavesNoEmptyFolder_data()
    {
        QTest::addColumn<bool>("window");
        QTest::addColumn<QString>("dem");
        QTest::addColumn<QString>("start");
        QTest::newRow("window, sizes differ") << true << "dem.asc"
                                              << "wide.asc";
        QTest::newRow("window, no start cells") << true << "dem.asc"
                                                << "none.asc";
        QTest::newRow("window, unreadable DEM") << true << "bad.asc"
                                                << "start.asc";
        QTest::newRow("window, stopped") << true << EXAMPLES_DIR "/dem.asc" << EXAMPLES_DIR "/start_cells.asc";
        QTest::newRow("batch, sizes differ") << false << "dem.asc"
                                             << "wide.asc";
        QTest::newRow("batch, no start cells") << false << "dem.asc"
                                               << "none.asc";
    }

    void failedRunLeavesNoEmptyFolder()
    {
        QFETCH(bool, window);
        QFETCH(QString, dem);
        QFETCH(QString, start);
        const QString out = path(QString::fromLatin1(QTest::currentDataTag()).replace(',', '_'));
        if (!window) {
            QCOMPARE(runBatch(dem, start, out), 1);
            QVERIFY(!QFileInfo::exists(out));
            return;
        }
        const bool stop = dem.startsWith('/');
        QVERIFY(QDir().mkpath(out));
        tumbraMainDialog dialog;
        boxRecorder boxes(dialog);
        dialog.show();
        typePath(dialog, "workingDirectory", out);
        typePath(dialog, "digitalElevationModel", path(dem));
        typePath(dialog, "startRaster", path(start));
        child<QComboBox>(dialog, "numberOfSimulations")->setCurrentText(stop ? "1000" : "1");
        child<QPushButton>(dialog, "runProcess")->click();  // the window makes its run folder inside `out`
        if (stop) {
            QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>(dialog, "stopProcess")->isVisible(), 60000);
            child<QPushButton>(dialog, "stopProcess")->click();
        }
        QVERIFY(waitForRunEnd(dialog));
        QCOMPARE(QDir(out).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
        QVERIFY(logText(dialog).endsWith(stop ? "\nProcess aborted by user. No files saved." : "\nDone with errors."));
    }
};

QTEST_MAIN(tst_honestOutcomes)
#include "tst_honestOutcomes.moc"

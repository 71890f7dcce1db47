#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "tests/fuzz/readerExercise.h"

// Every input the grid reader fuzzers ever broke on, and their seed corpora,
// through the same checks the fuzzers make.
class tst_fuzzRegressions : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;

private slots:
    void keptInputsHoldEveryCheck_data()
    {
        QTest::addColumn<QString>("path");
        const QDir fuzz(QStringLiteral(TEST_DATA_DIR "/../fuzz"));
        QVERIFY2(!QDir(fuzz.filePath("corpus")).isEmpty(), "the seed corpus is missing");
        for (const char* folder : {"regressions", "corpus", "regressions-geotiff", "corpus-geotiff"})
            for (const QFileInfo& file : QDir(fuzz.filePath(folder)).entryInfoList(QDir::Files, QDir::Name))
                if (file.fileName() != QLatin1String("README.md"))
                    QTest::addRow("%s/%s", folder, qPrintable(file.fileName())) << file.filePath();
    }

    void keptInputsHoldEveryCheck()
    {
        QFETCH(QString, path);
        QFile file(path);
        QVERIFY(dir_.isValid() && file.open(QIODevice::ReadOnly));
        const QString failure =
            path.contains(QLatin1String("geotiff/"))
                ? readerExercise::exerciseGeoTiff(file.readAll())
                : readerExercise::exerciseReaders(dir_.filePath(QStringLiteral("input.asc")), file.readAll());
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
    }
};

QTEST_GUILESS_MAIN(tst_fuzzRegressions)
#include "tst_fuzzRegressions.moc"

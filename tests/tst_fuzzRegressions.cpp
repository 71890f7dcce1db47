#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "tests/fuzz/readerExercise.h"

namespace {

QDir fuzzDir() { return QDir(QDir::cleanPath(QStringLiteral(TEST_DATA_DIR "/../fuzz"))); }

const char* const keptInputFolders[] = {"regressions", "corpus"};

}  // namespace

// Every input the grid reader fuzzer ever broke on, and its seed corpus,
// through the same checks the fuzzer makes.
class tst_fuzzRegressions : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir_;

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        QVERIFY2(!QDir(fuzzDir().filePath(QStringLiteral("corpus"))).isEmpty(), "the seed corpus is missing");
    }

    void keptInputsHoldEveryCheck_data()
    {
        QTest::addColumn<QString>("path");
        for (const char* folder : keptInputFolders) {
            const QDir inputs(fuzzDir().filePath(QString::fromLatin1(folder)));
            for (const QFileInfo& file : inputs.entryInfoList(QDir::Files, QDir::Name))
                if (file.fileName() != QLatin1String("README.md"))
                    QTest::addRow("%s/%s", folder, qPrintable(file.fileName())) << file.filePath();
        }
    }

    void keptInputsHoldEveryCheck()
    {
        QFETCH(QString, path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString failure =
            readerExercise::exerciseReaders(dir_.filePath(QStringLiteral("input.asc")), file.readAll());
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
    }
};

QTEST_GUILESS_MAIN(tst_fuzzRegressions)
#include "tst_fuzzRegressions.moc"

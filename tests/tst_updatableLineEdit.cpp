#include <QColor>
#include <QDir>
#include <QFile>
#include <QPalette>
#include <QTemporaryDir>
#include <QTest>

#include "widgets/updatableLineEdit.h"

// A reference directory with a file "dem.asc" and a sub-folder "out", and a
// second one without either.
class tst_updatableLineEdit : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir reference;
    QTemporaryDir elsewhere;
    QString startDirectory;

private slots:
    void initTestCase()
    {
        QVERIFY(reference.isValid());
        QVERIFY(elsewhere.isValid());
        QFile file(reference.filePath("dem.asc"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QVERIFY(QDir(reference.path()).mkdir("out"));
        startDirectory = QDir::currentPath();
    }

    void init()
    {
        // A failing case must not leave the next one in a different directory.
        QDir::setCurrent(startDirectory);
    }

    void validation_data()
    {
        QTest::addColumn<bool>("mustBeDirectory");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("useReference");
        QTest::addColumn<bool>("valid");

        // Texts starting with '@' stand for the reference directory's path.
        QTest::newRow("file mode: empty") << false << "" << true << false;
        QTest::newRow("dir mode: empty") << true << "" << true << false;
        QTest::newRow("file mode: relative file") << false << "dem.asc" << true << true;
        QTest::newRow("file mode: absolute file") << false << "@/dem.asc" << false << true;
        QTest::newRow("file mode: existing dir") << false << "out" << true << false;
        QTest::newRow("file mode: missing") << false << "missing.asc" << true << false;
        QTest::newRow("dir mode: relative dir") << true << "out" << true << true;
        QTest::newRow("dir mode: dot") << true << "." << true << true;
        QTest::newRow("dir mode: absolute dir") << true << "@" << false << true;
        QTest::newRow("dir mode: existing file") << true << "dem.asc" << true << false;
        QTest::newRow("dir mode: missing") << true << "nowhere" << true << false;
    }

    void validation()
    {
        QFETCH(bool, mustBeDirectory);
        QFETCH(QString, text);
        QFETCH(bool, useReference);
        QFETCH(bool, valid);

        updatableLineEdit edit;
        edit.setMustBeDirectory(mustBeDirectory);
        edit.setBaseDir(useReference ? reference.path() : elsewhere.path());
        edit.setText(text.replace('@', reference.path()));

        QCOMPARE(edit.isValid(), valid);
        QCOMPARE(edit.palette().color(QPalette::Active, QPalette::Text),
                 valid ? QColor(Qt::black) : QColor(Qt::red));
        QCOMPARE(QDir::currentPath(), startDirectory);
    }

    // A missing or empty reference directory judges against the current one.
    void referenceDirectoryChangeRevalidates()
    {
        updatableLineEdit edit;
        QVERIFY(!edit.isValid());
        edit.setText("dem.asc");
        QVERIFY(!edit.hasBaseDir());
        QVERIFY(!edit.isValid());
        edit.setBaseDir(reference.path());
        QVERIFY(edit.isValid());
        QVERIFY(edit.hasBaseDir());

        edit.setBaseDir(elsewhere.path());
        QVERIFY(!edit.isValid());
        QCOMPARE(edit.palette().color(QPalette::Active, QPalette::Text), QColor(Qt::red));
        QCOMPARE(QDir::currentPath(), startDirectory);

        edit.setBaseDir(reference.filePath("no such folder"));
        QVERIFY(!edit.isValid());
        QVERIFY(QDir::setCurrent(reference.path()));
        edit.updateColor();
        QVERIFY(edit.isValid());
        QCOMPARE(QDir::currentPath(), QDir(reference.path()).canonicalPath());

        edit.setBaseDir(elsewhere.path());
        edit.setBaseDir(QString());
        QVERIFY(edit.isValid());
        QCOMPARE(QDir::currentPath(), QDir(reference.path()).canonicalPath());
    }

    void absoluteFilePathResolvesAgainstReference_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("useReference");
        QTest::addColumn<QString>("expected");

        // '@' stands for the reference directory, '%' for the test's start directory.
        QTest::newRow("relative, existing") << "dem.asc" << true << "@/dem.asc";
        QTest::newRow("relative, not existing") << "sub/new.asc" << true << "@/sub/new.asc";
        QTest::newRow("absolute text ignores reference") << "@/out" << false << "@/out";
        QTest::newRow("empty reference: current directory") << "a.asc" << false << "%/a.asc";
    }

    void absoluteFilePathResolvesAgainstReference()
    {
        QFETCH(QString, text);
        QFETCH(bool, useReference);
        QFETCH(QString, expected);

        // The temporary folder may sit behind a symbolic link; the resolved path is
        // the one the system reports once the folder is current.
        QVERIFY(QDir::setCurrent(reference.path()));
        const QString referencePath = QDir::currentPath();
        QVERIFY(QDir::setCurrent(startDirectory));

        updatableLineEdit edit;
        edit.setBaseDir(useReference ? reference.path() : QString());
        edit.setText(text.replace('@', referencePath));

        QCOMPARE(edit.absoluteFilePath(),
                 expected.replace('@', referencePath).replace('%', startDirectory));
        QCOMPARE(QDir::currentPath(), startDirectory);
    }

    void onlyActiveTextColourChanges()
    {
        updatableLineEdit edit;
        QPalette colours = edit.palette();
        const QColor inactive(10, 20, 30);
        const QColor disabled(40, 50, 60);
        colours.setColor(QPalette::Inactive, QPalette::Text, inactive);
        colours.setColor(QPalette::Disabled, QPalette::Text, disabled);
        edit.setPalette(colours);

        edit.setBaseDir(reference.path());
        edit.setText("dem.asc");
        QCOMPARE(edit.palette().color(QPalette::Active, QPalette::Text), QColor(Qt::black));
        edit.setText("gone.asc");
        QCOMPARE(edit.palette().color(QPalette::Active, QPalette::Text), QColor(Qt::red));

        QCOMPARE(edit.palette().color(QPalette::Inactive, QPalette::Text), inactive);
        QCOMPARE(edit.palette().color(QPalette::Disabled, QPalette::Text), disabled);
    }
};

QTEST_MAIN(tst_updatableLineEdit)
#include "tst_updatableLineEdit.moc"

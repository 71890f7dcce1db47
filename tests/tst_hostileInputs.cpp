#include <limits>

#include <QDir>
#include <QStringEncoder>
#include <QTest>

#include "controller/runMemory.h"
#include "controller/tumbraController.h"
#include "tests/runScratch.h"

namespace {

QByteArray gridHeader(const QByteArray& ncols, const QByteArray& nrows, const QByteArray& cellsize = "2")
{
    return "ncols " + ncols + "\nnrows " + nrows + "\nxllcorner 600000\nyllcorner 150000\ncellsize " + cellsize
           + "\nNODATA_value -9999\n";
}

const QByteArray header = gridHeader("5", "4");
const QByteArray demRows = "100 100 100 100 100\n100 100 100 100 100\n100 100 100 100 100\n100 100 100 100 100\n";
const QByteArray startRows = "0 0 0 0 0\n0 0 1 0 0\n0 0 0 0 0\n0 0 0 0 0\n";
const QByteArray goodDem = header + demRows;
const QByteArray goodStart = header + startRows;

// A PNG's signature and first chunk, and bytes that follow no pattern.
const QByteArray pngFile = QByteArray::fromHex("89504e470d0a1a0a0000000d49484452000000100000001008060000001ff3ff61");
QByteArray noiseBytes()
{
    QByteArray bytes;
    quint32 state = 12345;
    for (int i = 0; i < 600; ++i) {
        state = state * 1103515245u + 12345u;
        bytes += char(state >> 24);
    }
    return bytes;
}

const QStringList failedEnd = {"reset", "done:1", "message:Done with errors."};

}  // namespace

// Whole runs through the controller on inputs that are broken, hostile or
// merely unusual: each ends with a clear error and code 1 and writes nothing,
// or reads normally.
class tst_hostileInputs : public QObject
{
    Q_OBJECT

    runScratch scratch_;

    QStringList run(const QByteArray& dem, const QByteArray& start)
    {
        tumbraController controller;
        // An input the controller refuses is part of what is tested: the run reports it.
        static_cast<void>(scratch_.prepare(controller, dem, start));
        controllerRecorder recorder(controller);
        controller.runProcess();
        return recorder.events;
    }

    // Expected events name the inputs as %dem and %start.
    QStringList expand(QStringList events) const
    {
        for (QString& event : events)
            event.replace(QLatin1String("%dem"), scratch_.demPath()).replace(QLatin1String("%start"),
                                                                             scratch_.startPath());
        return events;
    }

private slots:
    void init() { QVERIFY(scratch_.open()); }
    void cleanup() { scratch_.close(); }

    void brokenInputEndsWithAnErrorAndNoFiles_data()
    {
        QTest::addColumn<QByteArray>("dem");
        QTest::addColumn<QByteArray>("start");
        QTest::addColumn<QStringList>("errors");

        const QString invalid =
            QStringLiteral("error:The header of file %1 is invalid: nrows, ncols and cellsize must be greater than 0.");
        const QString invalidDem = invalid.arg("%dem");
        const QString invalidStart = invalid.arg("%start");
        QTest::newRow("DEM nrows 0") << gridHeader("5", "0") + demRows << goodStart << QStringList{invalidDem};
        QTest::newRow("DEM ncols negative") << gridHeader("-5", "4") + demRows << goodStart << QStringList{invalidDem};
        QTest::newRow("DEM cellsize 0") << gridHeader("5", "4", "0") + demRows << goodStart << QStringList{invalidDem};
        QTest::newRow("DEM cellsize negative")
            << gridHeader("5", "4", "-2") + demRows << goodStart << QStringList{invalidDem};
        QTest::newRow("DEM cellsize not a number")
            << gridHeader("5", "4", "nan") + demRows << goodStart << QStringList{invalidDem};
        QTest::newRow("DEM cellsize infinite")
            << gridHeader("5", "4", "inf") + demRows << goodStart
            << QStringList{"error:The header of file %dem is invalid: cellsize must be a finite number."};
        QTest::newRow("start cells nrows 0")
            << goodDem << gridHeader("5", "0") + startRows << QStringList{invalidStart};
        QTest::newRow("start cells ncols negative")
            << goodDem << gridHeader("-5", "4") + startRows << QStringList{invalidStart};
        QTest::newRow("start cells cellsize negative")
            << goodDem << gridHeader("5", "4", "-2") + startRows << QStringList{invalidStart};

        QTest::newRow("DEM with fewer rows than its header")
            << header + "100 100 100 100 100\n100 100 100 100 100\n100 100 100\n" << goodStart
            << QStringList{"error:File %dem holds 2 complete data rows, but its header announces 4."};
        QTest::newRow("header far larger than its file")
            << gridHeader("5", "2000000") + demRows << gridHeader("5", "2000000") + startRows
            << QStringList{"error:File %dem holds 4 complete data rows, but its header announces 2000000."};
        QTest::newRow("DEM with an unreadable value")
            << header + "100 100 100 100 100\n100 100 x 100 100\n" << goodStart
            << QStringList{"error:File %dem holds 1 complete data rows, but its header announces 4."};
        QTest::newRow("DEM without a complete row")
            << header + "100 100\n" << goodStart
            << QStringList{"error:No complete data row could be read from file %dem."};
        QTest::newRow("PNG as DEM")
            << pngFile << goodStart
            << QStringList{"error:File %dem has an incomplete header: expected at least 5 header lines, found 0."};
        QTest::newRow("noise as DEM")
            << noiseBytes() << goodStart
            << QStringList{"error:File %dem has an incomplete header: expected at least 5 header lines, found 0."};
        QTest::newRow("noise after a good header")
            << header + noiseBytes() << goodStart
            << QStringList{"error:No complete data row could be read from file %dem."};
        QTest::newRow("noise as start cells")
            << goodDem << noiseBytes()
            << QStringList{"error:File %start has an incomplete header: expected at least 5 header lines, found 0."};
        QTest::newRow("noise in start cells data")
            << goodDem << header + "0 0 0 0 0\n" + noiseBytes()
            << QStringList{"error:Failed to parse start cells file. Syntax error on line 8."};
        QTest::newRow("NUL bytes in start cells data")
            << goodDem << header + QByteArray("0 0 0 0 0\n0 0 1\0 0 0\n", 21)
            << QStringList{"error:Failed to parse start cells file. Syntax error on line 8."};
    }

    void brokenInputEndsWithAnErrorAndNoFiles()
    {
        QFETCH(QByteArray, dem);
        QFETCH(QByteArray, start);
        QFETCH(QStringList, errors);

        QCOMPARE(run(dem, start), expand(errors + failedEnd));
        QVERIFY(QDir::current().isEmpty());
    }

    // A header of 2147483647 x 2147483647 cells over a file of three values:
    // refused by its size where the machine's memory is known, otherwise by the
    // rows it lacks; neither way allocates for the header's size.
    void gridTooLargeForMemoryIsRefusedBeforeReading()
    {
        const QByteArray huge = gridHeader("2147483647", "2147483647") + "1 2 3\n";
        const QStringList events = run(huge, huge);
        QCOMPARE(events.mid(1), failedEnd);
        if (physicalMemoryBytes() == 0) {
            QCOMPARE(events.first(), expand({"error:No complete data row could be read from file %dem."}).first());
            return;
        }
        const QString expected =
            expand({"error:File %dem describes a grid of 2147483647 x 2147483647 cells: a run on it needs about "})
                .first();
        QVERIFY2(events.first().startsWith(expected), qPrintable(events.first()));
        QVERIFY(events.first().endsWith(QLatin1String(" MB this machine has. Aborting.")));
        QVERIFY(QDir::current().isEmpty());
    }

    void runBytesSaturateInsteadOfWrapping()
    {
        QCOMPARE(estimatedRunBytes(4, 5), 20 * runBytesPerCell);
        QCOMPARE(estimatedRunBytes(0, 5), std::uint64_t(0));
        QCOMPARE(estimatedRunBytes(-4, 5), std::uint64_t(0));
        QCOMPARE(estimatedRunBytes(2147483647, 2147483647), std::numeric_limits<std::uint64_t>::max());
        QVERIFY(fitsInMemory(std::numeric_limits<std::uint64_t>::max(), 0));
        QVERIFY(fitsInMemory(1000, 1000));
        QVERIFY(!fitsInMemory(1001, 1000));
    }

    void unusualEncodingsReadNormally_data()
    {
        QTest::addColumn<QByteArray>("dem");
        QTest::addColumn<QByteArray>("start");

        const QByteArray bom = "\xEF\xBB\xBF";
        auto crlf = [](QByteArray text) { return text.replace("\n", "\r\n"); };
        auto utf16 = [](const QByteArray& text) {
            return QByteArray(QStringEncoder(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom)(
                QString::fromLatin1(text)));
        };
        QTest::newRow("byte order mark before both headers") << bom + goodDem << bom + goodStart;
        QTest::newRow("CRLF with byte order marks") << bom + crlf(goodDem) << bom + crlf(goodStart);
        QTest::newRow("UTF-16 with byte order mark") << utf16(goodDem) << utf16(goodStart);
        QTest::newRow("no final line break") << goodDem.chopped(1) << goodStart.chopped(1);
    }

    void unusualEncodingsReadNormally()
    {
        QFETCH(QByteArray, dem);
        QFETCH(QByteArray, start);

        QCOMPARE(run(dem, start), (QStringList{"init:10", "reset", "done:0", "message:Done."}));
        QVERIFY(readTextFile(QStringLiteral("N.asc")).endsWith("\n0 0 0 0 0\n0 0 10 0 0\n0 0 0 0 0\n0 0 0 0 0"));
    }
};

QTEST_GUILESS_MAIN(tst_hostileInputs)
#include "tst_hostileInputs.moc"

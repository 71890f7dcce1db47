#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>

#include <QBuffer>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include "tests/recordingSink.h"
#include "raster/gridReader.h"
#include "raster/numberParser.h"

namespace {

bool sameFloat(float a, float b)
{
    return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}

QByteArray printable(const QByteArray& text) { return text.left(200).toPercentEncoding(" .+-"); }

bool openOnBytes(asciiGridStream& stream, const QByteArray& bytes,
                 qsizetype chunkSize = asciiGridStream::defaultChunkSize)
{
    auto device = std::make_unique<QBuffer>();
    device->setData(bytes);
    return stream.open(std::move(device), chunkSize);
}

const char* const sixLineHeader = "ncols 3\nnrows 2\nxllcorner 100.5\nyllcorner 200\ncellsize 2\nNODATA_value -9999\n";

// Reads the same bytes with a Qt text stream and with the grid stream, one
// float after the other, and demands the same value bits, status and end; at
// the end the unread rest must be the same text too.
void compareWithTextStream(const QByteArray& text, qsizetype chunkSize, int reads)
{
    QByteArray referenceBytes = text;
    QBuffer referenceDevice(&referenceBytes);
    referenceDevice.open(QIODevice::ReadOnly);
    QTextStream reference(&referenceDevice);

    asciiGridStream stream;
    QVERIFY(openOnBytes(stream, text, chunkSize));

    for (int read = 0; read < reads; ++read) {
        float expected = -1.0f;
        reference >> expected;
        // Both ways of reading: one value, and the bulk read of grid rows.
        float actual = -1.0f;
        if (read % 2 == 0)
            stream.readFloat(actual);
        else
            stream.readFloats(&actual, 1);
        const QByteArray context = "read " + QByteArray::number(read) + " of [" + printable(text) + "]";
        QVERIFY2(sameFloat(actual, expected),
                 (context + ": " + QByteArray::number(actual, 'g', 9) + " != " + QByteArray::number(expected, 'g', 9))
                     .constData());
        QVERIFY2(int(stream.status()) == int(reference.status()), context.constData());
        QVERIFY2(stream.atEnd() == reference.atEnd(), context.constData());
    }
    QCOMPARE(stream.readAll(), reference.readAll());
}

QByteArray awkwardTokens()
{
    const QList<QByteArray> tokens = {
        "0", "-0", "+0", "7", "+7", "-7", ".5", "5.", "-.5", "+.5", "1e5", "1E5", "1.e5", "1e", "1e+", "1e-", "-", "+",
        ".", "+-1", "-+1", "--1", "nan", "NaN", "NAN", "-nan", "+nan", "nan5", "na", "n", "inf", "INF", "-inf",
        "+Inf", "infinity", "in", "i", "1.5.3", "5-3", "5+3", "12abc", "0x10", "1e39", "-1e39", "3.4028235e38",
        "3.4028236e38", "1e400", "-1e400", "1e-400", "1e-46", "1e-45", "1.4e-45", "7e-46", "7.1e-46", "1.17549435e-38",
        "1e-320", "4.9e-324", "2.4703282292062327e-324", "2.4703282292062328e-324", "1.7976931348623157e308",
        "1.7976931348623159e308", "16777217", "16777217.000000001", "16777216.999999999", "16777219",
        "0.1", "0.30000000000000004", "1234.567", "-9999", "-9999.0", "1234.5670166015625", "123456789012345678901",
        "9007199254740993", "9007199254740992.5", "1e22", "1e23", "8.589973e9", "0e999999", "-0e5", "0000.0000",
        "1e0000000000000000000005", "18446744073709551617", "1844674407370955.1617", "-00000000000000000001",
        "0.0000000000000000000000001", "9007199254740993.0",
        "1e99999999999999999999", "00012", "1e05", "e5", "E", "1ee5", "1e5e5", "1.5e3.2",
        "tan", "fa", "a", "t", "5nan", "5inf", "inf5", "-5.-5", "3..4", "..3", "1,5", "1_000", "٣", "１"};
    QByteArray text;
    for (const QByteArray& token : tokens)
        text += token + ' ';
    return text;
}

// With `garbage` false every token reads as a number or is consumed whole,
// so a long text of them never stalls.
QByteArray randomDecimal(std::mt19937_64& random, bool garbage = true)
{
    auto pick = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    QByteArray token;
    switch (pick(garbage ? 5 : 4)) {
    case 0: {  // a float printed with as many digits as a writer might use
        uint32_t bits = static_cast<uint32_t>(random());
        float value;
        std::memcpy(&value, &bits, sizeof value);
        const char* formats[] = {"%.9g", "%.17g", "%g", "%.3f", "%e", "%.8e", "%.20g"};
        char printed[512];
        std::snprintf(printed, sizeof printed, formats[pick(7)], static_cast<double>(value));
        token = printed;
        break;
    }
    case 1: {  // the exact midpoint between two neighbouring floats: the narrowing tie
        uint32_t bits = static_cast<uint32_t>(random()) & 0x7f7fffffu;
        float low;
        std::memcpy(&low, &bits, sizeof low);
        const double middle = (static_cast<double>(low) + static_cast<double>(std::nextafter(low, INFINITY))) / 2.0;
        char printed[1024];
        std::snprintf(printed, sizeof printed, "%.*g", 9 + pick(40), middle);
        token = printed;
        break;
    }
    case 2: {  // realistic elevations
        char printed[64];
        const double elevation = (static_cast<double>(pick(5000000)) - 100000.0) / 1000.0;
        std::snprintf(printed, sizeof printed, "%.*f", pick(5), elevation);
        token = printed;
        break;
    }
    case 3: {  // random shapes of sign, digits, point and exponent
        if (pick(3) == 0)
            token += pick(2) ? '-' : '+';
        for (int n = garbage ? pick(22) : 1 + pick(21); n > 0; --n)
            token += char('0' + pick(10));
        if (pick(2)) {
            token += '.';
            for (int n = pick(22); n > 0; --n)
                token += char('0' + pick(10));
        }
        if (pick(3) == 0) {
            token += pick(2) ? 'e' : 'E';
            if (pick(2))
                token += pick(2) ? '-' : '+';
            for (int n = pick(4); n > 0; --n)
                token += char('0' + pick(10));
        }
        break;
    }
    default: {  // anything the recognizer reacts to, and a little more
        const char alphabet[] = "0123456789+-.eEinfaINFATtx,";
        for (int n = 1 + pick(8); n > 0; --n)
            token += alphabet[pick(sizeof alphabet - 1)];
        break;
    }
    }
    return token;
}

QByteArray randomSeparator(std::mt19937_64& random)
{
    const QList<QByteArray> separators = {" ", " ", " ", "\n", "\r\n", "\t", "  ", "\v\f", "\xC2\xA0", "\xE2\x80\x83",
                                          "\xE3\x80\x80", "\xC2\x85", "\r", "", "\xEF\xBB\xBF", "\xFF", "\xE2\x80",
                                          "\x1C", "\x1F"};
    return separators.at(static_cast<int>(random() % static_cast<unsigned>(separators.size())));
}

// A grid's data section of `values` elevations such as 1234.57 on rows of
// 1000 with the given line break; tokens from `inserts` replace values at
// the given positions (the text may then hold more or fewer values).
QByteArray elevationText(int values, const QByteArray& lineBreak, const QList<QPair<int, QByteArray>>& inserts,
                         bool finalLineBreak = true)
{
    std::mt19937 random(99);
    QByteArray text;
    text.reserve(values * 9);
    int nextInsert = 0;
    char number[32];
    for (int i = 0; i < values; ++i) {
        if (nextInsert < inserts.size() && inserts.at(nextInsert).first == i) {
            text += inserts.at(nextInsert++).second;
        } else {
            const int hundredths = static_cast<int>(random() % 400000) - 20000;
            text.append(number, std::snprintf(number, sizeof number, "%.2f", hundredths / 100.0));
        }
        if (i + 1 < values || finalLineBreak)
            text += (i + 1) % 1000 == 0 ? lineBreak : QByteArray(" ");
    }
    return text;
}

// Reads `count` values of `text` in one bulk read and one value at a time
// on a second stream, which is the reading every grid file always had, and
// demands the same values, count, status, position and unread rest.
void compareBulkWithOneByOne(const QByteArray& text, qsizetype count, qsizetype chunkSize)
{
    asciiGridStream bulk;
    QVERIFY(openOnBytes(bulk, text, chunkSize));
    asciiGridStream reference;
    QVERIFY(openOnBytes(reference, text, chunkSize));

    std::vector<float> values(static_cast<std::size_t>(count), -1.0f);
    const qsizetype read = bulk.readFloats(values.data(), count);
    qsizetype expectedRead = 0;
    for (; expectedRead < count; ++expectedRead) {
        float expected = -1.0f;
        if (!reference.readFloat(expected))
            break;
        QVERIFY2(sameFloat(values[std::size_t(expectedRead)], expected),
                 qPrintable(QStringLiteral("value %1: %2 != %3")
                                .arg(expectedRead)
                                .arg(double(values[std::size_t(expectedRead)]))
                                .arg(double(expected))));
    }
    QCOMPARE(read, expectedRead);
    QCOMPARE(int(bulk.status()), int(reference.status()));
    QCOMPARE(bulk.pos(), reference.pos());
    QCOMPARE(bulk.atEnd(), reference.atEnd());
    QCOMPARE(bulk.readAll(), reference.readAll());
}
} // namespace

class tst_gridReader : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;

    QString writeFile(const QString& name, const QByteArray& content)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void readsHeaderByPosition_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("ncols");
        QTest::addColumn<int>("nrows");
        QTest::addColumn<float>("xll");
        QTest::addColumn<float>("cellsize");
        QTest::addColumn<float>("nodata");
        QTest::addColumn<int>("reference");
        QTest::addColumn<float>("firstValue");

        QTest::newRow("lower case corner") << QByteArray(sixLineHeader) + "1 2 3\n4 5 6\n" << 3 << 2 << 100.5f << 2.0f
                                           << -9999.0f << int(rasterHeader::corner) << 1.0f;
        QTest::newRow("capitals, center")
            << QByteArray("NCOLS 4\nNROWS 5\nXLLCENTER 1.25\nYLLCENTER 2\nCELLSIZE 10\nNODATA_VALUE -1\n7 8\n")
            << 4 << 5
            << 1.25f << 10.0f << -1.0f << int(rasterHeader::center) << 7.0f;
        QTest::newRow("xll alone is undefined")
            << QByteArray("ncols 1\nnrows 1\nxll 3\nyll 4\ncellsize 1\nnodata_value 0\n9\n") << 1 << 1 << 3.0f << 1.0f
            << 0.0f << int(rasterHeader::undefined) << 9.0f;
        QTest::newRow("keywords are not checked")
            << QByteArray("aa 2\nbb 3\nxx_Corner_yy 5\nzz 6\ncc 7\ndd 8\n1 2\n") << 2 << 3 << 5.0f << 7.0f << 8.0f
            << int(rasterHeader::corner) << 1.0f;
        QTest::newRow("seventh header line ignored")
            << QByteArray(sixLineHeader) + "projection UTM zone 32\n-5 6 7\n" << 3 << 2 << 100.5f << 2.0f << -9999.0f
            << int(rasterHeader::corner) << -5.0f;
        QTest::newRow("five header lines: nodata -9999")
            << QByteArray("ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 5\n1 2 3\n") << 3 << 2 << 0.0f << 5.0f
            << -9999.0f << int(rasterHeader::corner) << 1.0f;
        QTest::newRow("indented first data line")
            << QByteArray(sixLineHeader) + "   .5 2 3\n" << 3 << 2 << 100.5f << 2.0f << -9999.0f
            << int(rasterHeader::corner) << 0.5f;
        QTest::newRow("byte order mark and CRLF")
            << QByteArray("\xEF\xBB\xBF") + QByteArray(sixLineHeader).replace("\n", "\r\n") + "11 2 3\r\n" << 3 << 2
            << 100.5f << 2.0f << -9999.0f << int(rasterHeader::corner) << 11.0f;
        QTest::newRow("unparsable values stay 0, float values read like data")
            << QByteArray("ncols 3.0\nnrows 0x10\nxllcorner 12abc\nyllcorner 0\ncellsize size\nnodata_value\n1\n")
            << 0 << 0 << 12.0f << 0.0f << 0.0f << int(rasterHeader::corner) << 1.0f;
        QTest::newRow("tabs and signs")
            << QByteArray("ncols\t+3\nnrows\t2\nxllcorner\t-1e2\nyllcorner 0\ncellsize 2\nNODATA_value -9999\n1\n")
            << 3 << 2 << -100.0f << 2.0f << -9999.0f << int(rasterHeader::corner) << 1.0f;
        QTest::newRow("letter-led data line read as header")
            << QByteArray(sixLineHeader) + "nan 1 2\n4 5 6\n" << 3 << 2 << 100.5f << 2.0f << -9999.0f
            << int(rasterHeader::corner) << 4.0f;
        // QTextStream's encoding detection also reads UTF-16 files with a byte order mark.
        QTest::newRow("UTF-16 with byte order mark")
            << QByteArray(QStringEncoder(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom)(
                   QString::fromLatin1(sixLineHeader) + QStringLiteral("3\u00a04 5\n")))
            << 3 << 2 << 100.5f << 2.0f << -9999.0f << int(rasterHeader::corner) << 3.0f;
    }

    void readsHeaderByPosition()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, ncols);
        QFETCH(int, nrows);
        QFETCH(float, xll);
        QFETCH(float, cellsize);
        QFETCH(float, nodata);
        QFETCH(int, reference);
        QFETCH(float, firstValue);

        const QString path = writeFile(QStringLiteral("header.asc"), content);
        recordingSink sink;
        asciiGridStream stream;
        rasterHeader header;
        header.nrows = 99;
        QVERIFY(readGridHeader(path, header, stream, sink));
        QCOMPARE(sink.log, QStringList());
        QCOMPARE(header.ncols, ncols);
        QCOMPARE(header.nrows, nrows);
        QCOMPARE(header.xll, xll);
        QCOMPARE(header.cellsize, cellsize);
        QCOMPARE(header.nodataValue, nodata);
        QCOMPARE(header.spatialReference, reference);
        float value = 0.0f;
        QVERIFY(stream.readFloat(value));
        QCOMPARE(value, firstValue);
    }

    void rejectsFilesWithoutUsableHeader_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");

        QTest::newRow("empty file") << QByteArray() << "File %1 contains no data.";
        QTest::newRow("only a byte order mark") << QByteArray("\xEF\xBB\xBF") << "File %1 contains no data.";
        QTest::newRow("header only") << QByteArray(sixLineHeader) << "File %1 contains no data.";
        QTest::newRow("header only, no final newline")
            << QByteArray(sixLineHeader).chopped(1) << "File %1 contains no data.";
        QTest::newRow("four header lines")
            << QByteArray("ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\n1 2 3\n")
            << "File %1 has an incomplete header: expected at least 5 header lines, found 4.";
        QTest::newRow("indented header line ends the header")
            << QByteArray("ncols 3\nnrows 2\n xllcorner 0\nyllcorner 0\ncellsize 1\n1 2 3\n")
            << "File %1 has an incomplete header: expected at least 5 header lines, found 2.";
        QTest::newRow("data only") << QByteArray("1 2 3\n")
                                   << "File %1 has an incomplete header: expected at least 5 header lines, found 0.";
    }

    void rejectsFilesWithoutUsableHeader()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, message);

        const QString path = writeFile(QStringLiteral("bad.asc"), content);
        recordingSink sink;
        asciiGridStream stream;
        rasterHeader header;
        QVERIFY(!readGridHeader(path, header, stream, sink));
        QCOMPARE(sink.log, QStringList{QStringLiteral("error: ") + message.arg(path)});
    }

    void reportsUnopenableFile_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("log");
        QTest::newRow("no file name") << QString() << QStringList{QStringLiteral("error: No file name provided!")};
        const QString box = QStringLiteral("box: Error when reading file %1: please check read permissions.");
        const QString error = QStringLiteral("error: Unable to open file %1 for reading: please check permissions.");
        for (const QString& path : {dir.filePath(QStringLiteral("missing.asc")), dir.path()})
            QTest::newRow(qPrintable(path)) << path << QStringList{box.arg(path), error.arg(path)};
    }

    void reportsUnopenableFile()
    {
        QFETCH(QString, path);
        QFETCH(QStringList, log);
        recordingSink sink;
        asciiGridStream stream;
        rasterHeader header;
        QVERIFY(!readGridHeader(path, header, stream, sink));
        QCOMPARE(sink.log, log);
        QVERIFY(!stream.isOpen());
    }

    void readsElevationRows_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QList<float>>("values");

        QTest::newRow("complete") << QByteArray("1 2 3\n4 5.5 -9999\n") << true
                                  << QList<float>{1, 2, 3, 4, 5.5f, -9999};
        QTest::newRow("line breaks carry no meaning") << QByteArray("1\n2 3 4\r\n5\t6") << true
                                                      << QList<float>{1, 2, 3, 4, 5, 6};
        QTest::newRow("extra rows ignored") << QByteArray("1 2 3\n4 5 6\n7 8 9\n") << true
                                            << QList<float>{1, 2, 3, 4, 5, 6};
        QTest::newRow("unreadable value drops its row and the rest")
            << QByteArray("1 2 3\n4 x 6\n") << true << QList<float>{1, 2, 3};
        QTest::newRow("overflowing value is unreadable") << QByteArray("1 2 3\n4 1e400 6\n") << true
                                                         << QList<float>{1, 2, 3};
        QTest::newRow("float overflow is infinity") << QByteArray("1 2 3\n4 1e39 6\n") << true
                                                    << QList<float>{1, 2, 3, 4, INFINITY, 6};
        QTest::newRow("short file keeps complete rows") << QByteArray("1 2 3\n4 5\n") << true << QList<float>{1, 2, 3};
        QTest::newRow("first row unreadable") << QByteArray("1 ? 3\n4 5 6\n") << false << QList<float>{};
        QTest::newRow("data line empty") << QByteArray("\n") << false << QList<float>{};
    }

    void readsElevationRows()
    {
        QFETCH(QByteArray, data);
        QFETCH(bool, result);
        QFETCH(QList<float>, values);

        const QString path = writeFile(QStringLiteral("dem.asc"), QByteArray(sixLineHeader) + data);
        recordingSink sink;
        asciiGridStream stream;
        rasterHeader header;
        QVERIFY(readGridHeader(path, header, stream, sink));
        elevationGrid elevation;
        QCOMPARE(readElevationRows(stream, elevation, header.nrows, header.ncols), result);
        QCOMPARE(elevation.rows(), int(values.size()) / header.ncols);
        QCOMPARE(QList<float>(elevation.data(), elevation.data() + elevation.size()), values);
        QCOMPARE(sink.log, QStringList());
    }

    void reportsProgressAndRefusesImpossibleRows()
    {
        const QByteArray content = QByteArray(sixLineHeader) + "   1 2 3\n   1 2 3\n";
        const QString path = writeFile(QStringLiteral("progress.asc"), content);
        recordingSink sink;
        asciiGridStream stream;
        rasterHeader header;
        QVERIFY(readGridHeader(path, header, stream, sink));
        elevationGrid elevation;
        QList<QPair<qint64, qint64>> reports;
        QVERIFY(readElevationRows(stream, elevation, header.nrows, header.ncols,
                                  [&reports](qint64 done, qint64 total) { reports.append({done, total}); }));
        QVERIFY(!reports.isEmpty());
        QCOMPARE(reports.last().second, qint64(content.size()));
        QCOMPARE(reports.last().first, qint64(content.size()) - 1);  // the final line break is not read

        // Rows far larger than the file are refused before anything is allocated.
        QVERIFY(readGridHeader(path, header, stream, sink));
        elevationGrid huge;
        QVERIFY(!readElevationRows(stream, huge, 2000000000, 2000000000));
        QCOMPARE(huge.rows(), 0);
    }

    void readsStartCells_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("nrows");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QList<int>>("cells");  // row, col pairs
        QTest::addColumn<QString>("message");

        QTest::newRow("positive values mark cells")
            << QByteArray("0 1 0.5\n250 0 -1\n0 1e-45 0\n") << 3 << true << QList<int>{0, 1, 0, 2, 1, 0, 2, 1}
            << QString();
        QTest::newRow("zeros and negatives") << QByteArray("0 -1 -9999\n0 0 -0.5\n") << 2 << true << QList<int>{}
                                             << QString();
        QTest::newRow("too small for a float is 0") << QByteArray("1e-46 0 0\n") << 1 << true << QList<int>{}
                                                    << QString();
        QTest::newRow("letter in third row") << QByteArray("0 0 1\n0 0 0\n0 a 0\n") << 3 << false << QList<int>{}
                                             << "Failed to parse start cells file. Syntax error on line 9.";
        QTest::newRow("cut short") << QByteArray("0 0 1\n0 0\n") << 2 << false << QList<int>{}
                                   << "Failed to parse start cells file. Syntax error on line 8.";
        QTest::newRow("fewer rows ending at end of file") << QByteArray("0 1 0") << 5 << true << QList<int>{0, 1}
                                                          << QString();
        QTest::newRow("no data after header line break") << QByteArray() << 2 << true << QList<int>{} << QString();
    }

    void readsStartCells()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, nrows);
        QFETCH(bool, result);
        QFETCH(QList<int>, cells);
        QFETCH(QString, message);

        // A header-only file has no data line, so the stream is opened on the data directly.
        asciiGridStream stream;
        QVERIFY(openOnBytes(stream, data));
        recordingSink sink;
        std::vector<startCell> found;
        QCOMPARE(readStartCells(stream, found, nrows, 3, sink), result);
        QCOMPARE(sink.log, message.isEmpty() ? QStringList() : QStringList{QStringLiteral("error: ") + message});
        if (result) {
            QList<int> pairs;
            for (const startCell& cell : found)
                pairs << cell.row << cell.col;
            QCOMPARE(pairs, cells);
        }
    }

    void readsNumbersAsTextStream_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("chunkSize");
        QTest::addColumn<int>("reads");

        const QByteArray awkward = awkwardTokens();
        for (int chunk : {1, 7, 130, int(asciiGridStream::defaultChunkSize)})
            QTest::addRow("awkward tokens, chunk %d", chunk) << awkward << chunk << 400;

        // Each awkward token alone and between awkward neighbours, so that every
        // failure is seen with its own status, end and rest.
        const QList<QByteArray> contexts = {"%1", " %1 ", "%1\n", "\xC2\xA0%1\r\n8", "%1 \xE2\x80", "\t%1,9",
                                            "%1\xEF\xBB\xBF" "5"};
        int row = 0;
        for (const QByteArray& token : awkward.split(' ')) {
            for (const QByteArray& context : contexts)
                QTest::addRow("token context %d", row++) << QByteArray(context).replace("%1", token) << 7 << 4;
        }

        const QByteArray longDigits(130, '7');
        QTest::newRow("overlong number, digits skipped") << longDigits + "8.5 6" << 7 << 3;
        QTest::newRow("overlong number, unicode digits skipped") << longDigits + "\xD9\xA0\xD9\xA1" "5 7" << 7 << 3;
        QTest::newRow("overlong number then point") << longDigits + ".25 6" << 130 << 3;
        QTest::newRow("overlong fraction") << "0." + longDigits + " 6" << 1 << 3;
        QTest::newRow("123 digits then more") << QByteArray(123, '1') + ".5e2 3" << 7 << 3;
        QTest::newRow("only white space") << QByteArray(" \t\r\n\xC2\xA0 ") << 7 << 2;
        QTest::newRow("empty") << QByteArray() << 7 << 2;
        QTest::newRow("byte order mark first") << QByteArray("\xEF\xBB\xBF" "1 2") << 7 << 3;
        for (const char* tail : {"\xC2", "\xE2\x80", "\xF0\x9F\x98", "\xE0\x80", "\xC0", "\xF5\x80", "\x80",
                                 "\xF0\x9F\x98\x80", "\xC3\xA9"})
            QTest::addRow("ends with bytes %s", QByteArray(tail).toHex().constData()) << "5 " + QByteArray(tail) << 1
                                                                                      << 3;
        QTest::newRow("UTF-16 big endian")
            << QByteArray(QStringEncoder(QStringEncoder::Utf16BE, QStringEncoder::Flag::WriteBom)(
                   QStringLiteral("1.5\u3000-2 x")))
            << 7 << 4;

        std::mt19937_64 random(20240611);
        for (int text = 0; text < 3000; ++text) {
            QByteArray bytes;
            const int tokens = 1 + static_cast<int>(random() % 4);
            for (int t = 0; t < tokens; ++t)
                bytes += randomSeparator(random) + randomDecimal(random);
            if (random() % 2)
                bytes += randomSeparator(random);
            QTest::addRow("random text %d", text) << bytes << static_cast<int>(1 + random() % 64) << tokens + 2;
        }

        // Long enough for the bulk read to take its own route over the buffer.
        for (int text = 0; text < 300; ++text) {
            QByteArray bytes;
            for (int t = 0; t < 40; ++t)
                bytes += randomSeparator(random) + randomDecimal(random, text % 2 == 0);
            QTest::addRow("long random text %d", text) << bytes << static_cast<int>(64 + random() % 512) << 42;
        }

        QByteArray large;
        for (int t = 0; t < 200000; ++t)
            large += randomDecimal(random, false) + (t % 10 == 9 ? "\r\n" : " ");
        QTest::newRow("many random numbers") << large << 4096 << 200002;
    }

    void readsNumbersAsTextStream()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, chunkSize);
        QFETCH(int, reads);
        compareWithTextStream(text, chunkSize, reads);
    }

    // Stricter than comparing floats: the double before narrowing must be the
    // C locale's, bit for bit, so that no float tie can ever come out wrong.
    void convertsTokensAsCLocale()
    {
        std::mt19937_64 random(7);
        auto pick = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
        QList<QByteArray> tokens = awkwardTokens().split(' ');
        for (int t = 0; t < 200000; ++t)
            tokens << randomDecimal(random);
        for (int t = 0; t < 100000; ++t) {
            // Mantissas near the exact-double limit with exponents around the exact powers of ten.
            const uint64_t mantissa = random() % (uint64_t(1) << (40 + pick(24)));
            tokens << QByteArray::number(static_cast<qulonglong>(mantissa)) + 'e' + QByteArray::number(pick(61) - 30);
        }
        for (const QByteArray& token : tokens) {
            const realTokenScan scan = scanRealToken(token.constData(), token.constData() + token.size());
            const QByteArray text = token.left(scan.length);
            double actual = 0.0;
            const bool actualOk = realTokenToDouble(text.constData(), int(text.size()), actual);
            const QByteArray lower = text.toLower();
            bool expectedOk = true;
            double expected = 0.0;
            if (lower == "nan" || lower == "+nan" || lower == "-nan")
                expected = NAN;
            else if (lower == "inf" || lower == "+inf")
                expected = INFINITY;
            else if (lower == "-inf")
                expected = -INFINITY;
            else
                expected = QLocale::c().toDouble(QString::fromLatin1(text), &expectedOk);
            QVERIFY2(actualOk == expectedOk, text.constData());
            if (expectedOk)
                QVERIFY2((std::isnan(actual) && std::isnan(expected))
                             || std::memcmp(&actual, &expected, sizeof actual) == 0,
                         text.constData());
        }
    }

    // Large counts take the two-thread route; everything it cannot take,
    // and every place where the text is cut, must read as before.
    void readsLargeCountsAsOneByOne_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("chunkSize");

        const int n = 140000;
        const int chunk = int(asciiGridStream::defaultChunkSize);
        QTest::newRow("plain, LF") << elevationText(n, "\n", {}) << n << chunk;
        QTest::newRow("plain, CRLF, no final line break") << elevationText(n, "\r\n", {}, false) << n << chunk;
        QTest::newRow("plain, small chunks") << elevationText(n, "\n", {}) << n << 4096;
        QTest::newRow("count ends mid-text") << elevationText(n, "\n", {}) << n - 77777 << chunk;
        QTest::newRow("count a little larger than the route's minimum")
            << elevationText(n, "\n", {}) << int(asciiGridStream::parallelReadMinimum) + 3 << chunk;
        QTest::newRow("text shorter than count") << elevationText(n, "\r\n", {}, false) << n + 5 << chunk;
        QTest::newRow("trailing white space, text shorter than count")
            << elevationText(n, "\n", {}) + " \t\r\n " << n + 1 << chunk;

        const QList<QPair<int, QByteArray>> readable = {
            {10, "1e5"},     {20000, "-2.5E-3"}, {60000, "+7"},  {70000, ".5"},
            {80000, "5."},   {90000, "nan"},     {90001, "-inf"}, {90002, "1e39"},
            {100000, "-0"},  {110000, "0012345678901234567890123"},
            {120000, "12\xC2\xA0" "13"}, {125000, "7\xE3\x80\x80-8"}, {130000, "1\x1C" "2"},
            {135000, "3\v4\f5"}, {139999, "9.99e2"}};
        QTest::newRow("exponents, signs, specials, other white space")
            << elevationText(n, "\r\n", readable) << n + 5 << chunk;
        QTest::newRow("the same in small chunks") << elevationText(n, "\n", readable) << n + 5 << 1000;
        // A long stretch of unusual text: the one-by-one reading takes it.
        QList<QPair<int, QByteArray>> manyExponents;
        for (int i = 50000; i < 90000; ++i)
            manyExponents.append({i, "1.5e1"});
        QTest::newRow("long stretch of exponents") << elevationText(n, "\n", manyExponents) << n << chunk;

        for (const int at : {0, 1, 65535, 65536, 100000, 139999}) {
            QTest::addRow("unreadable value at %d", at) << elevationText(n, "\n", {{at, "12x"}}) << n << chunk;
            QTest::addRow("overflow at %d", at) << elevationText(n, "\n", {{at, "-1e400"}}) << n << chunk;
        }
        QTest::newRow("invalid UTF-8 byte") << elevationText(n, "\n", {{110000, "5\xFF"}}) << n << chunk;
        QTest::newRow("text ends inside a character") << elevationText(n, "\n", {}, false) + " \xE2\x80" << n + 1
                                                      << chunk;
    }

    void readsLargeCountsAsOneByOne()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, count);
        QFETCH(int, chunkSize);
        compareBulkWithOneByOne(text, count, chunkSize);
    }

    // Rows read in batches: the first row with an unreadable value and all
    // after it are dropped, whichever batch they fall in.
    void readsLargeGridsRowByRow_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("rows");

        const int cols = 500;
        const int values = 2000 * cols;
        QTest::newRow("complete") << elevationText(values, "\r\n", {}, false) << 2000;
        QTest::newRow("unreadable in row 1234") << elevationText(values, "\n", {{1234 * cols + 17, "1,2"}}) << 1234;
        QTest::newRow("cut short in row 1500") << elevationText(1500 * cols + 10, "\n", {}) << 1500;
    }

    void readsLargeGridsRowByRow()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, rows);

        const QByteArray header = "ncols 500\nnrows 2000\nxllcorner 0\nyllcorner 0\ncellsize 1\nNODATA_value -9999\n";
        const QString path = writeFile(QStringLiteral("large.asc"), header + data);
        recordingSink sink;
        asciiGridStream stream;
        rasterHeader parsed;
        QVERIFY(readGridHeader(path, parsed, stream, sink));
        elevationGrid elevation;
        QVERIFY(readElevationRows(stream, elevation, parsed.nrows, parsed.ncols));
        QCOMPARE(elevation.rows(), rows);

        asciiGridStream reference;
        QVERIFY(openOnBytes(reference, data));
        for (std::size_t i = 0; i < elevation.size(); ++i) {
            float expected = 0.0f;
            QVERIFY(reference.readFloat(expected));
            QVERIFY2(sameFloat(elevation.data()[i], expected), qPrintable(QString::number(i)));
        }
    }

    void readsLinesAsTextStream_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("LF and CRLF") << QByteArray("a\nb\r\nc\r\n\nd");
        QTest::newRow("lone CR stays") << QByteArray("a\rb\n\r\r\n");
        QTest::newRow("final CR dropped") << QByteArray("a\nb\r");
        QTest::newRow("byte order marks") << QByteArray("\xEF\xBB\xBF" "a\n\xEF\xBB\xBF" "b\n");
        QTest::newRow("invalid bytes") << QByteArray("\xFF\xE2\x80\n\xC3\xA9\n");
    }

    void readsLinesAsTextStream()
    {
        QFETCH(QByteArray, text);
        QByteArray referenceBytes = text;
        QBuffer referenceDevice(&referenceBytes);
        referenceDevice.open(QIODevice::ReadOnly);
        QTextStream reference(&referenceDevice);
        asciiGridStream stream;
        QVERIFY(openOnBytes(stream, text, 2));
        while (!reference.atEnd()) {
            QVERIFY(!stream.atEnd());
            QString line;
            QVERIFY(stream.readLine(line));
            QCOMPARE(line, reference.readLine());
        }
        QVERIFY(stream.atEnd());
    }
};

QTEST_GUILESS_MAIN(tst_gridReader)
#include "tst_gridReader.moc"

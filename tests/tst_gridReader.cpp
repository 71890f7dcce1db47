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

#include "raster/gridReader.h"
#include "raster/numberParser.h"
#include "tests/recordingSink.h"

namespace {

bool sameFloat(float a, float b) { return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0; }

bool openOnBytes(asciiGridStream& stream, const QByteArray& bytes, qsizetype chunk = asciiGridStream::defaultChunkSize)
{
    auto device = std::make_unique<QBuffer>();
    device->setData(bytes);
    return stream.open(std::move(device), chunk);
}

const QByteArray sixLineHeader = "ncols 3\nnrows 2\nxllcorner 100.5\nyllcorner 200\ncellsize 2\nNODATA_value -9999\n";

// Number spellings that have tripped readers: signs, specials, overflow, ties, garbage.
QList<QByteArray> awkwardTokens()
{
    QFile file(QStringLiteral(TEST_DATA_DIR "/numberTokens.txt"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().split(' ') : QList<QByteArray>{};
}

// One token as a writer or a hostile file might spell it. With `garbage`
// false every token reads as a number, so a long text of them never stalls.
QByteArray randomToken(std::mt19937_64& random, bool garbage = true)
{
    auto pick = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    char printed[1024];
    switch (pick(garbage ? 5 : 4)) {
    case 0: {  // any float, printed as some writer would
        const uint32_t bits = static_cast<uint32_t>(random());
        float value;
        std::memcpy(&value, &bits, sizeof value);
        const char* formats[] = {"%.9g", "%.17g", "%g", "%.3f", "%e", "%.20g"};
        std::snprintf(printed, sizeof printed, formats[pick(6)], double(value));
        return printed;
    }
    case 1: {  // the exact midpoint between two neighbouring floats: the narrowing tie
        const uint32_t bits = static_cast<uint32_t>(random()) & 0x7f7fffffu;
        float low;
        std::memcpy(&low, &bits, sizeof low);
        std::snprintf(printed, sizeof printed, "%.*g", 9 + pick(40),
                      (double(low) + double(std::nextafter(low, INFINITY))) / 2);
        return printed;
    }
    case 2:  // elevations
        std::snprintf(printed, sizeof printed, "%.*f", pick(5), (pick(5000000) - 100000) / 1000.0);
        return printed;
    case 3: {  // sign, digits, point and exponent in random shapes
        QByteArray token = pick(3) ? "" : pick(2) ? "-" : "+";
        for (int n = garbage ? pick(22) : 1 + pick(21); n > 0; --n)
            token += char('0' + pick(10));
        for (int n = pick(2) ? pick(22) : -1; n >= 0; --n)
            token += n == 0 ? '.' : char('0' + pick(10));
        if (pick(3) == 0)
            token += QByteArray(pick(2) ? "e" : "E") + (pick(2) ? "-" : "") + QByteArray::number(pick(1000));
        return token;
    }
    default: {
        QByteArray token;
        for (int n = 1 + pick(8); n > 0; --n)
            token += "0123456789+-.eEinfaINFATtx,"[pick(27)];
        return token;
    }
    }
}

QByteArray randomSeparator(std::mt19937_64& random)
{
    static const QList<QByteArray> separators = {
        " ",        " ",  "\n", "\r\n",         "\t",   "  ",       "\v\f", "\xC2\xA0", "\xE2\x80\x83", "\xE3\x80\x80",
        "\xC2\x85", "\r", "",   "\xEF\xBB\xBF", "\xFF", "\xE2\x80", "\x1C", "\x1F"};
    return separators.at(static_cast<int>(random() % static_cast<unsigned>(separators.size())));
}

// `values` elevations such as 1234.57 on lines of 1000; tokens from `inserts`
// replace the values at their positions.
QByteArray elevationText(int values, const QByteArray& lineBreak, const QList<QPair<int, QByteArray>>& inserts = {},
                         bool finalLineBreak = true)
{
    std::mt19937 random(99);
    QByteArray text;
    int next = 0;
    for (int i = 0; i < values; ++i) {
        if (next < inserts.size() && inserts.at(next).first == i)
            text += inserts.at(next++).second;
        else
            text += QByteArray::number((static_cast<int>(random() % 400000) - 20000) / 100.0, 'f', 2);
        if (i + 1 < values || finalLineBreak)
            text += (i + 1) % 1000 == 0 ? lineBreak : QByteArray(" ");
    }
    return text;
}

}  // namespace

class tst_gridReader : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;

    QString writeFile(const QByteArray& content)
    {
        const QString path = dir_.filePath(QStringLiteral("grid.asc"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        QVERIFY(awkwardTokens().size() > 100);
    }

    // The header is taken by keyword in any order and case; "outcome" is either
    // "ncols nrows xll cellsize nodata reference firstValue" or the reports.
    void readsHeaderByKeyword_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("outcome");
        const QString incomplete = "error: File %1 has an incomplete header: ";
        QTest::newRow("corner") << sixLineHeader + "1 2 3\n"
                                << "3 2 100.5 2 -9999 1 1";
        QTest::newRow("capitals, center") << QByteArray("NCOLS 4\nNROWS 5\nXLLCENTER 1.25\nYLLCENTER 2\nCELLSIZE 10\n"
                                                        "NODATA_VALUE -1\n7 8\n")
                                          << "4 5 1.25 10 -1 2 7";
        QTest::newRow("nrows before ncols")
            << QByteArray("nrows 2\nNcols 3\ncellsize 2\nyllcorner 200\nnodata_value 0\n"
                          "xllcorner 100.5\n1 2 3\n")
            << "3 2 100.5 2 0 1 1";
        QTest::newRow("origin in double") << QByteArray("ncols 1\nnrows 1\nxllcorner 2600000.37\nyllcorner 0\n"
                                                        "cellsize 1\n9\n")
                                          << "1 1 2600000.37 1 -9999 1 9";
        QTest::newRow("xll alone: undefined; a bare NoData")
            << QByteArray("ncols 1\nnrows 1\nxll 3\nyll 4\ncellsize 1\nNoData 0\n9\n") << "1 1 3 1 0 0 9";
        QTest::newRow("seventh line ignored") << sixLineHeader + "projection UTM 32\n-5 6 7\n"
                                              << "3 2 100.5 2 -9999 1 -5";
        QTest::newRow("indented data line") << sixLineHeader + "   .5 2 3\n"
                                            << "3 2 100.5 2 -9999 1 0.5";
        QTest::newRow("BOM and CRLF") << "\xEF\xBB\xBF" + QByteArray(sixLineHeader).replace("\n", "\r\n") + "11 2\r\n"
                                      << "3 2 100.5 2 -9999 1 11";
        QTest::newRow("blank lines and indents")
            << "\n  ncols 3\n\n\tnrows 2\r\n \r\n" + sixLineHeader.mid(16) + "\n \n1\n"
            << "3 2 100.5 2 -9999 1 1";
        QTest::newRow("nan row after a blank line") << sixLineHeader + "\n nan 1 2\n4 5 6\n"
                                                    << "3 2 100.5 2 -9999 1 nan";
        const QString badLine = "error: File %1, line %2 (\"%3\"): ";
        QTest::newRow("decimal comma") << QByteArray(sixLineHeader).replace("cellsize 2", "cellsize 2,5") + "1\n"
                                       << badLine.arg("%1", "5", "cellsize 2,5")
                                              + "\"2,5\" has a decimal comma. Write it with a decimal point: 2.5.";
        QTest::newRow("trailing letters") << QByteArray(sixLineHeader).replace("100.5", "600000.0abc") + "1\n"
                                          << badLine.arg("%1", "3", "xllcorner 600000.0abc")
                                                 + "\"600000.0abc\" is not a number. Write the number alone after "
                                                   "the keyword.";
        QTest::newRow("second number") << QByteArray(sixLineHeader).replace("ncols 3", "ncols 3 4") + "1\n"
                                       << badLine.arg("%1", "1", "ncols 3 4")
                                              + "ncols takes a whole number, not \"3 4\".";
        QTest::newRow("ncols 3.0") << QByteArray(sixLineHeader).replace("ncols 3", "ncols 3.0") + "1\n"
                                   << badLine.arg("%1", "1", "ncols 3.0") + "ncols takes a whole number, not \"3.0\".";
        QTest::newRow("no value") << QByteArray(sixLineHeader).replace("NODATA_value -9999", "NODATA_value  ") + "1\n"
                                  << badLine.arg("%1", "6", "NODATA_value  ")
                                         + "NODATA_value has no value. Write the number after the keyword.";
        QTest::newRow("letter-led line is header") << sixLineHeader + "nan 1 2\n4 5 6\n"
                                                   << "3 2 100.5 2 -9999 1 4";
        QTest::newRow("UTF-16 with BOM") << QByteArray(
            QStringEncoder(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom)(QString::fromLatin1(sixLineHeader)
                                                                                    + QStringLiteral("3\u00a04 5\n")))
                                         << "3 2 100.5 2 -9999 1 3";
        QTest::newRow("typo ncolz") << QByteArray(sixLineHeader).replace("ncols", "ncolz") + "1\n"
                                    << incomplete
                                           + "ncols missing. Header lines not understood: ncolz. The header "
                                             "ends before line 7, which reads \"1\".";
        QTest::newRow("four lines") << QByteArray("ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\n1 2 3\n")
                                    << incomplete
                                           + "cellsize missing. The header ends before line 5, which reads "
                                             "\"1 2 3\".";
        QTest::newRow("non-keyword line ends it")
            << QByteArray("ncols 3\nnrows 2\n-xllcorner 0\nyllcorner 0\ncellsize 1\n1 2 3\n")
            << incomplete
                   + "xllcorner (or xllcenter), yllcorner (or yllcenter), cellsize missing. The header ends "
                     "before line 3, which reads \"-xllcorner 0\".";
        QTest::newRow("repeated") << "NROWS 9\nxll 5\n" + sixLineHeader + "1\n"
                                  << "error: File %1 gives nrows (lines 1 and 4), xllcorner (lines 2 and 5) more than "
                                     "once in its header: keep one line of each.";
        QTest::newRow("infinite origin") << QByteArray(sixLineHeader).replace("100.5", "-inf") + "1\n"
                                         << "error: File %1 gives xllcorner as -inf: the grid's position and cell size "
                                            "must be finite numbers.";
        QTest::newRow("text file")
            << QByteArray("Dear colleague,\r\nthe grid follows.\n")
            << "error: File %1 is not an ESRI ASCII grid: its first line reads \"Dear colleague,\","
               " where a grid starts with \"ncols\". Give an ESRI ASCII grid (.asc) or a GeoTIFF "
               "(.tif).";
        QTest::newRow("empty") << QByteArray() << "error: File %1 is empty: it holds no ESRI ASCII grid.";
        QTest::newRow("header only") << sixLineHeader.chopped(1) << "error: File %1 contains no data.";
        QTest::newRow("header, blank lines") << sixLineHeader + "\n \r\n"
                                             << "error: File %1 contains no data.";
        QTest::newRow("missing file") << QByteArray("<missing>")
                                      << "error: File %1 does not exist. Check its name and folder.";
        QTest::newRow("a folder") << QByteArray("<folder>")
                                  << "error: %1 is a folder, not a grid file. Choose the grid file inside it.";
        QTest::newRow("no file name") << QByteArray("<none>") << "error: No file name provided!";
    }

    void readsHeaderByKeyword()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, outcome);
        const QString path = content == "<missing>"  ? dir_.filePath(QStringLiteral("missing.asc"))
                             : content == "<folder>" ? dir_.path()
                             : content == "<none>"   ? QString()
                                                     : writeFile(content);
        recordingSink sink;
        asciiGridStream stream;
        rasterHeader h;
        float first = 0.0f;
        if (readGridHeader(path, h, stream, sink) && stream.readFloat(first))
            sink.log << QString::asprintf("%d %d %.10g %g %g %d %g", h.ncols, h.nrows, h.xll, double(h.cellsize),
                                          double(h.nodataValue), h.spatialReference, double(first));
        QCOMPARE(sink.log.join('\n'), outcome.arg(path));
    }

    // The first row with an unreadable value and all after it are dropped.
    void readsElevationRows_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QList<float>>("values");
        QTest::newRow("complete") << QByteArray("1 2 3\n4 5.5 -9999\n") << QList<float>{1, 2, 3, 4, 5.5f, -9999};
        QTest::newRow("line breaks mean nothing") << QByteArray("1\n2 3 4\r\n5\t6") << QList<float>{1, 2, 3, 4, 5, 6};
        QTest::newRow("extra rows ignored") << QByteArray("1 2 3\n4 5 6\n7 8 9\n") << QList<float>{1, 2, 3, 4, 5, 6};
        QTest::newRow("unreadable value") << QByteArray("1 2 3\n4 x 6\n") << QList<float>{1, 2, 3};
        QTest::newRow("double overflow unreadable") << QByteArray("1 2 3\n4 1e400 6\n") << QList<float>{1, 2, 3};
        QTest::newRow("float overflow infinite")
            << QByteArray("1 2 3\n4 1e39 6\n") << QList<float>{1, 2, 3, 4, INFINITY, 6};
        QTest::newRow("short file") << QByteArray("1 2 3\n4 5\n") << QList<float>{1, 2, 3};
        QTest::newRow("first row unreadable") << QByteArray("1 ? 3\n4 5 6\n") << QList<float>{};
    }

    void readsElevationRows()
    {
        QFETCH(QByteArray, data);
        QFETCH(QList<float>, values);
        recordingSink sink;
        asciiGridStream stream;
        rasterHeader header;
        QVERIFY(readGridHeader(writeFile(sixLineHeader + data), header, stream, sink));
        elevationGrid elevation;
        QCOMPARE(readElevationRows(stream, elevation, header.nrows, header.ncols), !values.isEmpty());
        QCOMPARE(elevation.rows(), int(values.size()) / 3);
        QCOMPARE(QList<float>(elevation.data(), elevation.data() + elevation.size()), values);
        QCOMPARE(sink.log, QStringList());
    }

    // Rows wider than a third of a batch: three rows take two batches, and an
    // unreadable value in either drops its row and all after it.
    void readsWideRowsAcrossBatches_data()
    {
        QTest::addColumn<int>("badValue");
        QTest::addColumn<int>("rows");
        QTest::newRow("complete") << -1 << 3;
        QTest::newRow("unreadable in the first batch") << int(1.5e6) + 17 << 1;
        QTest::newRow("unreadable in the second batch") << 2 * int(1.5e6) + 5 << 2;
        QTest::newRow("cut short in the second batch") << -2 << 2;
    }

    void readsWideRowsAcrossBatches()
    {
        QFETCH(int, badValue);
        QFETCH(int, rows);
        const int ncols = 1500000;
        QByteArray text = "ncols 1500000\nnrows 3\nxllcorner 0\nyllcorner 0\ncellsize 1\n";
        text.reserve(4 * 3 * ncols + 100);
        const int values = badValue == -2 ? 2 * ncols + 10 : 3 * ncols;
        for (int i = 0; i < values; ++i)
            text += i == badValue ? QByteArray("1,2 ") : QByteArray::number(i % 97) + ((i + 1) % 1000 ? " " : "\n");
        recordingSink sink;
        asciiGridStream stream;
        rasterHeader header;
        QVERIFY(readGridHeader(writeFile(text), header, stream, sink));
        elevationGrid elevation;
        QVERIFY(readElevationRows(stream, elevation, header.nrows, header.ncols));
        QCOMPARE(elevation.rows(), rows);
        for (std::size_t i = 0; i < elevation.size(); ++i)
            if (elevation.data()[i] != float(i % 97))
                QFAIL(qPrintable(QStringLiteral("value %1 is %2").arg(i).arg(elevation.data()[i])));
    }

    void readsStartCells_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("nrows");
        QTest::addColumn<QList<int>>("cells");  // row, column pairs
        QTest::addColumn<QString>("error");
        QTest::newRow("values above 0 mark cells")
            << QByteArray("0 1 0.5\n250 0 -1\n0 1e-45 0\n") << 3 << QList<int>{0, 1, 0, 2, 1, 0, 2, 1} << QString();
        QTest::newRow("zeros and negatives") << QByteArray("0 -1 -9999\n0 0 -0.5\n") << 2 << QList<int>{} << QString();
        QTest::newRow("below a float's range is 0") << QByteArray("1e-46 0 0\n") << 1 << QList<int>{} << QString();
        QTest::newRow("letter in third row") << QByteArray("0 0 1\n0 0 0\n0 a 0\n") << 3 << QList<int>{}
                                             << "Failed to parse start cells file. Syntax error on line 9.";
        QTest::newRow("cut short") << QByteArray("0 0 1\n0 0\n") << 2 << QList<int>{}
                                   << "Failed to parse start cells file. Syntax error on line 8.";
        QTest::newRow("fewer rows up to the end") << QByteArray("0 1 0") << 5 << QList<int>{0, 1} << QString();
        QTest::newRow("no data") << QByteArray() << 2 << QList<int>{} << QString();
    }

    void readsStartCells()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, nrows);
        QFETCH(QList<int>, cells);
        QFETCH(QString, error);
        asciiGridStream stream;
        QVERIFY(openOnBytes(stream, data));
        recordingSink sink;
        std::vector<startCell> found;
        QCOMPARE(readStartCells(stream, found, nrows, 3, sink), error.isEmpty());
        QCOMPARE(sink.log, error.isEmpty() ? QStringList() : QStringList{"error: " + error});
        QList<int> pairs;
        for (const startCell& cell : found)
            pairs << cell.row << cell.col;
        if (error.isEmpty())
            QCOMPARE(pairs, cells);
    }

    // Value bits, status, end and unread rest as a Qt text stream reads them.
    void readsNumbersAsTextStream_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("chunk");
        QTest::addColumn<int>("reads");
        const QList<QByteArray> tokens = awkwardTokens();
        for (int chunk : {1, 7, 130, int(asciiGridStream::defaultChunkSize)})
            QTest::addRow("awkward tokens, chunk %d", chunk) << tokens.join(' ') << chunk << 400;
        // Each token alone and between awkward neighbours.
        int row = 0;
        for (const QByteArray& token : tokens)
            for (const char* context :
                 {"%1", " %1 ", "%1\n", "\xC2\xA0%1\r\n8", "%1 \xE2\x80", "\t%1,9", "%1\357\273\2775"})
                QTest::addRow("token %d", row++) << QByteArray(context).replace("%1", token) << 7 << 4;
        const QByteArray digits(130, '7');
        QTest::newRow("overlong number") << digits + "8.5 6" << 7 << 3;
        QTest::newRow("overlong then point") << digits + ".25 6" << 130 << 3;
        QTest::newRow("overlong fraction") << "0." + digits + " 6" << 1 << 3;
        QTest::newRow("only white space") << QByteArray(" \t\r\n\xC2\xA0 ") << 7 << 2;
        QTest::newRow("empty") << QByteArray() << 7 << 2;
        for (const char* tail :
             {"\xC2", "\xE2\x80", "\xF0\x9F\x98", "\xE0\x80", "\xC0", "\xF5\x80", "\x80", "\xC3\xA9"})
            QTest::addRow("ends with %s", QByteArray(tail).toHex().constData()) << "5 " + QByteArray(tail) << 1 << 3;
        QTest::newRow("UTF-16 big endian") << QByteArray(
            QStringEncoder(QStringEncoder::Utf16BE, QStringEncoder::Flag::WriteBom)(QStringLiteral("1.5\u3000-2 x")))
                                           << 7 << 4;
        std::mt19937_64 random(20240611);
        for (int text = 0; text < 3300; ++text) {
            // The long texts make the bulk read take its own route over the buffer.
            const int tokenCount = text < 3000 ? 1 + static_cast<int>(random() % 4) : 40;
            QByteArray bytes;
            for (int t = 0; t < tokenCount; ++t)
                bytes += randomSeparator(random) + randomToken(random, text < 3000 || text % 2);
            const int chunk = text < 3000 ? 1 + static_cast<int>(random() % 64) : 64 + static_cast<int>(random() % 512);
            QTest::addRow("random text %d", text) << bytes + randomSeparator(random) << chunk << tokenCount + 2;
        }
        QByteArray large;
        for (int t = 0; t < 200000; ++t)
            large += randomToken(random, false) + (t % 10 == 9 ? "\r\n" : " ");
        QTest::newRow("many random numbers") << large << 4096 << 200002;
    }

    void readsNumbersAsTextStream()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, chunk);
        QFETCH(int, reads);
        QByteArray referenceBytes = text;
        QBuffer referenceDevice(&referenceBytes);
        referenceDevice.open(QIODevice::ReadOnly);
        QTextStream reference(&referenceDevice);
        asciiGridStream stream;
        QVERIFY(openOnBytes(stream, text, chunk));
        for (int read = 0; read < reads; ++read) {
            float expected = -1.0f;
            float actual = -1.0f;
            reference >> expected;
            if (read % 2)
                stream.readFloats(&actual, 1);
            else
                stream.readFloat(actual);
            const QByteArray where =
                "read " + QByteArray::number(read) + " of " + text.left(200).toPercentEncoding(" .+-");
            QVERIFY2(sameFloat(actual, expected), where + ": " + QByteArray::number(actual, 'g', 9));
            QVERIFY2(int(stream.status()) == int(reference.status()) && stream.atEnd() == reference.atEnd(), where);
        }
        QCOMPARE(stream.readAll(), reference.readAll());
    }

    // Stricter than the float: the double before narrowing is the C locale's,
    // bit for bit, so that no float tie can come out wrong.
    void convertsTokensAsCLocale()
    {
        std::mt19937_64 random(7);
        QList<QByteArray> tokens = awkwardTokens();
        for (int t = 0; t < 200000; ++t)
            tokens << randomToken(random);
        for (int t = 0; t < 100000; ++t)  // mantissas near the exact-double limit, exponents near exact powers of ten
            tokens << QByteArray::number(qulonglong(random() % (uint64_t(1) << (40 + random() % 24)))) + 'e'
                          + QByteArray::number(int(random() % 61) - 30);
        for (const QByteArray& token : tokens) {
            const QByteArray text =
                token.left(scanRealToken(token.constData(), token.constData() + token.size()).length);
            double actual = 0.0;
            const bool actualOk = realTokenToDouble(text.constData(), int(text.size()), actual);
            const QByteArray lower = text.toLower();
            bool expectedOk = true;
            const double expected = lower == "nan" || lower == "+nan" || lower == "-nan" ? NAN
                                    : lower == "inf" || lower == "+inf"                  ? INFINITY
                                    : lower == "-inf"                                    ? -INFINITY
                                                      : QLocale::c().toDouble(QString::fromLatin1(text), &expectedOk);
            QVERIFY2(actualOk == expectedOk, text.constData());
            QVERIFY2(!expectedOk || (std::isnan(actual) && std::isnan(expected))
                         || std::memcmp(&actual, &expected, sizeof actual) == 0,
                     text.constData());
        }
    }

    // Large counts take the two-thread route; whatever it cannot take, and
    // every place the text is cut, reads as one value at a time.
    void readsLargeCountsAsOneByOne_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("chunk");
        const int n = 140000;
        const int big = int(asciiGridStream::defaultChunkSize);
        const QByteArray plain = elevationText(n, "\n");
        QTest::newRow("plain") << plain << n << big;
        QTest::newRow("CRLF, no final break") << elevationText(n, "\r\n", {}, false) << n << big;
        QTest::newRow("count ends mid-text") << plain << n - 77777 << big;
        QTest::newRow("just above the route's minimum")
            << plain << int(asciiGridStream::parallelReadMinimum) + 3 << big;
        QTest::newRow("text shorter than count") << elevationText(n, "\r\n", {}, false) << n + 5 << big;
        // Unusual spaces written in octal: a hexadecimal escape would swallow the digit after it.
        const QList<QByteArray> odd = QByteArray("1e5 -2.5E-3 +7 .5 5. nan -inf 1e39 -0 0012345678901234567890123 "
                                                 "12\302\24013 7\343\200\200-8 1\0342 3\v4\f5")
                                          .split(' ');
        QList<QPair<int, QByteArray>> unusual;
        for (int i = 0; i < odd.size(); ++i)
            unusual.append({10 + 9700 * i, odd.at(i)});
        QTest::newRow("unusual values and spaces") << elevationText(n, "\r\n", unusual) << n + 5 << big;
        QTest::newRow("the same in small chunks") << elevationText(n, "\n", unusual) << n + 5 << 1000;
        QList<QPair<int, QByteArray>> exponents;
        for (int i = 50000; i < 90000; ++i)
            exponents.append({i, "1.5e1"});
        QTest::newRow("long stretch of exponents") << elevationText(n, "\n", exponents) << n << big;
        for (const int at : {0, 65536, 139999}) {
            QTest::addRow("unreadable at %d", at) << elevationText(n, "\n", {{at, "12x"}}) << n << big;
            QTest::addRow("overflow at %d", at) << elevationText(n, "\n", {{at, "-1e400"}}) << n << big;
        }
        QTest::newRow("invalid UTF-8") << elevationText(n, "\n", {{110000, "5\xFF"}}) << n << big;
        QTest::newRow("ends inside a character") << elevationText(n, "\n", {}, false) + " \xE2\x80" << n + 1 << big;
    }

    void readsLargeCountsAsOneByOne()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, count);
        QFETCH(int, chunk);
        asciiGridStream bulk;
        asciiGridStream reference;
        QVERIFY(openOnBytes(bulk, text, chunk) && openOnBytes(reference, text, chunk));
        std::vector<float> values(static_cast<std::size_t>(count), -1.0f);
        const qsizetype read = bulk.readFloats(values.data(), count);
        qsizetype expectedRead = 0;
        for (float expected = 0.0f; expectedRead < count && reference.readFloat(expected); ++expectedRead)
            QVERIFY2(sameFloat(values[std::size_t(expectedRead)], expected), qPrintable(QString::number(expectedRead)));
        QCOMPARE(read, expectedRead);
        QCOMPARE(int(bulk.status()), int(reference.status()));
        QCOMPARE(bulk.pos(), reference.pos());
        QCOMPARE(bulk.atEnd(), reference.atEnd());
        QCOMPARE(bulk.readAll(), reference.readAll());
    }

    void readsLinesAsTextStream_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("LF and CRLF") << QByteArray("a\nb\r\nc\r\n\nd");
        QTest::newRow("lone CR stays") << QByteArray("a\rb\n\r\r\n");
        QTest::newRow("final CR dropped") << QByteArray("a\nb\r");
        QTest::newRow("byte order marks") << QByteArray("\357\273\277a\n\357\273\277b\n");
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
        for (QString line; !reference.atEnd();) {
            QVERIFY(stream.readLine(line));
            QCOMPARE(line, reference.readLine());
        }
        QVERIFY(stream.atEnd());
    }
};

QTEST_GUILESS_MAIN(tst_gridReader)
#include "tst_gridReader.moc"

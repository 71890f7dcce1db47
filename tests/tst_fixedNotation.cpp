#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include <QTextStream>
#include <QtTest>

#include "raster/fixedNotation.h"

using valueList = std::vector<double>;

namespace {

double fromBits(std::uint64_t bits)
{
    double value = 0.0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

valueList decimalTies()
{
    valueList values;
    for (int k = -40000; k <= 40000; ++k)
        values.push_back(k / 4.0);
    for (int k = -20000; k <= 20000; ++k)
        values.push_back(k / 128.0);
    for (int k = 1; k < 4000; k += 2)
        values.push_back(std::ldexp(k, -7) + 1.0e6);  // ties at 6 decimals on big coordinates
    // Ties whose mantissa uses all 53 bits, at 0, 6 and 17 decimals.
    for (int k = 0; k < 2000; ++k) {
        const double oddMantissa = std::ldexp(1.0, 52) + 2 * k + 1;
        for (int exponent : {-1, -7, -18})
            values.push_back(std::ldexp(k % 2 ? oddMantissa : -oddMantissa, exponent));
    }
    return values;
}

// n / R / s * 100 as the aggregation forms the reach probability.
valueList reachProbabilities()
{
    valueList values;
    for (int simulations : {1, 3, 7, 10, 30, 100, 128, 333, 1000})
        for (int startCells = 1; startCells <= 6; ++startCells)
            for (int n = 0; n <= startCells * simulations; ++n)
                values.push_back(static_cast<double>(n) / startCells / simulations * 100.0);
    return values;
}

valueList randomDoubles()
{
    std::mt19937_64 engine(20240611);
    valueList values;
    while (values.size() < 20000) {
        const double value = fromBits(engine());
        if (std::isfinite(value))
            values.push_back(value);
    }
    std::uniform_real_distribution<double> moderate(-1.0e6, 1.0e6);
    for (int i = 0; i < 100000; ++i)
        values.push_back(moderate(engine));
    std::uniform_real_distribution<double> percent(0.0, 100.0);
    for (int i = 0; i < 100000; ++i)
        values.push_back(percent(engine));
    return values;
}

// Coordinates and elevations are floats; the stream widens them to double.
valueList widenedFloats()
{
    std::mt19937 engine(7);
    valueList values;
    for (int k = -4000; k <= 4000; ++k)
        values.push_back(static_cast<float>(600000.0 + k / 4.0));
    values.push_back(600012.25f);
    values.push_back(-600012.25f);
    std::uniform_real_distribution<float> coordinates(0.0f, 5.0e6f);
    std::uniform_real_distribution<float> elevations(-500.0f, 9000.0f);
    for (int i = 0; i < 50000; ++i) {
        values.push_back(coordinates(engine));
        values.push_back(elevations(engine));
    }
    for (int i = 0; i < 50000; ++i) {
        float value = 0.0f;
        const std::uint32_t bits = engine();
        std::memcpy(&value, &bits, sizeof value);
        if (std::isfinite(value))
            values.push_back(value);
    }
    return values;
}

// Neighbours of the halfway points, where a rounding slip shows first.
valueList nearHalfway()
{
    valueList values;
    for (int k = -2000; k <= 2000; ++k) {
        for (double halfway : {k / 10.0 + 0.05, k / 1.0e6 + 5.0e-7, k + 0.5}) {
            values.push_back(halfway);
            values.push_back(std::nextafter(halfway, -HUGE_VAL));
            values.push_back(std::nextafter(halfway, HUGE_VAL));
        }
    }
    return values;
}

valueList specialValues()
{
    const double infinity = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    return {0.0, -0.0, nan, -nan, infinity, -infinity,
            std::numeric_limits<double>::denorm_min(), -std::numeric_limits<double>::denorm_min(),
            std::numeric_limits<double>::min(), std::numeric_limits<double>::max(),
            std::numeric_limits<double>::lowest(), -0.04, -0.05, -0.049999, 1.0e-300, -1.0e-300, 9.95, 99.95,
            std::ldexp(1.0, 53) - 1.0, std::ldexp(1.0, 53) + 2.0, std::ldexp(1.0, 63), std::ldexp(1.0, 64),
            std::ldexp(1.0, 64) * 3.0, 1.8e19, 1.0e20, 1.0e21, 1.0e300, -9999.0, 0.1, 0.7, 1.0 / 3.0};
}

QStringList textStreamTexts(const valueList& values, int decimals)
{
    QString text;
    QTextStream stream(&text);
    stream.setRealNumberNotation(QTextStream::FixedNotation);
    stream.setRealNumberPrecision(decimals);
    for (double value : values)
        stream << value << '\n';
    stream.flush();
    QStringList texts = text.split(u'\n');
    texts.removeLast();
    return texts;
}

}  // namespace

// The formatter must give the bytes a QTextStream in FixedNotation gives, so
// most cases here compare the two over many values.
class fixedNotationTest : public QObject
{
    Q_OBJECT

private slots:
    void writesTheTextStreamsRounding_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("a tie rounds up") << 0.25 << 1 << QByteArray("0.3");
        QTest::newRow("a negative tie rounds down") << -0.25 << 1 << QByteArray("-0.3");
        QTest::newRow("a tie at six decimals") << 0.0078125 << 6 << QByteArray("0.007813");
        QTest::newRow("a carry into a new digit") << 99.95 << 1 << QByteArray("100.0");
        QTest::newRow("below zero keeps the sign") << -0.04 << 1 << QByteArray("-0.0");
        QTest::newRow("negative zero has no sign") << -0.0 << 1 << QByteArray("0.0");
        QTest::newRow("header coordinate") << 600000.0 << 6 << QByteArray("600000.000000");
        QTest::newRow("no point without decimals") << 2.5 << 0 << QByteArray("3");
        QTest::newRow("not a number") << -std::numeric_limits<double>::quiet_NaN() << 1 << QByteArray("nan");
        QTest::newRow("negative infinity") << -std::numeric_limits<double>::infinity() << 1 << QByteArray("-inf");
    }

    void writesTheTextStreamsRounding()
    {
        QFETCH(double, value);
        QFETCH(int, decimals);
        QFETCH(QByteArray, expected);
        QCOMPARE(fixedText(value, decimals), expected);
    }

    void agreesWithTextStream_data()
    {
        QTest::addColumn<valueList>("values");
        QTest::addColumn<int>("decimals");

        const std::pair<const char*, valueList> families[] = {
            {"decimal ties", decimalTies()},          {"reach probabilities", reachProbabilities()},
            {"random doubles", randomDoubles()},      {"widened floats", widenedFloats()},
            {"next to halfway points", nearHalfway()}, {"special values", specialValues()}};
        for (const auto& [name, values] : families)
            for (int decimals : {0, 1, 6, maxFixedDecimals})
                QTest::addRow("%s, %d decimals", name, decimals) << values << decimals;
    }

    void agreesWithTextStream()
    {
        QFETCH(valueList, values);
        QFETCH(int, decimals);

        const QStringList expected = textStreamTexts(values, decimals);
        QCOMPARE(static_cast<std::size_t>(expected.size()), values.size());
        int mismatches = 0;
        QString firstMismatch;
        for (std::size_t i = 0; i < values.size(); ++i) {
            const QByteArray text = fixedText(values[i], decimals);
            if (text != expected[static_cast<qsizetype>(i)].toLatin1() && mismatches++ == 0)
                firstMismatch = QStringLiteral("%1 gives %2, the stream %3")
                                    .arg(values[i], 0, 'g', 17)
                                    .arg(QString::fromLatin1(text), expected[static_cast<qsizetype>(i)]);
        }
        QVERIFY2(mismatches == 0, qPrintable(QStringLiteral("%1 of %2 differ; %3")
                                                 .arg(mismatches)
                                                 .arg(values.size())
                                                 .arg(firstMismatch)));
    }
};

QTEST_APPLESS_MAIN(fixedNotationTest)
#include "tst_fixedNotation.moc"

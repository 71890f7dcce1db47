#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include <QFile>
#include <QTextStream>
#include <QtTest>

#include "raster/fixedNotation.h"

using valueList = std::vector<double>;

namespace {

// Ties at 1, 2 and 6 decimals, ties with all 53 mantissa bits, the reach
// probabilities n / R / s * 100 as aggregation forms them, and the neighbours
// of halfway points, where a rounding slip shows first.
valueList roundingEdges()
{
    valueList values;
    for (int k = -20000; k <= 20000; ++k)
        values.insert(values.end(), {k / 4.0, k / 128.0, std::ldexp(k, -7) + 1.0e6});
    for (int k = 0; k < 2000; ++k)
        for (int exponent : {-1, -7, -18})
            values.push_back(std::ldexp((k % 2 ? 1 : -1) * (std::ldexp(1.0, 52) + 2 * k + 1), exponent));
    for (int simulations : {1, 3, 7, 10, 30, 100, 128, 333, 1000})
        for (int startCells = 1; startCells <= 6; ++startCells)
            for (int n = 0; n <= startCells * simulations; ++n)
                values.push_back(static_cast<double>(n) / startCells / simulations * 100.0);
    for (int k = -2000; k <= 2000; ++k)
        for (double halfway : {k / 10.0 + 0.05, k / 1.0e6 + 5.0e-7, k + 0.5})
            values.insert(values.end(),
                          {halfway, std::nextafter(halfway, -HUGE_VAL), std::nextafter(halfway, HUGE_VAL)});
    return values;
}

// Any finite double or float bits, moderate values and percentages, and
// coordinates and elevations as floats widened to double.
valueList randomValues()
{
    std::mt19937_64 engine(20240611);
    valueList values;
    for (int i = 0; i < 40000; ++i) {
        const uint64_t bits = engine();
        double wide;
        float narrow;
        std::memcpy(&wide, &bits, sizeof wide);
        std::memcpy(&narrow, &bits, sizeof narrow);
        for (double value : {wide, double(narrow)})
            if (std::isfinite(value))
                values.push_back(value);
        values.push_back(std::uniform_real_distribution<double>(-1.0e6, 1.0e6)(engine));
        values.push_back(std::uniform_real_distribution<double>(0.0, 100.0)(engine));
        values.push_back(std::uniform_real_distribution<float>(0.0f, 5.0e6f)(engine));
        values.push_back(std::uniform_real_distribution<float>(-500.0f, 9000.0f)(engine));
    }
    return values;
}

// Fixed awkward values, one token per value as the C library reads them.
valueList specialValues()
{
    QFile file(QStringLiteral(TEST_DATA_DIR "/specialValues.txt"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(file.fileName()));
    valueList values;
    for (const QByteArray& line : file.readAll().split('\n'))
        for (const QByteArray& token : line.startsWith('#') ? QList<QByteArray>{} : line.simplified().split(' '))
            if (!token.isEmpty())
                values.push_back(std::strtod(token.constData(), nullptr));
    return values;
}

}  // namespace

// The formatter must give the bytes a QTextStream in FixedNotation gives.
class tst_fixedNotation : public QObject
{
    Q_OBJECT

private slots:
    void agreesWithTextStream_data()
    {
        QTest::addColumn<valueList>("values");
        QTest::addColumn<int>("decimals");
        const std::pair<const char*, valueList> families[] = {{"rounding edges", roundingEdges()},
                                                              {"random values", randomValues()},
                                                              {"special values", specialValues()}};
        for (const auto& [name, values] : families)
            for (int decimals : {0, 1, 6, maxFixedDecimals})
                QTest::addRow("%s, %d decimals", name, decimals) << values << decimals;
    }

    void agreesWithTextStream()
    {
        QFETCH(valueList, values);
        QFETCH(int, decimals);
        QString text;
        QTextStream stream(&text);
        stream.setRealNumberNotation(QTextStream::FixedNotation);
        stream.setRealNumberPrecision(decimals);
        for (double value : values)
            stream << value << '\n';
        stream.flush();
        const QStringList expected = text.split(u'\n');
        int mismatches = 0;
        QString first;
        for (std::size_t i = 0; i < values.size(); ++i) {
            const QByteArray mine = fixedText(values[i], decimals);
            if (mine != expected.at(qsizetype(i)).toLatin1() && mismatches++ == 0)
                first = QStringLiteral("%1 gives %2, the stream %3")
                            .arg(values[i], 0, 'g', 17)
                            .arg(QString::fromLatin1(mine), expected.at(qsizetype(i)));
        }
        QVERIFY2(mismatches == 0,
                 qPrintable(QStringLiteral("%1 of %2 differ; %3").arg(mismatches).arg(values.size()).arg(first)));
    }
};

QTEST_APPLESS_MAIN(tst_fixedNotation)
#include "tst_fixedNotation.moc"

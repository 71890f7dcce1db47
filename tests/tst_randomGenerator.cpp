#include <QtTest>

#include <thread>
#include <vector>

#include "engine/randomGenerator.h"

class tst_randomGenerator : public QObject
{
    Q_OBJECT

private slots:
    void engineStartsFromStateOne();
    void firstDrawCombinesTheFirstTwoOutputs();
    void roundingUpToOneGivesTheLargestValueBelowOne();
    void drawsStayInTheUnitInterval();
    void freshGeneratorsRepeatTheSequence();
    void concurrentDrawsShareOneSequenceWithoutTearingDraws();
};

void tst_randomGenerator::engineStartsFromStateOne()
{
    QCOMPARE(randomGenerator::step(1), 16807u);
    QCOMPARE(randomGenerator::step(16807), 282475249u);
    // The largest state maps back into 1 .. 2^31 - 2 without overflow.
    const uint32_t next = randomGenerator::step(2147483646u);
    QVERIFY(next >= 1u && next <= 2147483646u);
    QCOMPARE(next, static_cast<uint32_t>((2147483646ull * 16807ull) % 2147483647ull));
}

void tst_randomGenerator::firstDrawCombinesTheFirstTwoOutputs()
{
    randomGenerator generator;
    const double range = 2147483646.0;
    const double expected = ((16807.0 - 1.0) + (282475249.0 - 1.0) * range) / (range * range);
    QCOMPARE(generator.draw(), expected);
}

void tst_randomGenerator::roundingUpToOneGivesTheLargestValueBelowOne()
{
    const double u = randomGenerator::canonical(2147483646u, 2147483646u);
    QVERIFY(u < 1.0);
    QCOMPARE(u, 0.9999999999999999);
    QCOMPARE(randomGenerator::canonical(1u, 1u), 0.0);
}

void tst_randomGenerator::drawsStayInTheUnitInterval()
{
    randomGenerator generator;
    for (int i = 0; i < 200000; ++i) {
        const double u = generator.draw();
        QVERIFY2(u >= 0.0 && u < 1.0, qPrintable(QString::number(u, 'g', 17)));
    }
}

void tst_randomGenerator::freshGeneratorsRepeatTheSequence()
{
    randomGenerator first;
    randomGenerator second;
    for (int i = 0; i < 1000; ++i)
        QCOMPARE(first.draw(), second.draw());
}

// Each draw claims two engine steps at once: the values drawn by two racing
// threads are exactly the values one thread draws alone, none lost, none
// made of a half of one draw and a half of another.
void tst_randomGenerator::concurrentDrawsShareOneSequenceWithoutTearingDraws()
{
    const int perThread = 50000;
    randomGenerator shared;
    std::vector<double> drawnA;
    std::vector<double> drawnB;
    auto drawInto = [&shared, perThread](std::vector<double>& out) {
        out.reserve(perThread);
        for (int i = 0; i < perThread; ++i)
            out.push_back(shared.draw());
    };
    std::thread a(drawInto, std::ref(drawnA));
    std::thread b(drawInto, std::ref(drawnB));
    a.join();
    b.join();

    std::vector<double> concurrent = drawnA;
    concurrent.insert(concurrent.end(), drawnB.begin(), drawnB.end());
    std::sort(concurrent.begin(), concurrent.end());

    randomGenerator alone;
    std::vector<double> serial;
    for (int i = 0; i < 2 * perThread; ++i)
        serial.push_back(alone.draw());
    std::sort(serial.begin(), serial.end());
    QVERIFY(concurrent == serial);
}

QTEST_APPLESS_MAIN(tst_randomGenerator)
#include "tst_randomGenerator.moc"

#include <QtTest>

#include <algorithm>
#include <thread>
#include <vector>

#include "engine/randomGenerator.h"

class tst_randomGenerator : public QObject
{
    Q_OBJECT

private slots:
    void freshGeneratorsStartTheSameFixedSequence()
    {
        QCOMPARE(randomGenerator::step(1), 16807u);
        QCOMPARE(randomGenerator::step(16807), 282475249u);
        // The largest state stays in range without a 64-bit product.
        QCOMPARE(randomGenerator::step(2147483646u), uint32_t((2147483646ull * 16807ull) % 2147483647ull));

        randomGenerator first;
        randomGenerator second;
        const double range = 2147483646.0;
        const double expected = ((16807.0 - 1.0) + (282475249.0 - 1.0) * range) / (range * range);
        QCOMPARE(first.draw(), expected);
        QCOMPARE(second.draw(), expected);
        for (int i = 0; i < 100000; ++i) {
            const double u = first.draw();
            QVERIFY(u >= 0.0 && u < 1.0);
            QCOMPARE(second.draw(), u);
        }
    }

    void roundingUpToOneGivesTheLargestValueBelowOne()
    {
        QCOMPARE(randomGenerator::canonical(2147483646u, 2147483646u), 0.9999999999999999);
        QCOMPARE(randomGenerator::canonical(1u, 1u), 0.0);
    }

    // Each draw claims its two engine steps at once: the values drawn by two
    // racing threads are exactly those one thread draws alone, none lost and
    // none made of halves of two draws.
    void concurrentDrawsShareOneSequenceWithoutTearingDraws()
    {
        const int perThread = 50000;
        randomGenerator shared;
        std::vector<double> drawn[2];
        auto drawInto = [&shared](std::vector<double>& out) {
            for (int i = 0; i < perThread; ++i)
                out.push_back(shared.draw());
        };
        std::thread a(drawInto, std::ref(drawn[0]));
        std::thread b(drawInto, std::ref(drawn[1]));
        a.join();
        b.join();
        std::vector<double> concurrent = drawn[0];
        concurrent.insert(concurrent.end(), drawn[1].begin(), drawn[1].end());
        std::sort(concurrent.begin(), concurrent.end());

        randomGenerator alone;
        std::vector<double> serial(2 * perThread);
        for (double& u : serial)
            u = alone.draw();
        std::sort(serial.begin(), serial.end());
        QVERIFY(concurrent == serial);
    }
};

QTEST_APPLESS_MAIN(tst_randomGenerator)
#include "tst_randomGenerator.moc"

#include <QtTest>

#include <cmath>
#include <limits>

#include "engine/stopCriterion.h"

class tst_stopCriterion : public QObject
{
    Q_OBJECT

private slots:
    // Angles just either side of each class's threshold, at the cap (shape
    // factor up to 0.07) and on the logarithmic branch.
    void stopsWhereTheEnergyLineIsFlatterThanTheThreshold_data()
    {
        QTest::addColumn<int>("riskClass");
        QTest::addColumn<float>("shapeFactor");
        QTest::addColumn<double>("angleDegrees");
        QTest::addColumn<bool>("stops");
        // The float nearest 0.07 is just above it and takes the logarithm
        // (threshold 60.4362); the next float below takes the cap (60.44).
        const float nearest007 = 0.07f;
        const float below007 = std::nextafter(nearest007, 0.0f);
        const float nan = std::numeric_limits<float>::quiet_NaN();
        QTest::newRow("0.07f log branch, 60.43") << 0 << nearest007 << 60.43 << true;
        QTest::newRow("0.07f log branch, 60.437") << 0 << nearest007 << 60.437 << false;
        QTest::newRow("below 0.07 cap, 60.437") << 0 << below007 << 60.437 << true;
        QTest::newRow("below 0.07 cap, 60.441") << 0 << below007 << 60.441 << false;
        QTest::newRow("negative shape uses the cap") << 0 << -3.5f << 60.43 << true;
        QTest::newRow("low, shape 2, 8.03") << 0 << 2.0f << 8.03 << true;
        QTest::newRow("low, shape 2, 8.04") << 0 << 2.0f << 8.04 << false;
        QTest::newRow("medium, shape 2, 8.55") << 1 << 2.0f << 8.55 << true;
        QTest::newRow("medium, shape 2, 8.56") << 1 << 2.0f << 8.56 << false;
        QTest::newRow("medium cap, 62.19") << 1 << 0.0f << 62.19 << true;
        QTest::newRow("medium cap, 62.21") << 1 << 0.0f << 62.21 << false;
        QTest::newRow("high, shape 2, 9.49") << 2 << 2.0f << 9.49 << true;
        QTest::newRow("high, shape 2, 9.50") << 2 << 2.0f << 9.50 << false;
        QTest::newRow("high cap, 65.90") << 2 << 0.0f << 65.90 << true;
        QTest::newRow("high cap, 65.92") << 2 << 0.0f << 65.92 << false;
        // Above a shape factor of about 3.345 the low threshold is negative (-2.795 at 4).
        QTest::newRow("large shape, small angle") << 0 << 4.0f << 0.5 << false;
        QTest::newRow("large shape, steeper negative angle") << 0 << 4.0f << -3.0 << true;
        // The logarithm is rounded to float first: kept in double, its threshold would lie above this angle.
        QTest::newRow("logarithm in float") << 0 << 1.6488499641418457f << 11.055779800625874 << false;
        QTest::newRow("NaN angle") << 0 << 0.01f << double(nan) << false;
        QTest::newRow("NaN shape") << 0 << nan << 1.0 << false;
    }

    void stopsWhereTheEnergyLineIsFlatterThanTheThreshold()
    {
        QFETCH(int, riskClass);
        QFETCH(float, shapeFactor);
        QFETCH(double, angleDegrees);
        QFETCH(bool, stops);
        const auto strategy = makeStopCriterion(riskClass);
        QVERIFY(strategy);
        QCOMPARE(strategy->shouldStop(shapeFactor, static_cast<float>(angleDegrees * 3.141592653589793 / 180.0)),
                 stops);
    }

    void onlyTheThreeClassesHaveAStrategy()
    {
        QVERIFY(!makeStopCriterion(-1));
        QVERIFY(!makeStopCriterion(3));
    }
};

QTEST_APPLESS_MAIN(tst_stopCriterion)
#include "tst_stopCriterion.moc"

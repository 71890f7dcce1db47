#include <QtTest>

#include <cmath>
#include <limits>

#include "engine/stopCriterion.h"

namespace {
float radians(double degrees)
{
    return static_cast<float>(degrees * 3.141592653589793 / 180.0);
}
}

class tst_stopCriterion : public QObject
{
    Q_OBJECT

private slots:
    void stopsWhereTheEnergyLineIsFlatterThanTheThreshold_data()
    {
        QTest::addColumn<int>("riskIntensity");
        QTest::addColumn<float>("shapeFactor");
        QTest::addColumn<double>("angleDegrees");
        QTest::addColumn<bool>("stops");

        const float nearest007 = 0.07f;  // 0.07000000029802322: just above 0.07
        const float below007 = std::nextafter(nearest007, 0.0f);
        const float nan = std::numeric_limits<float>::quiet_NaN();

        // The float nearest 0.07 takes the logarithm (threshold 60.4362), the
        // next float below takes the cap (60.44); 60.437 tells them apart.
        QTest::newRow("0.07f log branch, 60.43") << 0 << nearest007 << 60.43 << true;
        QTest::newRow("0.07f log branch, 60.437") << 0 << nearest007 << 60.437 << false;
        QTest::newRow("0.07f log branch, 60.44") << 0 << nearest007 << 60.44 << false;
        QTest::newRow("below 0.07 cap, 60.437") << 0 << below007 << 60.437 << true;
        QTest::newRow("below 0.07 cap, 60.441") << 0 << below007 << 60.441 << false;
        QTest::newRow("negative shape uses cap") << 0 << -3.5f << 60.43 << true;
        QTest::newRow("low, shape 1, 18.87") << 0 << 1.0f << 18.87 << true;
        QTest::newRow("low, shape 1, 18.88") << 0 << 1.0f << 18.88 << false;
        QTest::newRow("medium, shape 1, 19.64") << 1 << 1.0f << 19.64 << true;
        QTest::newRow("medium cap, 62.21") << 1 << 0.0f << 62.21 << false;
        QTest::newRow("high, shape 1, 21.16") << 2 << 1.0f << 21.16 << false;
        QTest::newRow("high cap, 65.90") << 2 << 0.0f << 65.90 << true;
        // Above a shape factor of about 3.345 the low threshold is negative
        // (-2.795 at 4).
        QTest::newRow("large shape, small angle") << 0 << 4.0f << 0.5 << false;
        QTest::newRow("large shape, steeper negative angle") << 0 << 4.0f << -3.0 << true;
        QTest::newRow("NaN angle") << 0 << 0.01f << double(nan) << false;
        QTest::newRow("NaN shape") << 0 << nan << 1.0 << false;
    }

    void stopsWhereTheEnergyLineIsFlatterThanTheThreshold()
    {
        QFETCH(int, riskIntensity);
        QFETCH(float, shapeFactor);
        QFETCH(double, angleDegrees);
        QFETCH(bool, stops);
        const auto strategy = makeStopCriterion(riskIntensity);
        QVERIFY(strategy);
        QCOMPARE(strategy->shouldStop(shapeFactor, radians(angleDegrees)), stops);
    }

    void eachClassSelectsItsStrategy()
    {
        QVERIFY(std::dynamic_pointer_cast<LowRiskStopCriterionStrategy>(makeStopCriterion(0)));
        QVERIFY(std::dynamic_pointer_cast<MediumRiskStopCriterionStrategy>(makeStopCriterion(1)));
        QVERIFY(std::dynamic_pointer_cast<HighRiskStopCriterionStrategy>(makeStopCriterion(2)));
        QVERIFY(!makeStopCriterion(-1));
        QVERIFY(!makeStopCriterion(3));
    }
};

QTEST_APPLESS_MAIN(tst_stopCriterion)
#include "tst_stopCriterion.moc"

#include "engine/stopCriterion.h"

#include <cmath>

#include "engine/angles.h"

namespace {
// Empirical energy-line thresholds: a cap angle for flat, concave-free
// profiles and a threshold falling with the logarithm of the shape factor.
// The two meet at shape factor 0.07, which keeps the threshold continuous.
struct energyLineThreshold
{
    double capDegrees;
    double slope;
    double intercept;
};

bool stopsBelowThreshold(const energyLineThreshold& threshold, float shapeFactor, float energyLineAngle)
{
    const double angleDegrees = static_cast<double>(energyLineAngle) * 180.0 / pi;
    if (static_cast<double>(shapeFactor) <= 0.07)
        return threshold.capDegrees > angleDegrees;
    // The logarithm is rounded to float before it is scaled: thresholds near
    // the cap depend on that rounding.
    const float logShape = static_cast<float>(std::log(static_cast<double>(shapeFactor)));
    const double limit = threshold.slope * static_cast<double>(logShape) + threshold.intercept;
    return limit > angleDegrees;
}

constexpr energyLineThreshold lowRisk{60.44, -15.63, 18.872};
constexpr energyLineThreshold mediumRisk{62.2, -16.0, 19.647};
constexpr energyLineThreshold highRisk{65.91, -16.83, 21.158};
}

bool LowRiskStopCriterionStrategy::shouldStop(float shapeFactor, float energyLineAngle) const
{
    return stopsBelowThreshold(lowRisk, shapeFactor, energyLineAngle);
}

bool MediumRiskStopCriterionStrategy::shouldStop(float shapeFactor, float energyLineAngle) const
{
    return stopsBelowThreshold(mediumRisk, shapeFactor, energyLineAngle);
}

bool HighRiskStopCriterionStrategy::shouldStop(float shapeFactor, float energyLineAngle) const
{
    return stopsBelowThreshold(highRisk, shapeFactor, energyLineAngle);
}

// Each shared pointer is made from the concrete class, so it deletes through
// the concrete type although the interface has no virtual destructor.
std::shared_ptr<iStopCriterionStrategy> makeStopCriterion(int riskIntensity)
{
    switch (riskIntensity) {
    case 0:
        return std::make_shared<LowRiskStopCriterionStrategy>();
    case 1:
        return std::make_shared<MediumRiskStopCriterionStrategy>();
    case 2:
        return std::make_shared<HighRiskStopCriterionStrategy>();
    default:
        return nullptr;
    }
}

#include "engine/stopCriterion.h"

#include <cmath>

#include "engine/angles.h"

namespace {
// The empirical energy-line criterion: a mass stops where the energy-line
// angle falls below a threshold that depends on the shape of the profile
// travelled. Up to a shape factor of 0.07 (nearly straight, concave-free
// profiles) the threshold is a fixed cap angle; beyond it the threshold
// falls with the logarithm of the shape factor,
//     threshold = slope x ln(shapeFactor) + intercept   (degrees).
// Each probability class has its own empirical set of the three
// coefficients; each cap is its logarithmic threshold at 0.07 rounded
// (60.438, 62.195 and 65.914 degrees), so the threshold is continuous and
// equals the intercept at shape factor 1.
constexpr double capShapeFactor = 0.07;

struct energyLineThreshold
{
    double capDegrees;
    double slope;
    double intercept;
};

double thresholdAngle(const energyLineThreshold& threshold, float shapeFactor)
{
    if (static_cast<double>(shapeFactor) <= capShapeFactor)
        return threshold.capDegrees;
    // The logarithm is rounded to float before it is scaled: thresholds near
    // the cap depend on that rounding.
    const float logShape = static_cast<float>(std::log(static_cast<double>(shapeFactor)));
    return threshold.slope * static_cast<double>(logShape) + threshold.intercept;
}

bool stopsBelowThreshold(const energyLineThreshold& threshold, float shapeFactor, float energyLineAngle)
{
    const double angleDegrees = static_cast<double>(energyLineAngle) * 180.0 / pi;
    return thresholdAngle(threshold, shapeFactor) > angleDegrees;
}

// Cap (degrees), slope and intercept of each class. The High class has the
// lowest thresholds, hence the longest runouts; the Low class the highest.
constexpr energyLineThreshold highClass{60.44, -15.63, 18.872};
constexpr energyLineThreshold mediumClass{62.2, -16.0, 19.647};
constexpr energyLineThreshold lowClass{65.91, -16.83, 21.158};
}  // namespace

bool HighClassStopCriterion::shouldStop(float shapeFactor, float energyLineAngle) const
{
    return stopsBelowThreshold(highClass, shapeFactor, energyLineAngle);
}

double HighClassStopCriterion::thresholdDegrees(float shapeFactor) const
{
    return thresholdAngle(highClass, shapeFactor);
}

bool MediumClassStopCriterion::shouldStop(float shapeFactor, float energyLineAngle) const
{
    return stopsBelowThreshold(mediumClass, shapeFactor, energyLineAngle);
}

double MediumClassStopCriterion::thresholdDegrees(float shapeFactor) const
{
    return thresholdAngle(mediumClass, shapeFactor);
}

bool LowClassStopCriterion::shouldStop(float shapeFactor, float energyLineAngle) const
{
    return stopsBelowThreshold(lowClass, shapeFactor, energyLineAngle);
}

double LowClassStopCriterion::thresholdDegrees(float shapeFactor) const
{
    return thresholdAngle(lowClass, shapeFactor);
}

// Each shared pointer is made from the concrete class, so it deletes through
// the concrete type although the interface has no virtual destructor.
std::shared_ptr<iStopCriterionStrategy> makeStopCriterion(int probabilityClass)
{
    switch (probabilityClass) {
    case 0:
        return std::make_shared<HighClassStopCriterion>();
    case 1:
        return std::make_shared<MediumClassStopCriterion>();
    case 2:
        return std::make_shared<LowClassStopCriterion>();
    default:
        return nullptr;
    }
}

#pragma once

#include <memory>

// Decides after each step whether the moving mass stops there, from the
// profile's shape factor and the energy-line angle (radians).
class iStopCriterionStrategy
{
public:
    virtual bool shouldStop(float shapeFactor, float energyLineAngle) const = 0;
    // The threshold angle (degrees) that shouldStop compares the energy-line
    // angle with, formed by the same steps.
    virtual double thresholdDegrees(float shapeFactor) const = 0;
};

class HighClassStopCriterion : public iStopCriterionStrategy
{
public:
    bool shouldStop(float shapeFactor, float energyLineAngle) const override;
    double thresholdDegrees(float shapeFactor) const override;
};

class MediumClassStopCriterion : public iStopCriterionStrategy
{
public:
    bool shouldStop(float shapeFactor, float energyLineAngle) const override;
    double thresholdDegrees(float shapeFactor) const override;
};

class LowClassStopCriterion : public iStopCriterionStrategy
{
public:
    bool shouldStop(float shapeFactor, float energyLineAngle) const override;
    double thresholdDegrees(float shapeFactor) const override;
};

// The criterion of class 0 High, 1 Medium or 2 Low; null for any other class.
std::shared_ptr<iStopCriterionStrategy> makeStopCriterion(int probabilityClass);

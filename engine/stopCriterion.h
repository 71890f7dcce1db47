#pragma once

#include <memory>

// Decides after each step whether the moving mass stops there, from the
// profile's shape factor and the energy-line angle (radians).
class iStopCriterionStrategy
{
public:
    virtual bool shouldStop(float shapeFactor, float energyLineAngle) const = 0;
};

class LowRiskStopCriterionStrategy : public iStopCriterionStrategy
{
public:
    bool shouldStop(float shapeFactor, float energyLineAngle) const override;
};

class MediumRiskStopCriterionStrategy : public iStopCriterionStrategy
{
public:
    bool shouldStop(float shapeFactor, float energyLineAngle) const override;
};

class HighRiskStopCriterionStrategy : public iStopCriterionStrategy
{
public:
    bool shouldStop(float shapeFactor, float energyLineAngle) const override;
};

// 0 low, 1 medium, 2 high risk strategy; null for any other class.
std::shared_ptr<iStopCriterionStrategy> makeStopCriterion(int riskIntensity);

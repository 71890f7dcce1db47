#include "engine/protectionMeasures.h"

#include <algorithm>
#include <cmath>

#include "engine/angles.h"
#include "engine/intensity.h"

double forestLoss(const forestSettings& settings, double forestIndex, double height, double thresholdDegrees,
                  double step)
{
    const double speedHeight = settings.speed * settings.speed / (2.0 * gravity);
    const double largest = forestIndex * settings.angleMax;
    const double slowed = std::min(std::max(height, 0.0), speedHeight) / speedHeight;
    const double added = std::max(settings.angleMin, largest - (largest - settings.angleMin) * slowed);
    return step * (std::tan((thresholdDegrees + added) * pi / 180.0) - std::tan(thresholdDegrees * pi / 180.0));
}

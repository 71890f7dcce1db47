#include "outputs/reportFigures.h"

#include <array>
#include <cmath>

#include <QLocale>

namespace {

// The first of the series 1, 2, 5 x 10^k at or above a positive finite
// `value`; each decade an exact power of ten, so the steps print round.
double roundUpTo125(double value)
{
    const int first = static_cast<int>(std::floor(std::log10(value))) - 1;
    for (int k = first; k <= first + 3; ++k)
        for (const double m : {1.0, 2.0, 5.0})
            if (m * std::pow(10.0, k) >= value)
                return m * std::pow(10.0, k);
    return value;
}

}  // namespace

double roundScaleDenominator(double groundWidth, double groundHeight, double frameWidth, double frameHeight)
{
    if (!(groundWidth > 0.0) || !(groundHeight > 0.0) || !(frameWidth > 0.0) || !(frameHeight > 0.0))
        return 0.0;
    // Below 1:10 a map has no use for 1:2.5; from 1:10 on 25 belongs to each decade.
    constexpr std::array<double, 3> small = {1.0, 2.0, 5.0};
    for (const double d : small)
        if (groundWidth <= frameWidth * d && groundHeight <= frameHeight * d)
            return d;
    constexpr std::array<double, 4> mantissas = {1.0, 2.0, 2.5, 5.0};
    for (double decade = 10.0; std::isfinite(decade); decade *= 10.0)
        for (const double m : mantissas) {
            const double d = m * decade;
            if (groundWidth <= frameWidth * d && groundHeight <= frameHeight * d)
                return d;
        }
    return 0.0;
}

QString scaleText(double denominator)
{
    return QStringLiteral("1:") + QLocale(QLocale::English, QLocale::UnitedStates).toString(denominator, 'f', 0);
}

double roundLengthUpTo(double longest)
{
    if (!(longest > 0.0) || !std::isfinite(longest))
        return 0.0;
    double length = std::pow(10.0, std::floor(std::log10(longest)));
    // log10 of an exact power of ten may fall just short of it.
    if (length * 10.0 <= longest)
        length *= 10.0;
    else if (length > longest)
        length /= 10.0;
    for (const double m : {5.0, 2.0})
        if (length * m <= longest)
            return length * m;
    return length;
}

double axisStep(double highest, int most, double smallest)
{
    if (!(highest > 0.0) || !std::isfinite(highest) || most <= 0)
        return 0.0;
    const double step = roundUpTo125(highest / most);
    return step < smallest ? smallest : step;
}

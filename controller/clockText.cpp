#include "controller/clockText.h"

#include <algorithm>
#include <cmath>

QString clockText(double seconds)
{
    const long long total = std::llround(std::max(seconds, 0.0));
    return QStringLiteral("%1:%2:%3")
        .arg(total / 3600)
        .arg((total / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(total % 60, 2, 10, QLatin1Char('0'));
}

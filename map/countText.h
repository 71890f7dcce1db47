#pragma once

#include <QString>

// A count with its noun, singular for exactly one: "1 passage", "0 passages",
// "12 passages".
inline QString countText(long long count, const QString& singular, const QString& plural)
{
    return QStringLiteral("%1 %2").arg(count).arg(count == 1 ? singular : plural);
}

#include "controller/propagationProbability.h"

const QStringList& propagationProbabilityLabels()
{
    static const QStringList labels = {
        QStringLiteral("High (log10") + QChar(0x207B) + QChar(0x2076) + QLatin1Char(')'),
        QStringLiteral("Medium (log10") + QChar(0x207B) + QChar(0x2074) + QLatin1Char(')'),
        QStringLiteral("Low (log10") + QChar(0x207B) + QChar(0x00B2) + QLatin1Char(')'),
    };
    return labels;
}

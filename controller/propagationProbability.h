#pragma once

#include <QStringList>

// The three propagation probability classes, by probabilityClass:
// 0 "High (log10⁻⁶)", 1 "Medium (log10⁻⁴)", 2 "Low (log10⁻²)".
const QStringList& propagationProbabilityLabels();

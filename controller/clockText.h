#pragma once

#include <QString>

// A duration as "h:mm:ss", whole seconds rounded, negative as 0: how the
// window's run clock and tumbra-run's progress line show time.
QString clockText(double seconds);

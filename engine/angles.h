#pragma once

// Pi as the engine writes it everywhere (headings, deviations, thresholds),
// so that every angle conversion rounds the same way.
constexpr double pi = 3.141592653589793;
constexpr double twoPi = 2.0 * pi;

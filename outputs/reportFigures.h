#pragma once

#include <QString>

// The round figures of the run report: the map's scale, its scale bar and
// the steps of a chart's axis.

// The largest map scale of the round series 1:1, 1:2, 1:5, 1:10, 1:20,
// 1:25, 1:50, 1:100 ... (1, 2, 2.5 and 5 in each decade from 1:10 on) at
// which a ground extent fits a frame on paper: the smallest denominator d
// with groundWidth <= frameWidth * d and groundHeight <= frameHeight * d,
// all four in metres. 0 where an extent or the frame is not positive.
double roundScaleDenominator(double groundWidth, double groundHeight, double frameWidth, double frameHeight);

// "1:2,500": a scale as a map states it, its thousands grouped by commas.
QString scaleText(double denominator);

// The longest length of the series 1, 2, 5 x 10^k no longer than `longest`
// (a scale bar's ground length); 0 where `longest` is not positive.
double roundLengthUpTo(double longest);

// The step of 1, 2 or 5 x 10^k that divides 0 to `highest` into at most
// `most` steps, no smaller than `smallest` (1 for counts); 0 where
// `highest` is not positive.
double axisStep(double highest, int most, double smallest);

#pragma once

#include <cstdint>

#include <QByteArray>

// Numbers as the output files carry them: fixed notation in the C locale,
// byte for byte what a QTextStream set to FixedNotation writes, without a
// stream per value. Values are correctly rounded and an exact decimal tie is
// rounded away from zero (0.25 gives "0.3", -0.25 gives "-0.3"), unlike
// printf. Every value below zero keeps its sign even when it rounds to zero
// (-0.04 gives "-0.0"), negative zero has none ("0.0"), and the non-finite
// values read "nan", "inf" and "-inf".

constexpr int maxFixedDecimals = 17;

// Room writeFixed needs at most: sign, the 309 integer digits of the largest
// double, point and decimals.
constexpr int fixedTextCapacity = 1 + 309 + 1 + maxFixedDecimals;
constexpr int integerTextCapacity = 20;

// Writes value with `decimals` decimals (limited to 0..maxFixedDecimals; no
// point for 0) at out and returns the end of the text.
char* writeFixed(char* out, double value, int decimals);

// Writes value as plain decimal digits, a minus sign first when negative.
char* writeInteger(char* out, std::int64_t value);

QByteArray fixedText(double value, int decimals);

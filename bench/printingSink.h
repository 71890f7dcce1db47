#pragma once

#include <cstdio>

#include <QString>

#include "raster/messageSink.h"

// The benchmarks' messages go to stderr, so that their figures on stdout
// stay easy to read.
class printingSink final : public messageSink
{
public:
    void error(const QString& text) override { std::fprintf(stderr, "error: %s\n", qPrintable(text)); }
    void warning(const QString& text) override { std::fprintf(stderr, "warning: %s\n", qPrintable(text)); }
    void message(const QString& text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    void warningBox(const QString& text) override { std::fprintf(stderr, "box: %s\n", qPrintable(text)); }
};

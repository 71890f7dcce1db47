#pragma once

#include <QStringList>

#include "raster/messageSink.h"

// Keeps every report of the raster code as one line, "kind: text", in order.
class recordingSink final : public messageSink
{
public:
    void error(const QString& text) override { log << QStringLiteral("error: ") + text; }
    void warning(const QString& text) override { log << QStringLiteral("warning: ") + text; }
    void message(const QString& text) override { log << QStringLiteral("message: ") + text; }
    void warningBox(const QString& text) override { log << QStringLiteral("box: ") + text; }
    QStringList log;
};

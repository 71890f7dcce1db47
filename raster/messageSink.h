#pragma once

#include <QString>

// Where the raster code reports what it finds. The run controller forwards
// these to its signals; tests record them. A warning box is only requested
// here: the front end decides how to show it (a modal box in the window, a
// line on stderr in the headless runner).
class messageSink
{
public:
    virtual void error(const QString& text) = 0;
    virtual void warning(const QString& text) = 0;
    virtual void message(const QString& text) = 0;
    virtual void warningBox(const QString& text) = 0;

protected:
    ~messageSink() = default;
};

// A sink that drops everything: for readers whose messages were told
// already, or that are exercised for what they return alone.
class silentSink final : public messageSink
{
public:
    void error(const QString&) override {}
    void warning(const QString&) override {}
    void message(const QString&) override {}
    void warningBox(const QString&) override {}
};

// Keeps the first error or warning box alone, for the one message of a
// file that was not written.
class firstProblemSink final : public messageSink
{
public:
    void error(const QString& text) override { keep(text); }
    void warning(const QString&) override {}
    void message(const QString&) override {}
    void warningBox(const QString& text) override { keep(text); }
    QString text;

private:
    void keep(const QString& problem)
    {
        if (text.isEmpty())
            text = problem;
    }
};

// "Error when %1 file %2: please check %3 permissions."
inline QString permissionWarningText(bool reading, const QString& fileName)
{
    return QStringLiteral("Error when %1 file %2: please check %3 permissions.")
        .arg(reading ? QStringLiteral("reading") : QStringLiteral("writing"), fileName,
             reading ? QStringLiteral("read") : QStringLiteral("write"));
}

#pragma once

#include <QString>
#include <QStringList>

#include "raster/messageSink.h"

// What a run tells its front end as it goes, besides its messages.
class runEvents : public messageSink
{
public:
    // The simulation's progress bar: its maximum, then values up to it.
    virtual void progressBarStarted(int total) = 0;
    virtual void progressBarMoved(int value) = 0;
    // How far the current long phase has come (names in runPhases.h).
    virtual void phaseProgress(const QString& phase, int percent) = 0;
};

// A run's events passed on to the front end, every warning (and warning
// box) also kept in order: log.txt archives what the run warned of, not
// only the terminal or the window that showed it.
class recordedWarnings final : public runEvents
{
public:
    explicit recordedWarnings(runEvents& frontEnd) : frontEnd_(frontEnd) {}

    void error(const QString& text) override { frontEnd_.error(text); }
    void warning(const QString& text) override
    {
        warnings_ << text;
        frontEnd_.warning(text);
    }
    void message(const QString& text) override { frontEnd_.message(text); }
    void warningBox(const QString& text) override
    {
        warnings_ << text;
        frontEnd_.warningBox(text);
    }
    void progressBarStarted(int total) override { frontEnd_.progressBarStarted(total); }
    void progressBarMoved(int value) override { frontEnd_.progressBarMoved(value); }
    void phaseProgress(const QString& phase, int percent) override { frontEnd_.phaseProgress(phase, percent); }

    const QStringList& warnings() const { return warnings_; }

private:
    runEvents& frontEnd_;
    QStringList warnings_;
};

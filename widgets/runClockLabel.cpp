#include "widgets/runClockLabel.h"

#include <algorithm>
#include <cmath>

#include "controller/clockText.h"

runClockLabel::runClockLabel(QWidget* parent) : QLabel(parent)
{
    // Hidden, it keeps its place, so what lies below it does not jump as runs
    // start and end.
    QSizePolicy policy = sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    setSizePolicy(policy);
    ticker_.setInterval(1000);
    connect(&ticker_, &QTimer::timeout, this, &runClockLabel::refresh);
}

QString runClockLabel::text(double elapsedSeconds, int done, int total)
{
    const QString elapsed = tr("%1 elapsed").arg(clockText(elapsedSeconds));
    if (done <= 0 || total <= 0 || elapsedSeconds <= 0.0)
        return elapsed;
    const double left = elapsedSeconds / done * std::max(total - done, 0);
    return tr("%1, about %2 left").arg(elapsed, clockText(left));
}

void runClockLabel::start(int total)
{
    total_ = total;
    done_ = 0;
    lastRefreshMs_ = -1;
    clock_.start();
    ticker_.start();
    refresh();
    show();
}

// Progress arrives once per trajectory: the text is redrawn at most a few
// times a second.
void runClockLabel::setProgress(int done)
{
    done_ = done;
    if (lastRefreshMs_ < 0 || clock_.elapsed() - lastRefreshMs_ >= 250)
        refresh();
}

void runClockLabel::stop()
{
    ticker_.stop();
    clock_.invalidate();
    hide();
}

void runClockLabel::refresh()
{
    if (!clock_.isValid())
        return;
    lastRefreshMs_ = clock_.elapsed();
    setText(text(lastRefreshMs_ / 1000.0, done_, total_));
}

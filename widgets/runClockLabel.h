#pragma once

#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>

// Beside the progress bar while a run goes on: the time since the run
// started and an estimate of the time left, from the progress so far at
// the rate so far. Refreshed once a second and when the progress moves.
class runClockLabel : public QLabel
{
    Q_OBJECT

public:
    explicit runClockLabel(QWidget* parent = nullptr);

    void start(int total);
    void setProgress(int done);
    void stop();

    // The label's text for a run `elapsedSeconds` old with `done` of `total` steps done.
    static QString text(double elapsedSeconds, int done, int total);

private:
    void refresh();

    QElapsedTimer clock_;
    QTimer ticker_;
    int total_ = 0;
    int done_ = 0;
    qint64 lastRefreshMs_ = -1;
};

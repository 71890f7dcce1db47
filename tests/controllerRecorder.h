#pragma once

#include <QFile>
#include <QStringList>

#include "controller/tumbraController.h"

// Records every signal of a controller as one line, in emission order, so a
// test can compare whole sequences ("error:No file name provided!", "done:1");
// the outcome shows as its code and its closing line, as a front end shows it.
class controllerRecorder
{
public:
    explicit controllerRecorder(tumbraController& controller)
    {
        const auto on = [&](auto signal, const char* kind) {
            QObject::connect(
                &controller, signal, &context_, [this, kind](auto... value) { add(kind, value...); },
                Qt::DirectConnection);
        };
        on(&tumbraController::initProgressBar, "init:");
        on(&tumbraController::resetProgressBar, "reset");
        QObject::connect(
            &controller, &tumbraController::finished, &context_,
            [this](const runOutcome& outcome) {
                add("done:", outcome.code);
                add("message:", outcome.closingLine);
                last = outcome;
            },
            Qt::DirectConnection);
        on(&tumbraController::displayError, "error:");
        on(&tumbraController::displayWarning, "warning:");
        on(&tumbraController::displayMessage, "message:");
        on(&tumbraController::requestWarningBox, "box:");
    }

    QStringList events;
    runOutcome last;

private:
    QObject context_;  // ends the recording when the recorder goes
    void add(const char* kind) { events << QString::fromLatin1(kind); }
    void add(const char* kind, int value) { events << QString::fromLatin1(kind) + QString::number(value); }
    void add(const char* kind, const QString& text) { events << QString::fromLatin1(kind) + text; }
};

inline bool writeTextFile(const QString& path, const QByteArray& contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

inline QByteArray readTextFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

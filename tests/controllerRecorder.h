#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

#include "controller/tumbraController.h"

// Records every signal of a controller as one line, in emission order, so a
// test can compare whole sequences ("error:No file name provided!", "done:1").
class controllerRecorder
{
public:
    explicit controllerRecorder(tumbraController& controller)
    {
        const auto direct = Qt::DirectConnection;
        QObject::connect(&controller, &tumbraController::initProgressBar, &controller,
                         [this](int total) { add(QStringLiteral("init:%1").arg(total)); }, direct);
        QObject::connect(&controller, &tumbraController::setProgressBar, &controller,
                         [this](int value) { progress << value; }, direct);
        QObject::connect(&controller, &tumbraController::resetProgressBar, &controller,
                         [this] { add(QStringLiteral("reset")); }, direct);
        QObject::connect(&controller, &tumbraController::done, &controller,
                         [this](int code) { add(QStringLiteral("done:%1").arg(code)); }, direct);
        QObject::connect(&controller, &tumbraController::displayError, &controller,
                         [this](const QString& text) { add(QStringLiteral("error:") + text); }, direct);
        QObject::connect(&controller, &tumbraController::displayWarning, &controller,
                         [this](const QString& text) { add(QStringLiteral("warning:") + text); }, direct);
        QObject::connect(&controller, &tumbraController::displayMessage, &controller,
                         [this](const QString& text) { add(QStringLiteral("message:") + text); }, direct);
        QObject::connect(&controller, &tumbraController::requestWarningBox, &controller,
                         [this](const QString& text) { add(QStringLiteral("box:") + text); }, direct);
    }

    QStringList events;
    QList<int> progress;

private:
    void add(const QString& event) { events << event; }
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

#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

#include "ui/tumbraMainDialog.h"

// Stands in for the person in front of the window: answers question boxes
// from a queue (Yes when it runs dry) and records every box it is shown.
class boxRecorder
{
public:
    explicit boxRecorder(tumbraMainDialog& dialog)
    {
        dialog.setQuestionBox([this](const QString& text, const QString& informative) {
            questions << qMakePair(text, informative);
            return answers.isEmpty() ? int(QMessageBox::Yes) : answers.takeFirst();
        });
        dialog.setErrorBox([this](const QString& text) { errors << text; });
        dialog.setWarningBox([this](const QString& text) { warnings << text; });
    }

    QList<int> answers;
    QList<QPair<QString, QString>> questions;
    QStringList errors;
    QStringList warnings;
};

template <typename T>
T* child(const tumbraMainDialog& dialog, const char* name)
{
    T* found = dialog.findChild<T*>(QString::fromLatin1(name));
    if (!found)
        qFatal("The window has no %s", name);
    return found;
}

inline void typePath(const tumbraMainDialog& dialog, const char* field, const QString& path)
{
    child<QComboBox>(dialog, field)->lineEdit()->setText(path);
}

inline QString logText(const tumbraMainDialog& dialog)
{
    return child<QTextBrowser>(dialog, "logWindow")->toPlainText();
}

// Watches the window's runFinished from before the click, so that a run
// ending while the test waits for something else is not missed.
inline bool waitForRunEnd(QSignalSpy& ended, int timeoutMs = 300000)
{
    return !ended.isEmpty() || ended.wait(timeoutMs);
}

// Points the user's settings store at a temporary folder for the whole test
// program, so no test reads or writes the real user's settings.
class scratchSettingsStore
{
public:
    scratchSettingsStore() { QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder_.path()); }
    void clear() { QSettings(QStringLiteral("velmora"), QStringLiteral("tumbra")).clear(); }

private:
    QTemporaryDir folder_;
};

#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>

struct runRequest;

// The kinds of value a setting takes. A text row holds free text, such as a
// comma-separated list of class limits; its checks are the reader's own.
enum class settingType { wholeNumber, number, yesNo, choice, text };

// One setting of a run, with everything the front ends make of it: the
// window's field and tooltip, tumbra-run's option, help and check, the key
// in the window's settings store. Adding a setting is adding a row here and
// a field to runRequest (or simulationSettings).
struct settingRow
{
    QString name;  // as in code and in the table tumbra-run prints
    QString label;
    QString unit;  // empty: a plain count or a choice
    settingType type = settingType::number;
    QVariant defaultValue;
    double minimum = 0.0;  // whole numbers and numbers
    double maximum = 0.0;
    int decimals = 0;          // numbers: the window's field shows this many
    QStringList choices;       // choice: the texts, by index
    QStringList choiceValues;  // choice: what tumbra-run's option takes, by index
    QString tooltip;
    QString option;    // tumbra-run's option without "--"
    QString storeKey;  // the window's settings store; empty: not kept
    QString logLabel;  // its line in log.txt; empty: not written there
    QVariant (*read)(const runRequest&) = nullptr;
    void (*write)(runRequest&, const QVariant&) = nullptr;
    // A number whose default is "not given" (a null default; read gives a
    // null value while it is not given): the window and log.txt show this
    // text for it, and a value that is given must lie in the range.
    QString notGivenText;
    // A text's check: why the text cannot be taken; empty when it can.
    QString (*textProblem)(const QString& text) = nullptr;
    // Whether the request uses the setting (none: always). One it does not
    // use is neither checked before the run nor written to log.txt.
    bool (*inUse)(const runRequest&) = nullptr;
    // The option that puts the setting in use ("intensity"), so that
    // tumbra-run refuses the setting's option given without it by name.
    QString usedWithOption;

    // "Segment length (m)", as a field is labelled.
    QString labelWithUnit() const;
    // "0.1 to 100 m": the range of a whole number or a number from its
    // limits, as tooltips and help lines give it.
    QString rangeText() const;
    // Why `value` is out of this row's range ("must lie between 0.1 and 100 m"); empty when it is not.
    QString rangeProblem(double value) const;
    // tumbra-run's help line: the tooltip's first sentence, the range and the default.
    QString helpText() const;
};

// Every setting, in the order the window shows them.
const QList<settingRow>& settingsTable();

// The row called `name`; the program stops on a name that has none.
const settingRow& settingNamed(const QString& name);

// The request's value of the row as log.txt writes it ("12.5", "yes",
// "High (log10⁻⁶)", the not-given text).
QString settingValueText(const settingRow& row, const runRequest& request);

// The settings lines of log.txt: every row with a log label, with the
// request's value as log.txt writes it.
QList<QPair<QString, QString>> settingLogLines(const runRequest& request);

// The table as JSON, {"settings": [...]}, for programs that build their own
// form for tumbra-run (the QGIS plugin).
QByteArray settingsTableJson();

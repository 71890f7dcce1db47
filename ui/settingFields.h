#pragma once

#include <QString>
#include <QVariant>

class QWidget;
class tumbraMainDialogForm;
struct runRequest;
struct settingRow;

// The window's field of a settings-table row, or null where the window has
// none (the thread count). Whole numbers are editable lists, numbers spin
// boxes, choices lists, yes/no settings check boxes.
QWidget* settingField(const tumbraMainDialogForm& form, const settingRow& row);

// Sets every field's range, decimals, default, label and tooltip from its row.
void applySettingsTable(tumbraMainDialogForm& form);

// A field's value as the settings store keeps it and runRequest takes it:
// the text of a whole-number list, a choice's index, a number, a yes/no.
QVariant fieldValue(const QWidget* field);

// Shows a stored value; one the field cannot hold (a whole number out of
// range, a choice beyond the list) leaves the field as it is.
void restoreFieldValue(QWidget* field, const QVariant& stored);

// Writes every field's value into the request's settings.
void fillSettings(const tumbraMainDialogForm& form, runRequest& request);

// The text is a whole number from `lowest` to `highest` (digits only).
bool wholeNumberInRange(const QString& text, int lowest, int highest, int* value = nullptr);

// The typed whole numbers are in range.
bool settingsCanRun(const tumbraMainDialogForm& form);

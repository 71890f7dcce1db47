#pragma once

#include <QString>

class QComboBox;
class tumbraMainDialogForm;

// The ranges a run can be made with, as the window enforces them where the
// values are typed.
namespace settingLimits {
constexpr int fewestSimulations = 1;
constexpr int mostSimulations = 1000000;
constexpr int smallestAngle = 0;  // degrees
constexpr int largestAngle = 90;
constexpr double smallestProfileStep = 0.01;  // m; a step of 0 never ends the profile
}  // namespace settingLimits

// Lets the simulation count and the angle take any whole number in range
// (their list entries stay as suggestions) and keeps the profile step above 0.
void applySettingLimits(tumbraMainDialogForm& form);

// The text is a whole number from `lowest` to `highest` (digits only).
bool wholeNumberInRange(const QString& text, int lowest, int highest, int* value = nullptr);

// The typed simulation count and angle are whole numbers in range.
bool settingsCanRun(const tumbraMainDialogForm& form);

// Selects a stored text in the simulation count or angle list if it is a
// whole number in that list's range; otherwise the selection stays.
void restoreWholeNumber(QComboBox& box, const QString& stored);

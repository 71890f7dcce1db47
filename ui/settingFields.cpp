#include "ui/settingFields.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

#include "ui/tumbraMainDialogForm.h"

namespace {

const char* lowestProperty = "lowestWholeNumber";
const char* highestProperty = "highestWholeNumber";

void takeWholeNumbers(QComboBox& box, int lowest, int highest)
{
    box.setEditable(true);
    box.setInsertPolicy(QComboBox::NoInsert);
    // Digits only: a sign, a group separator or a decimal point has no meaning here.
    box.setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,7}")), &box));
    box.setProperty(lowestProperty, lowest);
    box.setProperty(highestProperty, highest);
}

bool holdsWholeNumberInRange(const QComboBox& box, const QString& text)
{
    return wholeNumberInRange(text, box.property(lowestProperty).toInt(), box.property(highestProperty).toInt());
}

}  // namespace

bool wholeNumberInRange(const QString& text, int lowest, int highest, int* value)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,9}$"));
    if (!digits.match(text).hasMatch())
        return false;
    const int number = text.toInt();
    if (number < lowest || number > highest)
        return false;
    if (value)
        *value = number;
    return true;
}

void applySettingLimits(tumbraMainDialogForm& form)
{
    takeWholeNumbers(*form.numberOfSimulations, settingLimits::fewestSimulations, settingLimits::mostSimulations);
    takeWholeNumbers(*form.maxAngle, settingLimits::smallestAngle, settingLimits::largestAngle);
    form.profileStep->setMinimum(settingLimits::smallestProfileStep);
}

bool settingsCanRun(const tumbraMainDialogForm& form)
{
    return holdsWholeNumberInRange(*form.numberOfSimulations, form.numberOfSimulations->currentText())
           && holdsWholeNumberInRange(*form.maxAngle, form.maxAngle->currentText());
}

void restoreWholeNumber(QComboBox& box, const QString& stored)
{
    if (holdsWholeNumberInRange(box, stored))
        box.setCurrentText(stored);
}

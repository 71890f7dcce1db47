#include "ui/settingFields.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

#include "controller/runRequest.h"
#include "controller/settingsTable.h"
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

void applyRow(const settingRow& row, QWidget* field)
{
    if (auto* spinBox = qobject_cast<QDoubleSpinBox*>(field)) {
        spinBox->setDecimals(row.decimals);
        spinBox->setRange(row.minimum, row.maximum);
        // Its lowest value, 0, stands for "not given".
        if (!row.notGivenText.isEmpty()) {
            spinBox->setMinimum(0.0);
            spinBox->setSpecialValueText(row.notGivenText);
        }
    } else if (auto* box = qobject_cast<QComboBox*>(field); box && row.type == settingType::wholeNumber) {
        takeWholeNumbers(*box, static_cast<int>(row.minimum), static_cast<int>(row.maximum));
    } else if (box && row.type == settingType::choice) {
        box->clear();
        box->addItems(row.choices);
    }
    restoreFieldValue(field, row.defaultValue);
}

}  // namespace

QWidget* settingField(const tumbraMainDialogForm& form, const settingRow& row)
{
    return form.settingFields.value(row.name).field;
}

void applySettingsTable(tumbraMainDialogForm& form)
{
    // A field placed under a name the table does not have stops the program here.
    for (auto placed = form.settingFields.cbegin(); placed != form.settingFields.cend(); ++placed)
        settingNamed(placed.key());
    for (const settingRow& row : settingsTable()) {
        const settingWidgets widgets = form.settingFields.value(row.name);
        if (!widgets.field)
            continue;
        applyRow(row, widgets.field);
        widgets.field->setToolTip(row.tooltip);
        if (widgets.label) {
            widgets.label->setText(row.labelWithUnit());
            widgets.label->setToolTip(row.tooltip);
        } else if (auto* checkBox = qobject_cast<QCheckBox*>(widgets.field)) {
            checkBox->setText(row.label);
        }
    }
}

QVariant fieldValue(const QWidget* field)
{
    if (const auto* spinBox = qobject_cast<const QDoubleSpinBox*>(field))
        return spinBox->value();
    if (const auto* checkBox = qobject_cast<const QCheckBox*>(field))
        return checkBox->isChecked();
    if (const auto* line = qobject_cast<const QLineEdit*>(field))
        return line->text();
    if (const auto* box = qobject_cast<const QComboBox*>(field))
        return box->isEditable() ? QVariant(box->currentText()) : QVariant(box->currentIndex());
    return QVariant();
}

void restoreFieldValue(QWidget* field, const QVariant& stored)
{
    if (auto* spinBox = qobject_cast<QDoubleSpinBox*>(field)) {
        spinBox->setValue(stored.toDouble());
    } else if (auto* checkBox = qobject_cast<QCheckBox*>(field)) {
        checkBox->setChecked(stored.toBool());
    } else if (auto* line = qobject_cast<QLineEdit*>(field)) {
        line->setText(stored.toString());
    } else if (auto* box = qobject_cast<QComboBox*>(field); box && box->isEditable()) {
        // A list of whole numbers takes one in range; a list of names any text.
        if (!box->property(lowestProperty).isValid() || holdsWholeNumberInRange(*box, stored.toString()))
            box->setCurrentText(stored.toString());
    } else if (box) {
        bool ok = false;
        const int index = stored.toInt(&ok);
        if (ok && index >= 0 && index < box->count())
            box->setCurrentIndex(index);
    }
}

void fillSettings(const tumbraMainDialogForm& form, runRequest& request)
{
    for (const settingRow& row : settingsTable()) {
        const QWidget* field = settingField(form, row);
        if (!field)
            continue;
        // A number at its lowest, shown as "not given", is not given: a null value.
        const auto* spinBox = qobject_cast<const QDoubleSpinBox*>(field);
        const bool notGiven = spinBox && !row.notGivenText.isEmpty() && spinBox->value() == spinBox->minimum();
        row.write(request, notGiven ? QVariant() : fieldValue(field));
    }
}

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

bool settingsCanRun(const tumbraMainDialogForm& form)
{
    return holdsWholeNumberInRange(*form.numberOfSimulations, form.numberOfSimulations->currentText())
           && holdsWholeNumberInRange(*form.maxAngle, form.maxAngle->currentText());
}

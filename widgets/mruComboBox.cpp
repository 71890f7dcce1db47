#include "widgets/mruComboBox.h"

#include <QLineEdit>
#include <QStringListModel>

#include "widgets/updatableLineEdit.h"

mruComboBox::mruComboBox(QWidget* parent) : QComboBox(parent), listModel_(new QStringListModel(this))
{
    setEditable(true);
    setModel(listModel_);
}

void mruComboBox::setPathEdit(updatableLineEdit* edit)
{
    if (edit == nullptr || edit == pathEdit_)
        return;
    pathEdit_ = edit;
    setLineEdit(edit);
    connectRelay();
}

QStringList mruComboBox::stringList() const { return listModel_->stringList(); }

void mruComboBox::setStringList(const QStringList& list) { listModel_->setStringList(list); }

void mruComboBox::promoteCurrentText()
{
    // Nothing to take the text from before an edit is installed.
    if (pathEdit_ == nullptr)
        return;

    // Replacing the model's list changes the current text; that is not an
    // edit by the user and must not look like one.
    disconnectRelay();

    const QString text = pathEdit_->text();
    QStringList list = listModel_->stringList();
    list.prepend(text);
    list.removeDuplicates();
    while (list.size() > maxLength_)
        list.removeLast();
    listModel_->setStringList(list);
    pathEdit_->setText(text);

    connectRelay();
}

void mruComboBox::connectRelay()
{
    connect(this, &QComboBox::currentTextChanged, pathEdit_, &QLineEdit::textEdited, Qt::UniqueConnection);
}

void mruComboBox::disconnectRelay()
{
    disconnect(this, &QComboBox::currentTextChanged, pathEdit_, &QLineEdit::textEdited);
}

#pragma once

#include <QComboBox>
#include <QStringList>
#include <cstdint>

class QStringListModel;
class updatableLineEdit;

// An editable combo box holding the most recently used paths, most recent
// first, edited through an updatableLineEdit.
class mruComboBox : public QComboBox
{
    Q_OBJECT

public:
    explicit mruComboBox(QWidget* parent = nullptr);

    // Installs the edit (the combo box takes ownership) and relays every
    // change of the current text to it as an edit.
    void setPathEdit(updatableLineEdit* edit);
    updatableLineEdit* pathEdit() const { return pathEdit_; }

    QStringList stringList() const;
    // Takes the list as given: no trimming, no de-duplication.
    void setStringList(const QStringList& list);

    // Moves the edit's text to the top of the list, dropping equal entries
    // below it and the oldest entries beyond the maximum length.
    void promoteCurrentText();

private:
    void connectRelay();
    void disconnectRelay();

    QStringListModel* listModel_ = nullptr;
    updatableLineEdit* pathEdit_ = nullptr;
    uint16_t maxLength_ = 5;
};

#pragma once

#include <QLineEdit>
#include <QString>

// A path field that shows at a glance whether its text names an existing file
// (or, in directory mode, an existing directory): black when it does, red when
// it does not. Relative texts are judged against a reference directory,
// which never becomes the process's current directory for that. A path too
// long for the field reads elided in its middle, keeping its start and its
// file name, while the field is not being edited; the tooltip holds it whole.
class updatableLineEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit updatableLineEdit(QWidget* parent = nullptr);

    // Changes what the text must name; the colour follows at the next validation.
    void setMustBeDirectory(bool mustBeDirectory) { mustBeDirectory_ = mustBeDirectory; }

    bool isValid() const { return valid_; }

    void setBaseDir(const QString& directory);
    QString baseDir() const { return baseDir_; }

    // The text resolved against the reference directory; it need not exist.
    QString absoluteFilePath() const;

    // The text as the field shows it while not being edited.
    QString shownText() const;

public slots:
    void updateColor();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect textArea() const;

    bool textNamesWantedKind() const;

    bool valid_ = false;
    bool mustBeDirectory_ = false;
    QString baseDir_;
};

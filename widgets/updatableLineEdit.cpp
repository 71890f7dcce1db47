#include "widgets/updatableLineEdit.h"

#include <QBrush>
#include <QDir>
#include <QFileInfo>
#include <QPalette>

namespace
{

// Makes the reference directory the process's current directory for the
// lifetime of the object, so that a relative name is resolved exactly as the
// operating system resolves it from that folder (symbolic links included),
// and puts the previous directory back on every way out. An empty or missing
// reference directory leaves the current directory as it is.
class referenceDirectoryScope
{
public:
    explicit referenceDirectoryScope(const QString& referenceDirectory)
        : previous_(QDir::currentPath())
    {
        if (!referenceDirectory.isEmpty())
            switched_ = QDir::setCurrent(referenceDirectory);
    }

    ~referenceDirectoryScope()
    {
        if (switched_)
            QDir::setCurrent(previous_);
    }

    referenceDirectoryScope(const referenceDirectoryScope&) = delete;
    referenceDirectoryScope& operator=(const referenceDirectoryScope&) = delete;

private:
    QString previous_;
    bool switched_ = false;
};

} // namespace

updatableLineEdit::updatableLineEdit(QWidget* parent)
    : QLineEdit(parent)
{
    // Typed and programmatic changes alike must re-validate.
    connect(this, &QLineEdit::textChanged, this, &updatableLineEdit::updateColor);
}

void updatableLineEdit::setBaseDir(const QString& directory)
{
    baseDir_ = directory;
    updateColor();
}

bool updatableLineEdit::textNamesWantedKind() const
{
    const referenceDirectoryScope scope(baseDir_);
    // A relative QFileInfo is resolved at each query, so every query on it
    // must happen while the reference directory is current.
    const QFileInfo info(text());
    if (!info.exists())
        return false;
    return mustBeDirectory_ ? info.isDir() : info.isFile();
}

void updatableLineEdit::updateColor()
{
    const bool valid = textNamesWantedKind();

    // Only the Active group changes: the Inactive and Disabled colours stay
    // as the style made them.
    QPalette colours = palette();
    colours.setBrush(QPalette::Active, QPalette::Text, QBrush(valid ? Qt::black : Qt::red));
    setPalette(colours);

    valid_ = valid;
}

QString updatableLineEdit::absoluteFilePath() const
{
    const referenceDirectoryScope scope(baseDir_);
    return QFileInfo(text()).absoluteFilePath();
}

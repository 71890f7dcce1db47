#include "widgets/updatableLineEdit.h"

#include <QBrush>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPalette>
#include <QStyle>
#include <QStyleOptionFrame>

namespace {

// The path a query on `text` must use so that a relative text is resolved
// from the reference directory as the operating system would resolve it
// there, without making that directory current (the current directory is
// shared with the run writing its files on another thread). The reference
// directory is taken as the system reports it once current, symbolic links
// resolved, so that ".." leads where it would lead from there. An empty or
// missing reference directory leaves the text to the current directory; an
// empty text stays empty, naming nothing.
QString resolvedAgainst(const QString& referenceDirectory, const QString& text)
{
    const QFileInfo reference(referenceDirectory);
    if (referenceDirectory.isEmpty() || text.isEmpty() || !reference.isDir())
        return text;
    return QDir(reference.canonicalFilePath()).filePath(text);
}

}  // namespace

updatableLineEdit::updatableLineEdit(QWidget* parent) : QLineEdit(parent)
{
    // Typed and programmatic changes alike must re-validate.
    connect(this, &QLineEdit::textChanged, this, &updatableLineEdit::updateColor);
    connect(this, &QLineEdit::textChanged, this, [this](const QString& text) { setToolTip(text); });
}

void updatableLineEdit::setBaseDir(const QString& directory)
{
    baseDir_ = directory;
    updateColor();
}

bool updatableLineEdit::textNamesWantedKind() const
{
    const QFileInfo info(resolvedAgainst(baseDir_, text()));
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
    return QFileInfo(resolvedAgainst(baseDir_, text())).absoluteFilePath();
}

namespace {
constexpr int horizontalTextMargin = 2;  // QLineEdit's own margin either side of its text
}

QRect updatableLineEdit::textArea() const
{
    QStyleOptionFrame panel;
    initStyleOption(&panel);
    const QRect contents = style()->subElementRect(QStyle::SE_LineEditContents, &panel, this);
    return contents.marginsRemoved(textMargins()).adjusted(horizontalTextMargin, 0, -horizontalTextMargin, 0);
}

QString updatableLineEdit::shownText() const
{
    if (hasFocus() || echoMode() != QLineEdit::Normal)
        return text();
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, textArea().width());
}

// While edited, or where the whole path fits, the field paints itself.
void updatableLineEdit::paintEvent(QPaintEvent* event)
{
    const QString shown = shownText();
    if (shown == text()) {
        QLineEdit::paintEvent(event);
        return;
    }
    QPainter painter(this);
    QStyleOptionFrame panel;
    initStyleOption(&panel);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &painter, this);
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text));
    painter.drawText(textArea(), Qt::AlignLeft | Qt::AlignVCenter, shown);
}

#include "widgets/clearableTextBrowser.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <memory>

clearableTextBrowser::clearableTextBrowser(QWidget* parent) : QTextBrowser(parent) {}

QMenu* clearableTextBrowser::createContextMenu()
{
    QMenu* menu = createStandardContextMenu();
    QAction* clearAction = menu->addAction(tr("&Clear"));
    connect(clearAction, &QAction::triggered, this, &QTextEdit::clear);
    return menu;
}

void clearableTextBrowser::contextMenuEvent(QContextMenuEvent* event)
{
    const std::unique_ptr<QMenu> menu(createContextMenu());
    menu->exec(event->globalPos());
}

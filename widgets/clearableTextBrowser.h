#pragma once

#include <QTextBrowser>

class QContextMenuEvent;
class QMenu;

// The log window: a text browser whose context menu can also clear the log.
class clearableTextBrowser : public QTextBrowser
{
    Q_OBJECT

public:
    explicit clearableTextBrowser(QWidget* parent = nullptr);

    // The standard context menu followed by "&Clear"; the caller owns it.
    QMenu* createContextMenu();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
};

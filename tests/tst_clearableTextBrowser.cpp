#include <QAction>
#include <QMenu>
#include <QTest>
#include <QTextBrowser>
#include <memory>

#include "widgets/clearableTextBrowser.h"

class tst_clearableTextBrowser : public QObject
{
    Q_OBJECT

private slots:
    void menuEndsWithClearAfterStandardEntries()
    {
        clearableTextBrowser log;
        log.append("Reading DEM");

        QTextBrowser plain;
        plain.append("Reading DEM");
        const std::unique_ptr<QMenu> standard(plain.createStandardContextMenu());
        const std::unique_ptr<QMenu> menu(log.createContextMenu());

        const QList<QAction*> actions = menu->actions();
        const QList<QAction*> standardActions = standard->actions();
        QCOMPARE(actions.size(), standardActions.size() + 1);
        for (int i = 0; i < standardActions.size(); ++i)
            QCOMPARE(actions.at(i)->text(), standardActions.at(i)->text());
        QCOMPARE(actions.last()->text(), QString("&Clear"));
        QVERIFY(actions.last()->isEnabled());
    }

    void clearEntryEmptiesTheLog()
    {
        clearableTextBrowser log;
        log.append("Reading DEM");
        log.append("Error: file not found");
        QVERIFY(!log.toPlainText().isEmpty());

        const std::unique_ptr<QMenu> menu(log.createContextMenu());
        menu->actions().last()->trigger();
        QVERIFY(log.toPlainText().isEmpty());
        QVERIFY(log.document()->isEmpty());
    }
};

QTEST_MAIN(tst_clearableTextBrowser)
#include "tst_clearableTextBrowser.moc"

#include <QSignalSpy>
#include <QStringList>
#include <QTest>

#include "widgets/mruComboBox.h"
#include "widgets/updatableLineEdit.h"

class tst_mruComboBox : public QObject
{
    Q_OBJECT

private slots:
    void promotionOrdersTheList_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("after");

        const QStringList five{"a", "b", "c", "d", "e"};
        QTest::newRow("into empty list") << QStringList() << "a" << QStringList{"a"};
        QTest::newRow("existing entry moves to top") << five << "c" << QStringList{"c", "a", "b", "d", "e"};
        QTest::newRow("top entry stays") << five << "a" << five;
        QTest::newRow("new text drops oldest") << five << "f" << QStringList{"f", "a", "b", "c", "d"};
        QTest::newRow("case differs: both kept")
            << QStringList{"/data/dem.asc"} << "/data/DEM.asc" << QStringList{"/data/DEM.asc", "/data/dem.asc"};
        QTest::newRow("every later duplicate removed")
            << QStringList{"b", "a", "b", "c", "a"} << "a" << QStringList{"a", "b", "c"};
        QTest::newRow("empty text promoted too") << QStringList{"a", "b"} << "" << QStringList{"", "a", "b"};
    }

    void promotionOrdersTheList()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, text);
        QFETCH(QStringList, after);

        mruComboBox combo;
        combo.setPathEdit(new updatableLineEdit);
        combo.setStringList(before);
        combo.pathEdit()->setText(text);

        combo.promoteCurrentText();

        QCOMPARE(combo.stringList(), after);
        QCOMPARE(combo.count(), after.size());
        QCOMPARE(combo.pathEdit()->text(), text);
        QCOMPARE(combo.currentText(), text);
    }

    void lengthLimitAppliesAtNextPromotion()
    {
        mruComboBox combo;
        combo.setPathEdit(new updatableLineEdit);
        const QStringList restored{"1", "2", "3", "4", "5", "6", "7", "8"};
        combo.setStringList(restored);
        QCOMPARE(combo.stringList(), restored);

        combo.setMruSize(3);
        QCOMPARE(combo.stringList(), restored);

        combo.pathEdit()->setText("6");
        combo.promoteCurrentText();
        QCOMPARE(combo.stringList(), (QStringList{"6", "1", "2"}));

        combo.setMruSize(5);
        combo.setStringList(restored);
        combo.pathEdit()->setText("new");
        combo.promoteCurrentText();
        QCOMPARE(combo.stringList(), (QStringList{"new", "1", "2", "3", "4"}));

        // Emptying the model clears the combo box's text; the edit keeps it.
        combo.setMruSize(0);
        combo.promoteCurrentText();
        QVERIFY(combo.stringList().isEmpty());
        QCOMPARE(combo.pathEdit()->text(), QString("new"));
    }

    void relayIsSilentDuringPromotionOnly()
    {
        mruComboBox combo;
        auto* edit = new updatableLineEdit;
        combo.setPathEdit(edit);
        combo.setStringList({"x", "y", "z"});
        combo.setCurrentIndex(1);

        QSignalSpy edits(edit, &QLineEdit::textEdited);
        combo.setCurrentIndex(2);
        QCOMPARE(edits.count(), 1);
        QCOMPARE(edits.takeFirst().at(0).toString(), QString("z"));

        combo.promoteCurrentText();
        QCOMPARE(edits.count(), 0);
        QCOMPARE(edit->text(), QString("z"));

        // Reconnected afterwards, and only once.
        combo.setCurrentIndex(1);
        QCOMPARE(edits.count(), 1);
        QCOMPARE(edits.takeFirst().at(0).toString(), QString("x"));
    }

    void promotionWithoutEditDoesNothing()
    {
        mruComboBox combo;
        combo.setStringList({"a"});
        combo.promoteCurrentText();
        QCOMPARE(combo.stringList(), QStringList{"a"});
        QVERIFY(combo.pathEdit() == nullptr);
    }
};

QTEST_MAIN(tst_mruComboBox)
#include "tst_mruComboBox.moc"

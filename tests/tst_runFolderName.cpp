#include <QTest>

#include "ui/runFolderName.h"

// The name of a run's output folder, built from the settings and the time.
class tst_runFolderName : public QObject
{
    Q_OBJECT

private slots:
    void nameCarriesSettingsAndTime_data()
    {
        QTest::addColumn<QString>("simulations");
        QTest::addColumn<QString>("maxAngle");
        QTest::addColumn<double>("segmentLength");
        QTest::addColumn<QString>("name");
        QTest::newRow("whole length") << "100" << "25" << 5.0 << "100sims_25deg_5m_2026-12-05T052421";
        QTest::newRow("fraction") << "10" << "5" << 2.5 << "10sims_5deg_2.5m_2026-12-05T052421";
        QTest::newRow("smallest length") << "1" << "45" << 0.1 << "1sims_45deg_0.1m_2026-12-05T052421";
        QTest::newRow("largest length") << "1000" << "5" << 100.0 << "1000sims_5deg_100m_2026-12-05T052421";
        QTest::newRow("texts that are no integers") << "22.5" << "" << 5.0 << "0sims_0deg_5m_2026-12-05T052421";
    }

    void nameCarriesSettingsAndTime()
    {
        QFETCH(QString, simulations);
        QFETCH(QString, maxAngle);
        QFETCH(double, segmentLength);
        QFETCH(QString, name);
        const QDateTime time(QDate(2026, 12, 5), QTime(5, 24, 21, 987));
        QCOMPARE(runFolderName(simulations, maxAngle, segmentLength, time), name);
    }

    void stampHoldsNoCharacterThatFileSystemsRefuse()
    {
        const QDateTime time(QDate(1999, 1, 2), QTime(23, 0, 9));
        QCOMPARE(runTimeStamp(time), QStringLiteral("1999-01-02T230009"));
        const QDateTime utc(QDate(1999, 1, 2), QTime(23, 0, 9), Qt::UTC);
        QCOMPARE(runTimeStamp(utc), QStringLiteral("1999-01-02T230009Z"));
    }
};

QTEST_APPLESS_MAIN(tst_runFolderName)
#include "tst_runFolderName.moc"

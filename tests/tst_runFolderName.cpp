#include <QTest>

#include "ui/runFolderName.h"

// A run's output folder is named by its settings and time, without a
// character that file systems refuse.
class tst_runFolderName : public QObject
{
    Q_OBJECT

private slots:
    void nameCarriesSettingsAndTime_data()
    {
        QTest::addColumn<QString>("simulations");
        QTest::addColumn<QString>("maxAngle");
        QTest::addColumn<double>("segmentLength");
        QTest::addColumn<QDateTime>("time");
        QTest::addColumn<QString>("name");
        const QDateTime time(QDate(2026, 12, 5), QTime(5, 24, 21, 987));
        QTest::newRow("whole length") << "100"
                                      << "25" << 5.0 << time << "100sims_25deg_5m_2026-12-05T052421";
        QTest::newRow("fraction") << "10"
                                  << "5" << 2.5 << time << "10sims_5deg_2.5m_2026-12-05T052421";
        QTest::newRow("smallest length") << "1"
                                         << "45" << 0.1 << time << "1sims_45deg_0.1m_2026-12-05T052421";
        QTest::newRow("largest length") << "1000"
                                        << "5" << 100.0 << time << "1000sims_5deg_100m_2026-12-05T052421";
        QTest::newRow("texts that are no integers") << "22.5"
                                                    << "" << 5.0 << time << "0sims_0deg_5m_2026-12-05T052421";
        QTest::newRow("UTC") << "1"
                             << "5" << 5.0 << QDateTime(QDate(1999, 1, 2), QTime(23, 0, 9), Qt::UTC)
                             << "1sims_5deg_5m_1999-01-02T230009Z";
    }

    void nameCarriesSettingsAndTime()
    {
        QFETCH(QString, simulations);
        QFETCH(QString, maxAngle);
        QFETCH(double, segmentLength);
        QFETCH(QDateTime, time);
        QFETCH(QString, name);
        QCOMPARE(runFolderName(simulations, maxAngle, segmentLength, time), name);
    }
};

QTEST_APPLESS_MAIN(tst_runFolderName)
#include "tst_runFolderName.moc"

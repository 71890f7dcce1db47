#include "ui/runFolderName.h"

#include <QRegularExpression>

QString runTimeStamp(const QDateTime& time)
{
    static const QRegularExpression refusedInFolderNames(QStringLiteral("[:\\/*?\"<>|\\\\]"));
    return time.toString(Qt::ISODate).remove(refusedInFolderNames);
}

QString runFolderName(const QString& simulationsText, const QString& maxAngleText, double segmentLength,
                      const QDateTime& time)
{
    return QStringLiteral("%1sims_%2deg_%3m_%4")
        .arg(simulationsText.toInt())
        .arg(maxAngleText.toInt())
        .arg(segmentLength)
        .arg(runTimeStamp(time));
}

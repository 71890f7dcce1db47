#include "outputs/calibrationTable.h"

#include <cmath>

#include "outputs/csvField.h"

namespace {

// A score with `decimals` decimals; empty without a value.
QByteArray scoreField(double value, int decimals)
{
    return std::isnan(value) ? QByteArray() : QByteArray::number(value, 'f', decimals);
}

QString scoreText(double value, int decimals, const QString& unit = {})
{
    return std::isnan(value) ? QStringLiteral("-") : QString::number(value, 'f', decimals) + unit;
}

}  // namespace

QByteArray calibrationTableText(const calibrationReport& report)
{
    QByteArray text = "rank";
    for (const QString& name : report.settingNames)
        text += ',' + csvField(name);
    text += ",hit rate (%),points in reached cells (%),over-reach (ha),over-reach of the study area (%),"
            "area under the ROC curve,run-out error (m),duration (s)\r\n";
    int rank = 0;
    for (const calibrationRow& row : report.rows) {
        text += QByteArray::number(++rank);
        for (const QString& setting : row.settings)
            text += ',' + csvField(setting);
        const runScores& s = row.scores;
        text += ',' + scoreField(s.hitRate * 100.0, 2) + ',' + scoreField(s.pointHitRate * 100.0, 2) + ','
                + scoreField(s.overReachHectares, 4) + ',' + scoreField(s.overReachShare * 100.0, 2) + ','
                + scoreField(s.auc, 4) + ',' + scoreField(s.runOutError, 1) + ',' + scoreField(row.seconds, 2) + "\r\n";
    }
    return text;
}

writeOutcome writeCalibrationTable(const outputTarget& target, const calibrationReport& report, messageSink& sink)
{
    return writeWholeFile(target, calibrationTableText(report), sink);
}

QStringList calibrationLogLines(const QString& observedFile, const calibrationReport& report)
{
    if (report.empty())
        return {};
    QStringList lines{QStringLiteral("Observed run-out: %1").arg(observedFile)};
    if (!report.criterion.isEmpty()) {
        QStringList best;
        for (int k = 0; k < report.settingNames.size(); ++k)
            best << QStringLiteral("%1 %2").arg(report.settingNames[k], report.rows.front().settings.value(k));
        lines << QStringLiteral("Calibration runs: %1, ranked by %2; best: %3")
                     .arg(report.rows.size())
                     .arg(report.criterion, best.join(QStringLiteral(", ")));
    }
    const runScores& s = report.rows.front().scores;
    lines << QStringLiteral("Hit rate of the observed reach (%): %1").arg(scoreText(s.hitRate * 100.0, 2))
          << QStringLiteral("Observed points in reached cells (%): %1").arg(scoreText(s.pointHitRate * 100.0, 2))
          << QStringLiteral("Over-reach (ha): %1, %2 of the study area")
                 .arg(scoreText(s.overReachHectares, 4), scoreText(s.overReachShare * 100.0, 2, QStringLiteral(" %")))
          << QStringLiteral("Area under the ROC curve: %1").arg(scoreText(s.auc, 4))
          << QStringLiteral("Run-out error, simulated - observed (m): %1").arg(scoreText(s.runOutError, 1));
    return lines;
}

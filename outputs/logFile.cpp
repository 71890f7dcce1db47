#include "outputs/logFile.h"

#include "tumbraVersion.h"

namespace {

QString valueText(double value) { return logValueText(value); }

QString logText(const logReport& report)
{
    const bool center = report.dem.spatialReference == rasterHeader::center;
    QString text;
    text += QStringLiteral("Tumbra ") + QLatin1String(tumbraVersion);
    text += QStringLiteral(" - Analysis completed on ") + report.endTime.toString();
    text += QStringLiteral("\n(started ") + report.startTime.toString() + QStringLiteral(")\n");
    text += QStringLiteral("\nDigital Elevation Model: ") + report.demFile;
    text += QStringLiteral("\nStart cells file: ") + report.startCellsFile;
    text += QStringLiteral("\n(nrows: ") + QString::number(report.dem.nrows);
    text += QStringLiteral("; ncols: ") + QString::number(report.dem.ncols);
    text += (center ? QStringLiteral("; xllcenter: ") : QStringLiteral("; xllcorner: ")) + valueText(report.dem.xll);
    text += (center ? QStringLiteral("; yllcenter: ") : QStringLiteral("; yllcorner: ")) + valueText(report.dem.yll);
    text += QStringLiteral("; cellsize: ") + valueText(report.dem.cellsize) + QStringLiteral(")\n");
    text += QStringLiteral("\nSimulation settings:\n");
    QStringList settingLines;
    for (const auto& [label, value] : report.settings)
        settingLines << QStringLiteral("\t%1: %2").arg(label, value);
    text += settingLines.join(u'\n');
    text += QStringLiteral("\n\nResults written to folder ") + report.resultsFolder;
    if (report.seed)
        text += QStringLiteral("\nRandom numbers: seed %1, one random stream per trajectory (Philox4x32-10)")
                    .arg(*report.seed);
    if (!report.coordinateSystemLine.isEmpty())
        text += u'\n' + report.coordinateSystemLine;
    if (!report.summary.isEmpty())
        text += QStringLiteral("\n\nRun summary:\n\t") + report.summary.join(QStringLiteral("\n\t"));
    if (!report.warnings.isEmpty())
        text += QStringLiteral("\n\nWarnings:\n\t") + report.warnings.join(QStringLiteral("\n\t"));
    return text;
}

}  // namespace

writeOutcome writeLogFile(const outputTarget& target, const logReport& report, messageSink& sink)
{
    return writeWholeFile(target, logText(report).toUtf8(), sink);
}

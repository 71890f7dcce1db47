#include "controller/runRequest.h"

#include <QFileInfo>

#include "controller/settingsTable.h"

namespace {

bool isRegularFile(const QString& fileName)
{
    const QFileInfo info(fileName);
    return info.exists() && info.isFile();
}

}  // namespace

// Both front ends call this before they make the output folder; the window's
// fields cannot hold a value out of range, tumbra-run refuses one as it reads
// its options, so a range message here means a front end let one through.
QString requestRefusal(const runRequest& request)
{
    if (!isRegularFile(request.demFile))
        return QStringLiteral("Failed to load model. Please check that the file exists and is readable.");
    if (!isRegularFile(request.startCellsFile))
        return QStringLiteral("Failed to load start cells raster. Please check that the file exists and is readable.");
    for (const settingRow& row : settingsTable()) {
        if (!row.read || (row.inUse && !row.inUse(request)))
            continue;
        const QVariant value = row.read(request);
        if (!value.isValid())  // not given
            continue;
        const QString problem =
            row.textProblem ? row.textProblem(value.toString()) : row.rangeProblem(value.toDouble());
        if (!problem.isEmpty())
            return QStringLiteral("%1 %2.").arg(row.label, problem);
    }
    if (request.outputFolder.isEmpty() || QFileInfo(request.outputFolder).isRelative())
        return QStringLiteral("The output folder \"%1\" is not an absolute path.").arg(request.outputFolder);
    return QString();
}

#include "raster/gdalOutputFile.h"

#include <filesystem>
#include <system_error>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

bool reserveTemporaryName(const outputTarget& target, const QString& suffix, QString& temporaryName, messageSink& sink)
{
    const QFileInfo file(target.path);
    if (!QDir(file.absolutePath()).exists() && !QDir().mkpath(file.absolutePath()))
        return false;
    QTemporaryFile reserved(file.absoluteFilePath() + QStringLiteral(".XXXXXX") + suffix);
    reserved.setAutoRemove(false);
    if ((file.exists() && !file.isWritable()) || !reserved.open()) {
        sink.warningBox(permissionWarningText(false, target.name));
        return false;
    }
    temporaryName = reserved.fileName();
    return true;
}

writeOutcome commitTemporaryFile(const QString& temporaryName, const outputTarget& target, bool written, QString reason,
                                 messageSink& sink)
{
    if (written) {
        // Replaces an earlier file in one step, as QSaveFile does.
        std::error_code renameError;
        std::filesystem::rename(QFile::encodeName(temporaryName).toStdString(),
                                QFile::encodeName(target.path).toStdString(), renameError);
        if (!renameError)
            return writeOutcome::written;
        reason = QString::fromLocal8Bit(renameError.message().c_str());
    }
    QFile::remove(temporaryName);
    if (reason.isEmpty())
        reason = QStringLiteral("GDAL could not write it");
    sink.error(QStringLiteral("Failed to write file %1: %2.").arg(target.name, reason));
    return writeOutcome::failed;
}

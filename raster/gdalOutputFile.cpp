#include "raster/gdalOutputFile.h"

#include <filesystem>
#include <system_error>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

bool reserveTemporaryName(const QString& fileName, const QString& suffix, QString& temporaryName, messageSink& sink)
{
    const QFileInfo target(fileName);
    if (!QDir(target.absolutePath()).exists() && !QDir().mkpath(target.absolutePath()))
        return false;
    QTemporaryFile reserved(target.absoluteFilePath() + QStringLiteral(".XXXXXX") + suffix);
    reserved.setAutoRemove(false);
    if ((target.exists() && !target.isWritable()) || !reserved.open()) {
        sink.warningBox(permissionWarningText(false, fileName));
        return false;
    }
    temporaryName = reserved.fileName();
    return true;
}

writeOutcome commitTemporaryFile(const QString& temporaryName, const QString& fileName, bool written, QString reason,
                                 messageSink& sink)
{
    if (written) {
        // Replaces an earlier file in one step, as QSaveFile does.
        std::error_code renameError;
        std::filesystem::rename(QFile::encodeName(temporaryName).toStdString(),
                                QFile::encodeName(fileName).toStdString(), renameError);
        if (!renameError)
            return writeOutcome::written;
        reason = QString::fromLocal8Bit(renameError.message().c_str());
    }
    QFile::remove(temporaryName);
    if (reason.isEmpty())
        reason = QStringLiteral("GDAL could not write it");
    sink.error(QStringLiteral("Failed to write file %1: %2.").arg(fileName, reason));
    return writeOutcome::failed;
}

#include "raster/gdalOutputFile.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <gdal_priv.h>

#include "raster/gdalSession.h"

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

#ifdef Q_OS_UNIX
// The process's umask, read without changing it where Linux tells it
// (changing it, even for a moment, would race with other threads' files).
mode_t currentUmask()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok)
                    return static_cast<mode_t>(mask);
            }
        }
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}
#endif

// A temporary file is made for its owner alone; the finished file gets the
// mode any new file gets (0666 less the umask), as QSaveFile gives the ESRI
// ASCII outputs, so that colleagues sharing the folder can read it.
bool giveNewFileMode(const QString& fileName)
{
#ifdef Q_OS_UNIX
    return ::chmod(QFile::encodeName(fileName).constData(), 0666 & ~currentUmask()) == 0;
#else
    Q_UNUSED(fileName);
    return true;
#endif
}

}  // namespace

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
    if (written && !giveNewFileMode(temporaryName)) {
        reason = QString::fromLocal8Bit(std::strerror(errno));
    } else if (written) {
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

writeOutcome writeGeoPackageFile(const outputTarget& target, const std::function<bool(GDALDataset&)>& fill,
                                 messageSink& sink)
{
    QString temporaryName;
    if (!reserveTemporaryName(target, QStringLiteral(".gpkg"), temporaryName, sink))
        return writeOutcome::notOpened;
    // The GeoPackage driver makes its file itself; the name stays reserved
    // only until then.
    QFile::remove(temporaryName);
    bool written = false;
    QString reason;
    {
        gdalErrorCapture errors;
        GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GPKG");
        GDALDatasetUniquePtr file(
            driver ? driver->Create(temporaryName.toUtf8().constData(), 0, 0, 0, GDT_Unknown, nullptr) : nullptr);
        const bool filled = file && fill(*file);
        file.reset();
        written = filled && !errors.failed();
        reason = errors.text();
    }
    return commitTemporaryFile(temporaryName, target, written, reason, sink);
}

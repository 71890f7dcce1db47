#include "controller/runFolder.h"

#include "controller/mapPictureFile.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QTemporaryFile>

#include "controller/runRequest.h"
#include "raster/objectsTable.h"

namespace {

const QString lockFileName = QStringLiteral(".tumbra.lock");

// Permissions alone do not tell: a read-only volume or the superuser's
// rights decide too, so a file is made and removed again.
QString writeProblem(const QString& folder)
{
    QTemporaryFile probe(folder + QStringLiteral("/.tumbra-write-check-XXXXXX"));
    return probe.open() ? QString() : probe.errorString();
}

}  // namespace

QStringList outputNames(const runRequest& request)
{
    QStringList names{countGridName(request.format), probabilityGridName(request.format)};
    if (request.settings.saveTrajectories)
        names << QStringLiteral("trajectory_points.txt");
    if (request.settings.saveTrajectories && request.format == outputFormat::geoTiff)
        names << QStringLiteral("trajectories.gpkg");
    if (!request.objectsFile.isEmpty())
        names << QStringLiteral("objects.csv") << sourceShareGridName(request.format);
    names << QStringLiteral("log.txt");
    return names;
}

QString mapFileProblem(const QString& mapFile)
{
    if (mapFile.isEmpty())
        return QString();
    const QString suffixProblem = mapSuffixProblem(mapFile);
    if (!suffixProblem.isEmpty())
        return suffixProblem;
    const QString folder = QFileInfo(mapFile).absolutePath();
    const QString problem = QFileInfo(folder).isDir() ? writeProblem(folder) : QStringLiteral("no such folder");
    if (problem.isEmpty())
        return QString();
    return QStringLiteral("The map %1 cannot be written (%2). Choose a writable folder for --map.")
        .arg(mapFile, problem);
}

runFolder::runFolder(const QString& absolutePath) : path_(QDir::cleanPath(absolutePath)) {}

runFolder::~runFolder() { release(); }

bool runFolder::prepare(QString& error)
{
    if (!QFileInfo(path_).isDir()) {
        if (!QDir().mkpath(path_)) {
            error = QStringLiteral("Failed to create output folder (%1)!").arg(path_);
            return false;
        }
        created_ = true;
    }
    path_ = QFileInfo(path_).canonicalFilePath();
    const QString problem = writeProblem(path_);
    if (!problem.isEmpty()) {
        error = QStringLiteral("No file can be written into the output folder %1 (%2). Choose another folder.")
                    .arg(path_, problem);
        return false;
    }
    lock_ = std::make_unique<QLockFile>(path_ + QLatin1Char('/') + lockFileName);
    lock_->setStaleLockTime(0);  // a lock is broken only when its process has gone
    if (lock_->tryLock(0))
        return true;
    qint64 pid = 0;
    QString host;
    QString program;
    lock_->getLockInfo(&pid, &host, &program);
    error = QStringLiteral("The output folder %1 is in use by another run (%2, process %3 on %4). Wait for it to end "
                           "or choose another folder.")
                .arg(path_, program)
                .arg(pid)
                .arg(host);
    lock_.reset();
    return false;
}

QStringList runFolder::existingOutputs(const runRequest& request) const
{
    QStringList present;
    const QDir folder(path_);
    for (const QString& name : outputNames(request))
        if (QFileInfo::exists(folder.filePath(name)))
            present << folder.filePath(name);
    if (!request.mapFile.isEmpty() && QFileInfo::exists(request.mapFile))
        present << request.mapFile;
    return present;
}

QString runFolder::existingFilesRefusal(const QStringList& present)
{
    return QStringLiteral("These output files already exist (use --overwrite to replace them, or another output "
                          "folder):\n  %1")
        .arg(present.join(QStringLiteral("\n  ")));
}

void runFolder::release()
{
    lock_.reset();  // unlocks and removes the lock file
    if (created_)
        QDir().rmdir(path_);  // only when empty
    created_ = false;
}

#include "controller/runFolder.h"

#include "outputs/mapPictureFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "outputs/intensityOutputs.h"
#include "outputs/resultGridStyles.h"
#include "controller/runRequest.h"
#include "raster/asciiGridProjection.h"
#include "outputs/objectsTable.h"

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
    for (const QString& name : intensityGridNames(request.intensity, request.format)) {
        names << name;
        if (request.format == outputFormat::esriAscii)
            names << projectionFileName(name);
    }
    if (request.settings.saveTrajectories)
        names << QStringLiteral("trajectory_points.txt");
    if (request.settings.saveTrajectories && request.format == outputFormat::geoTiff)
        names << QStringLiteral("trajectories.gpkg");
    if (!request.objectsFile.isEmpty())
        names << QStringLiteral("objects.csv") << sourceShareGridName(request.format);
    names << QStringLiteral("log.txt");
    return names;
}

QStringList everyOutputName(const runRequest& request)
{
    QStringList names;
    runRequest variant = request;
    variant.intensity.enabled = true;
    variant.settings.saveTrajectories = true;
    for (const outputFormat format : {outputFormat::esriAscii, outputFormat::geoTiff}) {
        variant.format = format;
        for (const QString& name : outputNames(variant)) {
            names << name;
            if (format == outputFormat::esriAscii && name.endsWith(QLatin1String(".asc")))
                names << projectionFileName(name);
        }
    }
    for (const resultGridStyle& row : resultGridStyles())
        names << row.grid + QStringLiteral(".qml");
    names.removeDuplicates();
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
    QStringList names = outputNames(request);
    // The .prj beside an ESRI ASCII grid is this run's too.
    for (const QString& name : outputNames(request))
        if (request.format == outputFormat::esriAscii && name.endsWith(QLatin1String(".asc")))
            names << projectionFileName(name);
    for (const QString& name : names)
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

outputStaging::outputStaging(const QString& outputFolder) : outputFolder_(outputFolder)
{
    addStagingFolder(outputFolder);
}

outputStaging::~outputStaging() = default;  // each staging folder goes with what it still holds

void outputStaging::addStagingFolder(const QString& folder)
{
    auto staged = std::make_unique<QTemporaryDir>(QDir(folder).filePath(QStringLiteral(".tumbra-staging-XXXXXX")));
    if (!staged->isValid())
        staged.reset();
    folders_.push_back({folder, std::move(staged)});
}

// The output folder however `path` reaches it (by a link, say), else the folder `path` names.
QString outputStaging::folderOf(const QString& path) const
{
    const QString folder = QFileInfo(path).absolutePath();
    if (folder == QDir::cleanPath(outputFolder_)
        || QFileInfo(folder).canonicalFilePath() == QFileInfo(outputFolder_).canonicalFilePath())
        return outputFolder_;
    return folder;
}

const QTemporaryDir* outputStaging::stagingFor(const QString& path) const
{
    const QFileInfo final(path);
    const QString folder = folderOf(path);
    for (const stagingFolder& candidate : folders_) {
        if (candidate.folder != folder)
            continue;
        if (!candidate.staged || (final.exists() && (!final.isFile() || !final.isWritable())))
            return nullptr;
        return candidate.staged.get();
    }
    return nullptr;
}

QString outputStaging::folderFor(const QString& name) const
{
    const QTemporaryDir* staged = stagingFor(QDir(outputFolder_).filePath(name));
    return staged ? staged->path() : outputFolder_;
}

QString outputStaging::stagedPath(const QString& path)
{
    const QString folder = folderOf(path);
    if (std::none_of(folders_.begin(), folders_.end(), [&](const stagingFolder& f) { return f.folder == folder; }))
        addStagingFolder(folder);
    const QTemporaryDir* staged = stagingFor(path);
    return staged ? QDir(staged->path()).filePath(QFileInfo(path).fileName()) : path;
}

bool outputStaging::holds(const QString& name) const
{
    const QString final = QDir(outputFolder_).filePath(name);
    const QTemporaryDir* staged = stagingFor(final);
    return staged && QFileInfo::exists(QDir(staged->path()).filePath(QFileInfo(final).fileName()));
}

bool outputStaging::commit(const QStringList& names, QString& error)
{
    for (const QString& name : names) {
        if (!holds(name))
            continue;
        const QString final = QDir(outputFolder_).filePath(name);
        const QString staged = QDir(stagingFor(final)->path()).filePath(QFileInfo(final).fileName());
        // One rename each within the folder's volume: it cannot run out of space.
        std::error_code renameError;
        std::filesystem::rename(QFile::encodeName(staged).toStdString(), QFile::encodeName(final).toStdString(),
                                renameError);
        if (renameError) {
            error = QStringLiteral("Failed to move file %1 into place: %2.")
                        .arg(name, QString::fromLocal8Bit(renameError.message().c_str()));
            return false;
        }
    }
    return true;
}

void removeEarlierOutputs(const QString& folder, const QStringList& candidates, const QStringList& kept)
{
    const QDir dir(folder);
    for (const QString& name : candidates)
        if (!kept.contains(name) && QFileInfo(dir.filePath(name)).isFile())
            QFile::remove(dir.filePath(name));
}

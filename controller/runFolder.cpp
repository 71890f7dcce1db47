#include "controller/runFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QTemporaryFile>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "controller/runRequest.h"
#include "outputs/mapPictureFile.h"
#include "outputs/outputStaging.h"

namespace {

const QString lockFileName = QStringLiteral(".tumbra.lock");

// Permissions alone do not tell: a read-only volume or the superuser's
// rights decide too, so a file is made and removed again.
QString writeProblem(const QString& folder)
{
    QTemporaryFile probe(folder + QStringLiteral("/.tumbra-write-check-XXXXXX"));
    return probe.open() ? QString() : probe.errorString();
}

// Two paths name the same place when they do once every link is resolved;
// a file not made yet is compared by its cleaned absolute path.
QString samePlace(const QString& path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

}  // namespace

QStringList outputNames(const runRequest& request) { return plannedFileNames(outputSelectionOf(request)); }

QStringList withoutInputFiles(const runRequest& request, const QStringList& names)
{
    QStringList kept;
    for (const QString& name : names) {
        const QFileInfo output(QDir(request.outputFolder).filePath(name));
        bool input = false;
        for (const QString& file : inputFilesOf(request)) {
            const QFileInfo read(file);
            input = input || (samePlace(read.absolutePath()) == samePlace(output.absolutePath())
                              && read.completeBaseName() == output.completeBaseName());
        }
        if (!input)
            kept << name;
    }
    return kept;
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
    if (!lock(error))
        return false;
    removeLeftoverStaging(path_);
    return true;
}

// A lock is broken only when its process has gone (on this machine) or when
// it names none: an empty or unreadable lock, such as a full disk leaves,
// would block the folder for ever.
bool runFolder::lock(QString& error)
{
    lock_ = std::make_unique<QLockFile>(path_ + QLatin1Char('/') + lockFileName);
    lock_->setStaleLockTime(0);
    if (lock_->tryLock(0))
        return true;
    qint64 pid = 0;
    QString host;
    QString program;
    const bool named = lock_->getLockInfo(&pid, &host, &program) && pid > 0 && !host.isEmpty();
    if (lock_->error() == QLockFile::LockFailedError && !named && lock_->removeStaleLockFile() && lock_->tryLock(0))
        return true;
    if (lock_->error() == QLockFile::LockFailedError && named)
        error = QStringLiteral("The output folder %1 is in use by another run (%2, process %3 on %4). Wait for it to "
                               "end or choose another folder.")
                    .arg(path_, program)
                    .arg(pid)
                    .arg(host);
    else {
        const QString problem = writeProblem(path_);
        error = QStringLiteral("The output folder %1 cannot be locked for this run: its lock file %2 cannot be made "
                               "(%3). Free some space or choose another folder.")
                    .arg(path_, lockFileName, problem.isEmpty() ? QStringLiteral("it cannot be replaced") : problem);
    }
    lock_.reset();
    return false;
}

QStringList runFolder::existingOutputs(const runRequest& request) const
{
    QStringList present;
    const QDir folder(path_);
    for (const QString& name : outputNames(request))
        if (QFileInfo::exists(folder.filePath(name)) || QFileInfo(folder.filePath(name)).isSymLink())
            present << folder.filePath(name);
    return present;
}

QString runFolder::outputsRefusal(const runRequest& request) const
{
    const QDir folder(path_);
    QStringList inputs;
    for (const QString& input : inputFilesOf(request))
        inputs << samePlace(input);
    const QStringList names = outputNames(request);
    for (const QString& name : names) {
        const QString path = folder.filePath(name);
        if (inputs.contains(samePlace(path)))
            return QStringLiteral("The input %1 lies where the run writes its output %2. Move the input out of the "
                                  "output folder or choose another output folder.")
                .arg(path, name);
    }
    if (!request.mapFile.isEmpty()) {
        const QString map = samePlace(request.mapFile);
        for (const QString& name : names)
            if (!QDir::isAbsolutePath(name) && samePlace(folder.filePath(name)) == map)
                return QStringLiteral("The map %1 would replace the run's output %2. Give --map another name.")
                    .arg(request.mapFile, name);
        if (inputs.contains(map))
            return QStringLiteral("The map %1 would replace an input of the run. Give --map another name.")
                .arg(request.mapFile);
    }
    for (const QString& name : names)
        if (const QString problem = outputStaging::placeProblem(folder.filePath(name)); !problem.isEmpty())
            return problem;
    return QString();
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

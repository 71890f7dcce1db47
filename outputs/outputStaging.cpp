#include "outputs/outputStaging.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace {

namespace fs = std::filesystem;

const QString stagingPattern = QStringLiteral(".tumbra-staging-");

fs::path nativePath(const QString& path) { return fs::path(QFile::encodeName(path).toStdString()); }

QString reasonOf(const std::error_code& error) { return QString::fromLocal8Bit(error.message().c_str()); }

// One move of a commit, to undo it when a later one fails.
struct move
{
    fs::path from;
    fs::path to;
};

bool rename(const fs::path& from, const fs::path& to, std::vector<move>& done, std::error_code& error)
{
    fs::rename(from, to, error);
    if (error)
        return false;
    done.push_back({from, to});
    return true;
}

void undo(std::vector<move>& done)
{
    for (auto step = done.rbegin(); step != done.rend(); ++step) {
        std::error_code ignored;
        fs::rename(step->to, step->from, ignored);
    }
    done.clear();
}

}  // namespace

outputStaging::outputStaging(const QString& outputFolder) : outputFolder_(QDir::cleanPath(outputFolder))
{
    stagingFor(QDir(outputFolder_).filePath(QStringLiteral("log.txt")));
}

outputStaging::~outputStaging() = default;  // each staging folder goes with what it still holds

// The output folder however `path` reaches it (by a link, say), else the folder `path` names.
QString outputStaging::folderOf(const QString& path) const
{
    const QString folder = QFileInfo(path).absolutePath();
    if (folder == outputFolder_
        || QFileInfo(folder).canonicalFilePath() == QFileInfo(outputFolder_).canonicalFilePath())
        return outputFolder_;
    return folder;
}

QString outputStaging::finalPath(const QString& name) const
{
    return QDir::isAbsolutePath(name) ? name : QDir(outputFolder_).filePath(name);
}

const outputStaging::stagingFolder* outputStaging::findStaging(const QString& path) const
{
    const QString folder = folderOf(path);
    const auto found =
        std::find_if(folders_.begin(), folders_.end(), [&](const stagingFolder& f) { return f.folder == folder; });
    return found == folders_.end() ? nullptr : &*found;
}

outputStaging::stagingFolder& outputStaging::stagingFor(const QString& path)
{
    const QString folder = folderOf(path);
    for (stagingFolder& candidate : folders_)
        if (candidate.folder == folder)
            return candidate;
    auto staged = std::make_unique<QTemporaryDir>(QDir(folder).filePath(stagingPattern + QStringLiteral("XXXXXX")));
    QString error;
    if (!staged->isValid()) {
        error = staged->errorString();
        staged.reset();
    }
    folders_.push_back({folder, std::move(staged), error});
    return folders_.back();
}

QString outputStaging::stagedPath(const QString& path) const
{
    const stagingFolder* staging = findStaging(path);
    if (!staging || !staging->staged)
        return QString();
    return QDir(staging->staged->path()).filePath(QFileInfo(path).fileName());
}

std::optional<outputTarget> outputStaging::targetFor(const QString& name, QString& error)
{
    const QString path = finalPath(name);
    const stagingFolder& staging = stagingFor(path);
    if (!staging.staged) {
        error = QStringLiteral("No file can be written into %1 (%2): nothing of this run was placed. Free some space "
                               "or choose another folder.")
                    .arg(staging.folder, staging.error);
        return std::nullopt;
    }
    outputTarget target(stagedPath(path));
    target.name = name;
    return target;
}

bool outputStaging::holds(const QString& name) const
{
    const QString staged = stagedPath(finalPath(name));
    return !staged.isEmpty() && QFileInfo::exists(staged);
}

QString outputStaging::placeProblem(const QString& path)
{
    std::error_code error;
    const fs::file_status status = fs::symlink_status(nativePath(path), error);
    if (error || !fs::exists(status) || fs::is_symlink(status))
        return QString();
    if (fs::is_directory(status))
        return QStringLiteral("%1 is a folder, where an output file of that name goes. Move it away or choose another "
                              "output folder.")
            .arg(path);
    // By its permission bits, not by access() (nor Qt's WriteUser, taken from
    // it): the superuser may write anything, but a file its owner made
    // read-only is not to be replaced.
    constexpr QFile::Permissions writable = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    if (!(QFile::permissions(path) & writable))
        return QStringLiteral("%1 is write-protected. Make it writable or choose another output folder.").arg(path);
    return QString();
}

// Every replaced or removed file is first moved aside into the staging
// folder beside it, so that each step is one rename within one volume and
// can be taken back.
bool outputStaging::commit(const QStringList& names, const QStringList& removed, QString& error)
{
    QStringList placed;
    for (const QString& name : names)
        if (holds(name))
            placed << name;
    for (const QString& name : placed + removed) {
        error = placeProblem(finalPath(name));
        if (!error.isEmpty())
            return false;
    }
    std::vector<move> done;
    int aside = 0;
    const auto moveAside = [&](const QString& path, std::error_code& failure) {
        std::error_code missing;
        if (!fs::exists(fs::symlink_status(nativePath(path), missing)))
            return true;
        const QString staged = stagedPath(path);
        if (staged.isEmpty()) {
            failure = std::make_error_code(std::errc::read_only_file_system);
            return false;
        }
        return rename(nativePath(path), nativePath(staged + QStringLiteral(".replaced-%1").arg(++aside)), done,
                      failure);
    };
    for (const QString& name : removed) {
        std::error_code failure;
        stagingFor(finalPath(name));
        if (!moveAside(finalPath(name), failure)) {
            error = QStringLiteral("Failed to remove the earlier file %1: %2. Nothing of this run was placed.")
                        .arg(name, reasonOf(failure));
            undo(done);
            return false;
        }
    }
    for (const QString& name : placed) {
        const QString final = finalPath(name);
        std::error_code failure;
        if (!moveAside(final, failure) || !rename(nativePath(stagedPath(final)), nativePath(final), done, failure)) {
            error = QStringLiteral("Failed to move file %1 into place: %2. Nothing of this run was placed.")
                        .arg(name, reasonOf(failure));
            undo(done);
            return false;
        }
    }
    return true;
}

void removeLeftoverStaging(const QString& folder)
{
    QDirIterator entries(folder, {stagingPattern + QLatin1Char('*')}, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    while (entries.hasNext())
        QDir(entries.next()).removeRecursively();
}

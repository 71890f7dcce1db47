#pragma once

#include <memory>
#include <vector>

#include <QString>
#include <QStringList>

class QLockFile;
class QTemporaryDir;
struct runRequest;

// The names of the files a run of `request` writes into its output folder,
// in the order it writes them. The one list of output names: a new output
// is one line here.
QStringList outputNames(const runRequest& request);

// Every name a run into the same folder may have written, whatever its format
// and options: the grids, their .prj and .qml beside them, and the rest.
// With --overwrite, those of them a run does not write again are removed
// once its own files are in place, so that no earlier file is taken for its.
QStringList everyOutputName(const runRequest& request);

// Why no file can be written where `mapFile` names one; empty when it can.
QString mapFileProblem(const QString& mapFile);

// The output folder of one run, from before the run to its end: made where
// missing, checked for writing, locked against a second run into it, and
// removed again when the run made it and left it empty.
class runFolder
{
public:
    explicit runFolder(const QString& absolutePath);
    ~runFolder();
    runFolder(const runFolder&) = delete;
    runFolder& operator=(const runFolder&) = delete;

    // Makes, checks and locks the folder; on failure says why in `error`.
    bool prepare(QString& error);
    // The folder with every symbolic link resolved once it is prepared.
    QString path() const { return path_; }
    // Whether this run made the folder (and so may remove it again).
    bool created() const { return created_; }

    // The outputs of `request` that are there already, and its map, by path.
    QStringList existingOutputs(const runRequest& request) const;
    // The refusal of a run that would replace `present`.
    static QString existingFilesRefusal(const QStringList& present);

    // Unlocks the folder and removes it when this run made it and it is empty.
    void release();

private:
    QString path_;
    bool created_ = false;
    std::unique_ptr<QLockFile> lock_;
};

// The files of one run, written into a hidden folder inside the output folder
// and moved into place together once every one is complete: a failed write,
// a full disk, a stop or a signal leaves the earlier files as they were. A
// file of the run in another folder (the map) is staged in a hidden folder
// of its own beside it. What is still staged is removed with this object.
class outputStaging
{
public:
    explicit outputStaging(const QString& outputFolder);
    ~outputStaging();
    outputStaging(const outputStaging&) = delete;
    outputStaging& operator=(const outputStaging&) = delete;

    // Where the file `name` is written. Straight into the output folder when
    // no staging folder can be made there (nothing can be written then), or
    // when the file there cannot be replaced (a write-protected file, a
    // folder in its place), so that the writer says why as it always has.
    QString folderFor(const QString& name) const;
    // Where the file at the absolute `path`, in any folder, is written: on
    // the same terms, staged beside it.
    QString stagedPath(const QString& path);
    // Whether the file `name` (in the output folder, or an absolute path) is staged.
    bool holds(const QString& name) const;
    // Moves the staged files among `names` (in the output folder, or absolute
    // paths) into place; false with the reason in `error` when one cannot be moved.
    bool commit(const QStringList& names, QString& error);

private:
    struct stagingFolder
    {
        QString folder;  // where its files go
        std::unique_ptr<QTemporaryDir> staged;
    };
    QString folderOf(const QString& path) const;
    // The staging folder of the file that goes to `path`; null where it is written straight there.
    const QTemporaryDir* stagingFor(const QString& path) const;
    void addStagingFolder(const QString& folder);

    QString outputFolder_;
    std::vector<stagingFolder> folders_;  // the output folder's first
};

// Removes from `folder` every file named in `candidates` but not in `kept`.
void removeEarlierOutputs(const QString& folder, const QStringList& candidates, const QStringList& kept);

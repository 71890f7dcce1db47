#pragma once

#include <memory>

#include <QString>
#include <QStringList>

class QLockFile;
struct runRequest;

// The names of the files a run of `request` writes, as the output table
// gives them: in the output folder, the map's files by absolute path.
QStringList outputNames(const runRequest& request);

// Why no file can be written where `mapFile` names one; empty when it can.
QString mapFileProblem(const QString& mapFile);

// `names` (in the output folder) without the run's input files and the
// files that share an input's base name there (its .prj, a Shapefile's
// parts): a run never replaces or removes a file it reads.
QStringList withoutInputFiles(const runRequest& request, const QStringList& names);

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

    // Why the outputs of `request` cannot go where they would: an output
    // that is one of the inputs, a map that names a result file, a folder or
    // a write-protected file in an output's place. Empty when they can.
    QString outputsRefusal(const runRequest& request) const;
    // The outputs of `request` that are there already, by path.
    QStringList existingOutputs(const runRequest& request) const;
    // The refusal of a run that would replace `present`.
    static QString existingFilesRefusal(const QStringList& present);

    // Unlocks the folder and removes it when this run made it and it is empty.
    void release();

private:
    bool lock(QString& error);

    QString path_;
    bool created_ = false;
    std::unique_ptr<QLockFile> lock_;
};

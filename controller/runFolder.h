#pragma once

#include <memory>

#include <QString>
#include <QStringList>

class QLockFile;
struct runRequest;

// The names of the files a run of `request` writes into its output folder,
// in the order it writes them. The one list of output names: a new output
// is one line here.
QStringList outputNames(const runRequest& request);

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

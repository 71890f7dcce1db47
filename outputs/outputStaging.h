#pragma once

#include <memory>
#include <optional>
#include <vector>

#include <QString>
#include <QStringList>

#include "raster/outputFiles.h"

class QTemporaryDir;

// The files of one run, written into a hidden folder inside the output
// folder and moved into place together once every one is complete: a failed
// write, a full disk, a stop or a signal leaves the earlier files as they
// were. A file of the run in another folder (the map) is staged in a hidden
// folder of its own beside it. What is still staged is removed with this
// object.
class outputStaging
{
public:
    explicit outputStaging(const QString& outputFolder);
    ~outputStaging();
    outputStaging(const outputStaging&) = delete;
    outputStaging& operator=(const outputStaging&) = delete;

    // Where the file `name` (in the output folder, or an absolute path) is
    // written, messages naming it by `name`; none, with the reason in
    // `error`, when no staging folder can be made beside its place.
    std::optional<outputTarget> targetFor(const QString& name, QString& error);
    // Whether the file `name` has been written into the staging.
    bool holds(const QString& name) const;

    // Places the staged files among `names` and removes the files `removed`
    // (names in the output folder, or absolute paths) as one step: either
    // every file is in place and every removed one gone, or, when one cannot
    // be moved, what was done is undone and the folder is as it was. False,
    // with the reason naming the file and the fix, when they are not placed.
    bool commit(const QStringList& names, const QStringList& removed, QString& error);

    // Why the place of the output at `path` cannot take a new file (a folder
    // there, a write-protected file); empty when it can. A symbolic link is
    // replaced, never followed.
    static QString placeProblem(const QString& path);

private:
    struct stagingFolder
    {
        QString folder;  // where its files go
        std::unique_ptr<QTemporaryDir> staged;
        QString error;  // why it could not be made
    };
    QString finalPath(const QString& name) const;
    QString folderOf(const QString& path) const;
    stagingFolder& stagingFor(const QString& path);
    const stagingFolder* findStaging(const QString& path) const;
    QString stagedPath(const QString& path) const;

    QString outputFolder_;
    std::vector<stagingFolder> folders_;  // the output folder's first
};

// Removes what a run killed outright left behind in `folder`: staging
// folders no run holds any more. Called by the run that holds the folder's lock.
void removeLeftoverStaging(const QString& folder);

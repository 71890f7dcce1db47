#include "raster/textOutputFile.h"

#include <QDir>
#include <QFileInfo>

// Every file goes through a temporary file that replaces the target only
// once it is complete, so a failed write leaves an earlier file untouched.
// Opening otherwise behaves as a plain open for writing: a missing folder is
// made with its parents (the file is skipped silently when that fails), and
// a file that cannot be opened is skipped after the permission warning.
// QSaveFile refuses an existing file that is not writable, as a plain open
// does, although its rename could replace it; it also refuses a folder it
// cannot create the temporary file in, even when the file itself is writable.
bool textOutputFile::open(messageSink& sink)
{
    const QString folder = QFileInfo(target_.path).absolutePath();
    if (!QDir(folder).exists() && !QDir().mkpath(folder))
        return false;
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        sink.warningBox(permissionWarningText(false, target_.name));
        return false;
    }
    return true;
}

// Replaces the target with the complete temporary file; after a failed
// write the temporary file is dropped and the target stays as it was.
writeOutcome textOutputFile::commit(messageSink& sink)
{
    QString reason;
    if (!writer_.flush()) {
        reason = writer_.writeError();
        file_.cancelWriting();
    } else if (!file_.commit()) {
        reason = file_.errorString();
    } else {
        return writeOutcome::written;
    }
    sink.error(QStringLiteral("Failed to write file %1: %2.").arg(target_.name, reason));
    return writeOutcome::failed;
}

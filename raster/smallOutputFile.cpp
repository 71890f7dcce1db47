#include "raster/smallOutputFile.h"

#include <cerrno>
#include <cstring>

#include <QSaveFile>

writeOutcome writeSmallOutputFile(const outputTarget& target, const QByteArray& contents, messageSink& sink)
{
    QSaveFile file(target.path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        sink.warningBox(permissionWarningText(false, target.name));
        return writeOutcome::notOpened;
    }
    // Unbuffered, a write cut short says so here: a buffered one is cut
    // short in the flush, where Qt does not always report it.
    if (file.write(contents) != contents.size()) {
        const QString reason =
            file.error() != QFileDevice::NoError ? file.errorString() : QString::fromLocal8Bit(std::strerror(errno));
        file.cancelWriting();
        sink.error(QStringLiteral("Failed to write file %1: %2.").arg(target.name, reason));
        return writeOutcome::failed;
    }
    if (!file.commit()) {
        sink.error(QStringLiteral("Failed to write file %1: %2.").arg(target.name, file.errorString()));
        return writeOutcome::failed;
    }
    return writeOutcome::written;
}

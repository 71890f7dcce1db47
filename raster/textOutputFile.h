#pragma once

#include <cstddef>
#include <vector>

#include <QByteArrayView>
#include <QSaveFile>
#include <QString>

#include "raster/fixedNotation.h"
#include "raster/messageSink.h"
#include "raster/outputFiles.h"

// Collects output text into blocks of about a megabyte before it goes to the
// file: a grid of a hundred million cells then costs a hundred large writes
// instead of one call per value. After a failed write everything further is
// dropped, so the writers can stop early and report.
class blockWriter
{
public:
    static constexpr std::size_t blockSize = std::size_t{1} << 20;
    // Room always free at cursor(): one trajectory point line, the longest text the writers put there at once.
    static constexpr std::size_t slack = 4096;
    static_assert(slack >= 1 + integerTextCapacity + 3 * (1 + fixedTextCapacity), "a point line must fit");

    explicit blockWriter(QSaveFile& file) : file_(file), bytes_(blockSize + slack) {}

    char* cursor() { return bytes_.data() + used_; }

    void advanceTo(const char* end)
    {
        used_ = static_cast<std::size_t>(end - bytes_.data());
        if (used_ >= blockSize)
            flush();
    }

    void append(QByteArrayView text)
    {
        const char* data = text.data();
        std::size_t left = static_cast<std::size_t>(text.size());
        while (left > 0) {
            const std::size_t chunk = std::min(left, blockSize - used_);
            std::memcpy(cursor(), data, chunk);
            data += chunk;
            left -= chunk;
            advanceTo(cursor() + chunk);
        }
    }

    bool flush()
    {
        // A short write is not an error yet (the file takes what fits);
        // asking for the rest brings out the reason, a full disk for one.
        const char* data = bytes_.data();
        qint64 left = static_cast<qint64>(used_);
        while (!failed() && left > 0) {
            const qint64 written = file_.write(data, left);
            if (written <= 0)
                writeError_ = file_.errorString();
            else {
                data += written;
                left -= written;
            }
        }
        used_ = 0;
        return !failed();
    }

    bool failed() const { return !writeError_.isNull(); }
    const QString& writeError() const { return writeError_; }

private:
    QSaveFile& file_;
    std::vector<char> bytes_;
    std::size_t used_ = 0;
    QString writeError_;
};

// A text output written in blocks through a temporary file: opened as the
// writers open every file, committed whole or not at all.
class textOutputFile
{
public:
    explicit textOutputFile(const outputTarget& target) : target_(target), file_(target.path), writer_(file_) {}
    // Opens the temporary file; false (after the permission warning) when it cannot be made.
    bool open(messageSink& sink);
    blockWriter& writer() { return writer_; }
    // Replaces the target with the complete file; after a failed write the
    // temporary file is dropped, the target stays as it was and the error
    // names the file.
    writeOutcome commit(messageSink& sink);

private:
    outputTarget target_;
    QSaveFile file_;
    blockWriter writer_;
};

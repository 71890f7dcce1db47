#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include "tests/fuzz/readerExercise.h"

namespace {

// The readers take a file name, so every input is written to a file of its
// own per process (parallel fuzzing jobs do not share it).
class inputFile
{
public:
    inputFile()
        : path_(QDir(QDir::tempPath())
                    .filePath(QStringLiteral("tumbra-fuzz-%1.asc").arg(QCoreApplication::applicationPid())))
    {
    }
    ~inputFile() { QFile::remove(path_); }
    const QString& path() const { return path_; }

private:
    QString path_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const inputFile input;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString failure = readerExercise::exerciseReaders(input.path(), bytes);
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "grid reader check failed: %s\n", qPrintable(failure));
        std::abort();
    }
    return 0;
}

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <QCoreApplication>
#include <QDir>

#include "tests/fuzz/readerExercise.h"

// The readers take a file name, so every input is written to a file of the
// process's own (parallel fuzzing jobs do not share it), removed at exit.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const struct inputFile
    {
        QString path =
            QDir::temp().filePath(QStringLiteral("tumbra-fuzz-%1.asc").arg(QCoreApplication::applicationPid()));
        ~inputFile() { QFile::remove(path); }
    } input;
    const QString failure = readerExercise::exerciseReaders(
        input.path, QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "grid reader check failed: %s\n", qPrintable(failure));
        std::abort();
    }
    return 0;
}

#include "raster/asciiGridStream.h"

#include <QFile>

asciiGridStream::asciiGridStream() = default;
asciiGridStream::~asciiGridStream() = default;

bool asciiGridStream::open(const QString& fileName)
{
    close();
    auto file = std::make_unique<QFile>(fileName);
    if (!file->open(QIODevice::ReadOnly))
        return false;
    file_ = std::move(file);
    return true;
}

bool asciiGridStream::isOpen() const { return file_ != nullptr; }

void asciiGridStream::close() { file_.reset(); }

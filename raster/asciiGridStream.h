#pragma once

#include <memory>

#include <QString>

class QFile;

// The text stream the grid readers work on: owns the opened file while
// attached. (Reading operations are added by the reader.)
class asciiGridStream
{
public:
    asciiGridStream();
    ~asciiGridStream();
    asciiGridStream(const asciiGridStream&) = delete;
    asciiGridStream& operator=(const asciiGridStream&) = delete;

    bool open(const QString& fileName);
    bool isOpen() const;
    void close();

private:
    std::unique_ptr<QFile> file_;
};

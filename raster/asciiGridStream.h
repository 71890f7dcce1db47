#pragma once

#include <memory>
#include <vector>

#include <QByteArray>
#include <QString>
#include <QStringConverter>

class QIODevice;

// The text stream the grid readers work on: owns the opened file while
// attached, and reads it in large chunks. Lines and numbers are read exactly
// as a Qt text stream reads them (UTF-8, or UTF-16/UTF-32 announced by a byte
// order mark; white space as QChar::isSpace; numbers as its float reading),
// at a speed that suits grids of a gigabyte.
class asciiGridStream
{
public:
    // The text stream's status: once bad it stays bad until the next open.
    enum readStatus { ok, readPastEnd, readCorruptData };

    static constexpr qsizetype defaultChunkSize = qsizetype(4) << 20;

    asciiGridStream();
    ~asciiGridStream();
    asciiGridStream(const asciiGridStream&) = delete;
    asciiGridStream& operator=(const asciiGridStream&) = delete;

    bool open(const QString& fileName);
    // Reads any random-access device, such as a QBuffer; opens it read-only if
    // it is not open yet. A small chunk size makes every refill path run.
    bool open(std::unique_ptr<QIODevice> device, qsizetype chunkSize = defaultChunkSize);
    bool isOpen() const;
    void close();
    // The file opened by name, for messages; empty for a device.
    const QString& fileName() const { return fileName_; }

    // No more characters; trailing white space is not the end.
    bool atEnd() const;
    // Byte offsets into the text: for progress reports.
    qint64 pos() const;
    qint64 size() const;

    // The next line without its LF or CRLF; false at the end.
    bool readLine(QString& line);
    // The first characters of the next line (up to maxBytes bytes), not consumed.
    QString peekLineStart(int maxBytes);
    // Everything not read yet.
    QString readAll();

    // Skips white space and reads one number as a 32-bit float. On failure the
    // value is 0, the status turns bad and the offending character stays unread.
    bool readFloat(float& value);
    // The same number before its narrowing to float: header origins keep it.
    bool readDouble(double& value);
    readStatus status() const { return status_; }
    // readFloat `count` times; returns how many values were read before the
    // first failure. Large counts are read on two threads where the text
    // allows (see readPlainNumbersInParallel), with the same values, status
    // and position as one value at a time.
    qsizetype readFloats(float* values, qsizetype count);

    // Fewer values than this are read on the calling thread alone.
    static constexpr qsizetype parallelReadMinimum = 1 << 16;

private:
    void attach(std::unique_ptr<QIODevice> device, qsizetype chunkSize);
    void transcodeToUtf8(QStringConverter::Encoding encoding);
    void fill(qsizetype wanted);
    qsizetype available() const { return tail_ - head_; }
    void skipSpaces();
    void skipDigits();
    template <typename Predicate>
    void skipWhile(Predicate keep);
    void setFailed();
    qsizetype readFloatsOneByOne(float* values, qsizetype count);
    struct parallelRead
    {
        qsizetype values = 0;
        bool wholeBlock = false;  // false: stopped at a value it leaves to readFloat
    };
    parallelRead readPlainNumbersInParallel(float* values, qsizetype count);

    std::unique_ptr<QIODevice> device_;
    QString fileName_;
    std::vector<char> buffer_;
    qsizetype chunkSize_ = defaultChunkSize;
    qsizetype head_ = 0;      // next unread byte in buffer_
    qsizetype tail_ = 0;      // end of the bytes held in buffer_
    qint64 bufferStart_ = 0;  // text offset of buffer_[0]
    qint64 deviceRead_ = 0;   // text offset up to which the device was read
    qint64 contentEnd_ = 0;   // text offset where reading ends
    readStatus status_ = ok;
    // For the parallel route: values that follow a text it could not take
    // are read one by one for this long (it doubles while the text stays
    // unusual); and how many bytes a value takes, to size the blocks.
    qsizetype oneByOneStretch_ = 0;
    double bytesPerValue_ = 0.0;
    std::vector<float> secondHalf_;
};

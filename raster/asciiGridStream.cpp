#include "raster/asciiGridStream.h"

#include <algorithm>
#include <cstring>

#include <QBuffer>
#include <QChar>
#include <QFile>
#include <QStringConverter>

#include "raster/numberBlockParser.h"
#include "raster/numberParser.h"

namespace {

constexpr int maxUtf8Length = 4;

bool isContinuationByte(unsigned char c) { return (c & 0xC0) == 0x80; }

// Length of the well-formed UTF-8 character at p (and its code point), or 0
// where a decoder sees an invalid byte: that byte then stands for U+FFFD,
// which is neither white space nor a digit.
int decodeUtf8(const unsigned char* p, const unsigned char* end, char32_t& codePoint)
{
    const unsigned char lead = *p;
    int length = 0;
    char32_t lowest = 0;
    if (lead >= 0xC2 && lead < 0xE0) {
        length = 2;
        lowest = 0x80;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead < 0xF0) {
        length = 3;
        lowest = 0x800;
        codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead < 0xF5) {
        length = 4;
        lowest = 0x10000;
        codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (end - p < length)
        return 0;
    for (int i = 1; i < length; ++i) {
        if (!isContinuationByte(p[i]))
            return 0;
        codePoint = (codePoint << 6) | (p[i] & 0x3F);
    }
    if (codePoint < lowest || QChar::isSurrogate(codePoint) || codePoint > QChar::LastValidCodePoint)
        return 0;
    return length;
}

// A file that ends inside a UTF-8 character: the text stream's decoder waits
// for the rest of it, which never comes, so those bytes are never read.
qint64 incompleteTailLength(const QByteArray& lastBytes)
{
    const auto n = static_cast<int>(lastBytes.size());
    for (int back = 1; back <= std::min(n, maxUtf8Length - 1); ++back) {
        const auto c = static_cast<unsigned char>(lastBytes.at(n - back));
        if (isContinuationByte(c))
            continue;
        const int needed = c >= 0xC2 && c < 0xE0 ? 2 : c >= 0xE0 && c < 0xF0 ? 3 : c >= 0xF0 && c < 0xF5 ? 4 : 0;
        return needed > back ? back : 0;
    }
    return 0;
}

// Lines are decoded as the text stream decodes them in mid-file: a U+FEFF
// there is a character, not a byte order mark to drop, and a character cut
// short by the line break is invalid, not waited for.
QString decodeText(const char* bytes, qsizetype length)
{
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::ConvertInitialBom | QStringDecoder::Flag::Stateless);
    return decoder.decode(QByteArrayView(bytes, length));
}

// Text blocks of the parallel route: large enough that starting a thread is
// cheap beside parsing half of one.
constexpr qsizetype minimumParallelBlock = qsizetype(256) << 10;
constexpr qsizetype maximumParallelBlock = qsizetype(16) << 20;
constexpr qsizetype minimumOneByOneStretch = 1024;
constexpr qsizetype maximumOneByOneStretch = qsizetype(1) << 24;

}  // namespace

asciiGridStream::asciiGridStream() = default;
asciiGridStream::~asciiGridStream() = default;

bool asciiGridStream::open(const QString& fileName)
{
    close();
    auto file = std::make_unique<QFile>(fileName);
    if (!file->open(QIODevice::ReadOnly))
        return false;
    attach(std::move(file), defaultChunkSize);
    fileName_ = fileName;
    return true;
}

bool asciiGridStream::open(std::unique_ptr<QIODevice> device, qsizetype chunkSize)
{
    close();
    if (!device || (!device->isOpen() && !device->open(QIODevice::ReadOnly)) || device->isSequential())
        return false;
    attach(std::move(device), chunkSize);
    return true;
}

bool asciiGridStream::isOpen() const { return device_ != nullptr; }

void asciiGridStream::close()
{
    device_.reset();
    fileName_.clear();
    buffer_.clear();
    buffer_.shrink_to_fit();
    head_ = tail_ = 0;
    bufferStart_ = deviceRead_ = contentEnd_ = 0;
    status_ = ok;
}

void asciiGridStream::attach(std::unique_ptr<QIODevice> device, qsizetype chunkSize)
{
    device_ = std::move(device);
    device_->seek(0);
    chunkSize_ = std::max<qsizetype>(chunkSize, 1);
    status_ = ok;
    oneByOneStretch_ = minimumOneByOneStretch;
    bytesPerValue_ = 0.0;

    // The encoding is taken from a byte order mark, as the text stream does.
    const auto encoding = QStringConverter::encodingForData(device_->peek(maxUtf8Length));
    if (encoding && *encoding != QStringConverter::Utf8)
        transcodeToUtf8(*encoding);

    qint64 start = 0;
    if (device_->peek(3) == QByteArrayLiteral("\xEF\xBB\xBF"))
        start = 3;
    const qint64 size = device_->size();
    if (size - start >= 1 && device_->seek(std::max(start, size - (maxUtf8Length - 1))))
        contentEnd_ = size - incompleteTailLength(device_->read(maxUtf8Length - 1));
    else
        contentEnd_ = size;
    contentEnd_ = std::max(contentEnd_, start);
    device_->seek(start);
    bufferStart_ = deviceRead_ = start;
    head_ = tail_ = 0;
}

// Files with a UTF-16 or UTF-32 byte order mark (Notepad's "Unicode") are
// small enough in practice to be converted whole.
void asciiGridStream::transcodeToUtf8(QStringConverter::Encoding encoding)
{
    QStringDecoder decoder(encoding);
    const QString text = decoder.decode(device_->readAll());
    auto converted = std::make_unique<QBuffer>();
    converted->setData(text.toUtf8());
    converted->open(QIODevice::ReadOnly);
    device_ = std::move(converted);
}

// Makes at least `wanted` unread bytes available, unless the text ends first.
// The buffer is refilled by whole chunks, so this is cheap to call often.
void asciiGridStream::fill(qsizetype wanted)
{
    if (available() >= wanted || deviceRead_ >= contentEnd_)
        return;
    if (head_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + head_, static_cast<size_t>(available()));
        bufferStart_ += head_;
        tail_ -= head_;
        head_ = 0;
    }
    // A small file gets a buffer of its own size, not a whole chunk.
    const qsizetype capacity =
        std::max(wanted, static_cast<qsizetype>(std::min<qint64>(chunkSize_, contentEnd_ - bufferStart_)));
    if (static_cast<qsizetype>(buffer_.size()) < capacity)
        buffer_.resize(static_cast<size_t>(capacity));
    const auto bufferSize = static_cast<qsizetype>(buffer_.size());
    while (tail_ < bufferSize && deviceRead_ < contentEnd_) {
        const qint64 wantedBytes = std::min<qint64>(bufferSize - tail_, contentEnd_ - deviceRead_);
        const qint64 got = device_->read(buffer_.data() + tail_, wantedBytes);
        if (got <= 0) {
            // A read error ends the text here, as it ends a text stream.
            contentEnd_ = deviceRead_;
            break;
        }
        tail_ += static_cast<qsizetype>(got);
        deviceRead_ += got;
    }
}

bool asciiGridStream::atEnd() const { return head_ == tail_ && deviceRead_ >= contentEnd_; }

qint64 asciiGridStream::pos() const { return bufferStart_ + head_; }

qint64 asciiGridStream::size() const { return contentEnd_; }

bool asciiGridStream::readLine(QString& text)
{
    text.clear();
    if (!device_ || atEnd())
        return false;
    QByteArray line;
    qsizetype searched = 0;
    for (;;) {
        const char* start = buffer_.data() + head_;
        if (available() > searched) {
            const void* newline = std::memchr(start + searched, '\n', static_cast<size_t>(available() - searched));
            if (newline != nullptr) {
                const qsizetype length = static_cast<const char*>(newline) - start;
                line = QByteArray(start, length);
                head_ += length + 1;
                break;
            }
        }
        searched = available();
        if (deviceRead_ >= contentEnd_) {
            line = QByteArray(start, searched);
            head_ = tail_;
            break;
        }
        fill(available() + chunkSize_);
    }
    if (line.endsWith('\r'))
        line.chop(1);
    text = decodeText(line.constData(), line.size());
    return true;
}

QString asciiGridStream::peekLineStart(int maxBytes)
{
    if (!device_)
        return {};
    fill(maxBytes);
    if (available() == 0)
        return {};
    const char* start = buffer_.data() + head_;
    const qsizetype window = std::min<qsizetype>(available(), maxBytes);
    const void* newline = std::memchr(start, '\n', static_cast<size_t>(window));
    return decodeText(start, newline ? static_cast<const char*>(newline) - start : window);
}

QString asciiGridStream::readAll()
{
    if (!device_)
        return {};
    QByteArray rest;
    while (!atEnd()) {
        fill(chunkSize_);
        rest.append(buffer_.data() + head_, available());
        head_ = tail_;
    }
    return decodeText(rest.constData(), rest.size());
}

// Passes over characters while `keep` holds for them, decoding UTF-8 as it goes.
template <typename Predicate>
void asciiGridStream::skipWhile(Predicate keep)
{
    for (;;) {
        if (available() < maxUtf8Length)
            fill(maxUtf8Length);
        if (available() == 0)
            return;
        const auto* p = reinterpret_cast<const unsigned char*>(buffer_.data()) + head_;
        char32_t codePoint = *p;
        int length = 1;
        if (*p >= 0x80)
            length = decodeUtf8(p, p + available(), codePoint);
        if (length == 0 || !keep(codePoint))
            return;
        head_ += length;
    }
}

void asciiGridStream::skipSpaces()
{
    skipWhile([](char32_t codePoint) { return QChar::isSpace(codePoint); });
}

// The digits after an overlong number are dropped; QChar::isDigit decides,
// one UTF-16 unit at a time, so digits beyond the BMP are not digits here.
void asciiGridStream::skipDigits()
{
    skipWhile([](char32_t codePoint) {
        if (codePoint < 0x80)
            return codePoint >= '0' && codePoint <= '9';
        return !QChar::requiresSurrogates(codePoint) && QChar::isDigit(codePoint);
    });
}

void asciiGridStream::setFailed()
{
    if (status_ == ok)
        status_ = atEnd() ? readPastEnd : readCorruptData;
}

bool asciiGridStream::readFloat(float& value)
{
    double number = 0.0;
    const bool read = readDouble(number);
    value = static_cast<float>(number);
    return read;
}

bool asciiGridStream::readDouble(double& value)
{
    value = 0.0;
    if (!device_) {
        setFailed();
        return false;
    }
    skipSpaces();
    if (available() < realTokenLookahead)
        fill(realTokenLookahead);
    const char* token = buffer_.data() + head_;
    double plainNumber = 0.0;
    if (const int plainLength = readPlainNumber(token, token + available(), plainNumber)) {
        head_ += plainLength;
        value = plainNumber;
        return true;
    }
    const realTokenScan scan = scanRealToken(token, token + available());
    double number = 0.0;
    const bool converted = scan.length > 0 && realTokenToDouble(token, scan.length, number);
    head_ += scan.length;
    if (scan.truncated)
        skipDigits();
    if (!converted) {
        setFailed();
        return false;
    }
    value = number;
    return true;
}

qsizetype asciiGridStream::readFloats(float* values, qsizetype count)
{
    qsizetype done = 0;
    while (done < count) {
        if (count - done >= parallelReadMinimum && status_ == ok) {
            const parallelRead block = readPlainNumbersInParallel(values + done, count - done);
            done += block.values;
            if (block.wholeBlock) {
                oneByOneStretch_ = minimumOneByOneStretch;
                continue;
            }
            if (done == count)
                break;
            oneByOneStretch_ = std::min(2 * oneByOneStretch_, maximumOneByOneStretch);
        }
        const qsizetype stretch = status_ == ok ? std::min(count - done, oneByOneStretch_) : count - done;
        const qsizetype read = readFloatsOneByOne(values + done, stretch);
        done += read;
        if (read < stretch)
            break;
    }
    return done;
}

qsizetype asciiGridStream::readFloatsOneByOne(float* values, qsizetype count)
{
    for (qsizetype i = 0; i < count; ++i) {
        // Where the buffer holds enough bytes for any token, ASCII white space
        // and plain numbers are taken right here; everything else, and the
        // last bytes of the buffer, go through readFloat.
        if (available() >= realTokenLookahead + maxUtf8Length) {
            const char* const data = buffer_.data();
            const char* const safeEnd = data + tail_ - realTokenLookahead;
            const char* p = data + head_;
            while (p < safeEnd && isAsciiSpace(*p))
                ++p;
            head_ = p - data;
            double number = 0.0;
            if (p < safeEnd) {
                if (const int length = readPlainNumber(p, data + tail_, number)) {
                    head_ += length;
                    values[i] = static_cast<float>(number);
                    continue;
                }
            }
        }
        if (!readFloat(values[i]))
            return i;
    }
    return count;
}

// A block of the text, cut after its last ASCII white space so that no
// number is split, goes to the two-thread block parser.
asciiGridStream::parallelRead asciiGridStream::readPlainNumbersInParallel(float* values, qsizetype count)
{
    const double expectedBytes = (bytesPerValue_ > 0.0 ? bytesPerValue_ : 8.0) * 1.05 * static_cast<double>(count);
    fill(static_cast<qsizetype>(std::clamp(expectedBytes, double(minimumParallelBlock), double(maximumParallelBlock))));
    const char* const data = buffer_.data();
    const char* const begin = data + head_;
    const char* end = data + tail_;
    if (deviceRead_ < contentEnd_) {
        while (end > begin && !isAsciiSpace(end[-1]))
            --end;
    }
    if (end - begin < minimumParallelBlock / 2)
        return {};
    const numberBlock block = parseNumberBlock(begin, end, values, count, secondHalf_);
    const qsizetype consumed = block.stop - begin;
    head_ += consumed;
    if (block.values > 0)
        bytesPerValue_ = static_cast<double>(consumed) / static_cast<double>(block.values);
    return {block.values, block.wholeBlock};
}

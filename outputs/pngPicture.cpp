#include "outputs/pngPicture.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <new>
#include <vector>

#include <zlib.h>

#include "outputs/bandDeflate.h"

namespace {

// The rows compressed as one piece: about a megabyte of them, so that every
// thread has bands to do and a band's matches seldom need its neighbour.
int bandRows(int width) { return std::max(1, (1 << 20) / (3 * width + 1)); }

// Bands compressed before their bytes are appended: bounds the memory held.
constexpr int bandsAtOnce = 16;

void appendBigEndian(QByteArray& bytes, uint32_t value)
{
    for (const int shift : {24, 16, 8, 0})
        bytes.append(static_cast<char>((value >> shift) & 0xFF));
}

// A chunk begun with four bytes for its length and its type, then its data:
// the length filled in, its checksum appended.
void closeChunk(QByteArray& chunk)
{
    const uint32_t length = static_cast<uint32_t>(chunk.size() - 8);
    for (int b = 0; b < 4; ++b)
        chunk[b] = static_cast<char>((length >> (24 - 8 * b)) & 0xFF);
    const auto* typed = reinterpret_cast<const Bytef*>(chunk.constData() + 4);
    appendBigEndian(chunk, static_cast<uint32_t>(crc32(0, typed, static_cast<uInt>(chunk.size() - 4))));
}

QByteArray chunkOf(const char* type, const QByteArray& data)
{
    QByteArray chunk(4, '\0');
    chunk.append(type, 4);
    chunk.append(data);
    closeChunk(chunk);
    return chunk;
}

struct compressedBand
{
    QByteArray chunk;  // an IDAT chunk with a piece of the deflate stream
    uLong adler = 1;
    uLong rawLength = 0;
};

// Rows [first, end) as PNG scanlines, unfiltered (filter type 0): the
// filters made a noisy relief's lines larger, not smaller.
void compressBand(int width, int first, int end, bool last, const pictureRowSource& rowOf, compressedBand& band)
{
    const std::size_t lineBytes = 3 * static_cast<std::size_t>(width) + 1;
    std::vector<QRgb> pixels(static_cast<std::size_t>(width));
    std::vector<uint8_t> raw(lineBytes * static_cast<std::size_t>(end - first));
    for (int y = first; y < end; ++y) {
        rowOf(y, pixels.data());
        uint8_t* line = raw.data() + lineBytes * static_cast<std::size_t>(y - first);
        *line++ = 0;
        for (const QRgb pixel : pixels) {
            *line++ = static_cast<uint8_t>(qRed(pixel));
            *line++ = static_cast<uint8_t>(qGreen(pixel));
            *line++ = static_cast<uint8_t>(qBlue(pixel));
        }
    }
    band.rawLength = static_cast<uLong>(raw.size());
    band.adler = adler32(1, raw.data(), static_cast<uInt>(raw.size()));
    std::vector<uint8_t> piece;
    if (!appendDeflatePiece(raw.data(), raw.size(), last, piece))
        throw std::bad_alloc();
    band.chunk.reserve(static_cast<qsizetype>(piece.size()) + 12);
    band.chunk.append(4, '\0');
    band.chunk.append("IDAT", 4);
    band.chunk.append(reinterpret_cast<const char*>(piece.data()), static_cast<qsizetype>(piece.size()));
    closeChunk(band.chunk);
}

// The PNG; an allocation that fails throws.
QByteArray pngOf(int width, int height, const pictureRowSource& rowOf)
{
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    QByteArray header;
    appendBigEndian(header, static_cast<uint32_t>(width));
    appendBigEndian(header, static_cast<uint32_t>(height));
    header.append("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, filter method 0, not interlaced
    png.append(chunkOf("IHDR", header));

    // One zlib stream in IDAT chunks: its header (32 KiB window, fastest
    // level), a chunk for each band's piece in order, then the checksum of
    // all the lines, combined from the bands' by zlib.
    png.append(chunkOf("IDAT", QByteArray("\x78\x01", 2)));
    const int rowsPerBand = bandRows(width);
    const int bands = (height + rowsPerBand - 1) / rowsPerBand;
    uLong adler = 1;
    for (int batch = 0; batch < bands; batch += bandsAtOnce) {
        const int batchEnd = std::min(bands, batch + bandsAtOnce);
        std::vector<compressedBand> compressed(static_cast<std::size_t>(batchEnd - batch));
        std::atomic<bool> failed{false};
#pragma omp parallel for schedule(dynamic, 1)
        for (int b = batch; b < batchEnd; ++b) {
            const int first = b * rowsPerBand;
            try {
                compressBand(width, first, std::min(height, first + rowsPerBand), b + 1 == bands, rowOf,
                             compressed[static_cast<std::size_t>(b - batch)]);
            } catch (const std::bad_alloc&) {
                failed = true;
            }
        }
        if (failed)
            return {};
        // Room for the rest as large as this far, so that the picture's
        // bytes are not copied again each time they outgrow it.
        qsizetype batchBytes = 0;
        for (const compressedBand& band : compressed)
            batchBytes += band.chunk.size();
        if (png.capacity() < png.size() + batchBytes)
            png.reserve((png.size() + batchBytes) / batchEnd * bands + 64);
        for (const compressedBand& band : compressed) {
            png.append(band.chunk);
            adler = adler32_combine(adler, band.adler, static_cast<z_off_t>(band.rawLength));
        }
    }
    QByteArray checksum;
    appendBigEndian(checksum, static_cast<uint32_t>(adler));
    png.append(chunkOf("IDAT", checksum));
    png.append(chunkOf("IEND", QByteArray()));
    return png;
}

}  // namespace

QByteArray pngPictureBytes(int width, int height, const pictureRowSource& rowOf)
{
    if (width <= 0 || height <= 0)
        return {};
    try {
        return pngOf(width, height, rowOf);
    } catch (const std::bad_alloc&) {
        return {};
    }
}

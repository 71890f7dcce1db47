#include "outputs/pngPicture.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <new>
#include <vector>

#include <zlib.h>

namespace {

// Fast deflate: the toolkit's default level took six times as long for a
// file a few percent smaller, and a regional map spent most of its time there.
constexpr int compressionLevel = 2;

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

void appendChunk(QByteArray& png, const char* type, const QByteArray& data)
{
    appendBigEndian(png, static_cast<uint32_t>(data.size()));
    const qsizetype start = png.size();
    png.append(type, 4);
    png.append(data);
    const auto* typed = reinterpret_cast<const Bytef*>(png.constData() + start);
    appendBigEndian(png, static_cast<uint32_t>(crc32(0, typed, static_cast<uInt>(png.size() - start))));
}

struct compressedBand
{
    QByteArray bytes;  // raw deflate, ending byte-aligned (the last band: the final block)
    uLong adler = 1;
    uLong rawLength = 0;
};

// Rows [first, end) as PNG scanlines (filter type 0, none), deflated on
// their own. False where memory ran out.
bool compressBand(int width, int first, int end, bool last, const pictureRowSource& rowOf, compressedBand& band)
{
    const std::size_t lineBytes = 3 * static_cast<std::size_t>(width) + 1;
    std::vector<QRgb> pixels(static_cast<std::size_t>(width));
    std::vector<Bytef> raw(lineBytes * static_cast<std::size_t>(end - first));
    for (int y = first; y < end; ++y) {
        rowOf(y, pixels.data());
        Bytef* line = raw.data() + lineBytes * static_cast<std::size_t>(y - first);
        *line++ = 0;
        for (const QRgb pixel : pixels) {
            *line++ = static_cast<Bytef>(qRed(pixel));
            *line++ = static_cast<Bytef>(qGreen(pixel));
            *line++ = static_cast<Bytef>(qBlue(pixel));
        }
    }
    band.rawLength = static_cast<uLong>(raw.size());
    band.adler = adler32(1, raw.data(), static_cast<uInt>(raw.size()));

    z_stream stream{};
    if (deflateInit2(&stream, compressionLevel, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    band.bytes.resize(static_cast<qsizetype>(deflateBound(&stream, band.rawLength) + 16));
    stream.next_in = raw.data();
    stream.avail_in = static_cast<uInt>(raw.size());
    const int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
    int status = Z_OK;
    do {
        if (stream.total_out == static_cast<uLong>(band.bytes.size()))
            band.bytes.resize(band.bytes.size() * 2);
        stream.next_out = reinterpret_cast<Bytef*>(band.bytes.data()) + stream.total_out;
        stream.avail_out = static_cast<uInt>(band.bytes.size() - static_cast<qsizetype>(stream.total_out));
        status = deflate(&stream, flush);
    } while (status == Z_OK && stream.avail_out == 0);
    const bool done = last ? status == Z_STREAM_END : status == Z_OK;
    band.bytes.resize(static_cast<qsizetype>(stream.total_out));
    deflateEnd(&stream);
    return done;
}

}  // namespace

QByteArray pngPictureBytes(int width, int height, const pictureRowSource& rowOf)
{
    if (width <= 0 || height <= 0)
        return {};
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    QByteArray header;
    appendBigEndian(header, static_cast<uint32_t>(width));
    appendBigEndian(header, static_cast<uint32_t>(height));
    header.append("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, filter method 0, not interlaced
    appendChunk(png, "IHDR", header);

    // The bands' raw deflate streams make one zlib stream: its header (32 KiB
    // window, fast level), the bands in order, the checksum of all the lines.
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
                if (!compressBand(width, first, std::min(height, first + rowsPerBand), b + 1 == bands, rowOf,
                                  compressed[static_cast<std::size_t>(b - batch)]))
                    failed = true;
            } catch (const std::bad_alloc&) {
                failed = true;
            }
        }
        if (failed)
            return {};
        for (compressedBand& band : compressed) {
            QByteArray data;
            if (&band == &compressed.front() && batch == 0)
                data.append("\x78\x5e", 2);
            data.append(band.bytes);
            adler = adler32_combine(adler, band.adler, static_cast<z_off_t>(band.rawLength));
            if (&band == &compressed.back() && batchEnd == bands)
                appendBigEndian(data, static_cast<uint32_t>(adler));
            appendChunk(png, "IDAT", data);
        }
    }
    appendChunk(png, "IEND", QByteArray());
    return png;
}

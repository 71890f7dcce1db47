#include "outputs/bandDeflate.h"

#include <zlib.h>

bool appendDeflatePiece(const uint8_t* data, std::size_t size, bool last, std::vector<uint8_t>& out)
{
    z_stream stream{};
    // Raw deflate (negative window bits): the zlib header and checksum are
    // the whole stream's, written by the PNG around its pieces.
    if (deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    const std::size_t start = out.size();
    out.resize(start + deflateBound(&stream, static_cast<uLong>(size)) + 16);
    stream.next_in = const_cast<Bytef*>(data);
    stream.avail_in = static_cast<uInt>(size);
    stream.next_out = out.data() + start;
    stream.avail_out = static_cast<uInt>(out.size() - start);
    const int result = deflate(&stream, last ? Z_FINISH : Z_SYNC_FLUSH);
    const bool done = last ? result == Z_STREAM_END : result == Z_OK && stream.avail_in == 0;
    out.resize(out.size() - stream.avail_out);
    deflateEnd(&stream);
    return done;
}

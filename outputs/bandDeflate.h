#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A piece of a deflate stream (RFC 1951) compressed on its own by zlib at its
// fastest level, so that pieces made on different threads are joined by
// appending, as pigz joins them: every piece but the last ends on a byte with
// an empty stored block (a sync flush), the last ends the stream. The same
// bytes give the same piece whatever the number of threads. False when
// zlib fails (memory).
bool appendDeflatePiece(const uint8_t* data, std::size_t size, bool last, std::vector<uint8_t>& out);

#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A piece of a deflate stream (RFC 1951) of a picture's lines, compressed
// on its own so that pieces made on different threads are joined by
// appending. `data` holds lines of `lineBytes`: a PNG filter byte, then
// pixels of three bytes. One block with Huffman codes made for the piece;
// its matches are sought greedily at the start of each line and pixel,
// where the same four bytes were last seen, as a fast compressor does. The
// last piece ends the stream; the others end on a byte, with an empty
// stored block. The same bytes give the same piece on every machine.
void appendDeflatePiece(const uint8_t* data, std::size_t size, std::size_t lineBytes, bool last,
                        std::vector<uint8_t>& out);

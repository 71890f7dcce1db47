#pragma once

#include <vector>

#include <QtGlobal>

// The grid readers' white space test for the fast routes: plain ASCII only;
// any other character leaves the text to the reader that decodes UTF-8.
inline bool isAsciiSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// What parseNumberBlock took from a block of text.
struct numberBlock
{
    qsizetype values = 0;
    const char* stop = nullptr;  // where reading goes on
    bool wholeBlock = false;     // false: stopped at a value it leaves to the one-by-one reader
};

// Reads at most `count` values from [begin, end) on two threads, one half of
// the block each. `end` must follow ASCII white space or be the end of the
// text, so that no number is cut. Only plain numbers between ASCII white
// space are taken: they read the same wherever the text is cut. A half stops
// at anything else, which the one-by-one reader then reads as it always
// does. `secondHalf` is scratch space the caller keeps between blocks.
numberBlock parseNumberBlock(const char* begin, const char* end, float* values, qsizetype count,
                             std::vector<float>& secondHalf);

#include "raster/numberBlockParser.h"

#include <algorithm>
#include <cstring>

#include "raster/helperThread.h"
#include "raster/numberParser.h"

namespace {

struct plainNumbers
{
    qsizetype values = 0;
    const char* stop = nullptr;          // where the run stopped: at the end, or at what it could not take
    const char* lastValueEnd = nullptr;  // just after the last value taken
    bool reachedEnd = false;             // everything up to the end was taken
};

// Plain numbers separated by ASCII white space, at most `limit` of them.
// `end` follows ASCII white space or is the end of the text, so a number
// that reaches it is complete.
plainNumbers readPlainNumbers(const char* begin, const char* end, float* values, qsizetype limit)
{
    plainNumbers run;
    const char* p = begin;
    run.lastValueEnd = begin;
    while (run.values < limit) {
        while (p < end && isAsciiSpace(*p))
            ++p;
        if (p == end) {
            run.reachedEnd = true;
            break;
        }
        double number = 0.0;
        const int length = readPlainNumber(p, end, number);
        if (length == 0)
            break;
        values[run.values++] = static_cast<float>(number);
        p += length;
        run.lastValueEnd = p;
    }
    run.stop = p;
    return run;
}

}  // namespace

// The second half is split off at white space too; its values go to scratch
// space and are copied after the first half's once both are read, as far as
// the first half reached its end.
numberBlock parseNumberBlock(const char* begin, const char* end, float* values, qsizetype count,
                             std::vector<float>& secondHalf)
{
    const char* middle = begin + (end - begin) / 2;
    while (middle < end && !isAsciiSpace(*middle))
        ++middle;

    const qsizetype secondCapacity = std::min<qsizetype>(count, (end - middle) / 2 + 1);
    if (static_cast<qsizetype>(secondHalf.size()) < secondCapacity)
        secondHalf.resize(static_cast<std::size_t>(secondCapacity));
    plainNumbers second;
    plainNumbers first;
    if (middle < end) {
        float* const secondValues = secondHalf.data();
        helperThread secondReader([&second, middle, end, secondValues, secondCapacity] {
            second = readPlainNumbers(middle, end, secondValues, secondCapacity);
        });
        first = readPlainNumbers(begin, middle, values, count);
        secondReader.join();
    } else {
        first = readPlainNumbers(begin, middle, values, count);
    }

    numberBlock result;
    result.stop = first.stop;
    result.values = first.values;
    if (first.reachedEnd && middle < end) {
        const qsizetype taken = std::min(second.values, count - first.values);
        std::memcpy(values + first.values, secondHalf.data(), static_cast<std::size_t>(taken) * sizeof(float));
        result.values += taken;
        result.stop = second.stop;
        if (taken < second.values) {
            // The count ends inside the second half: find where its last value ends.
            result.stop = readPlainNumbers(middle, end, values + first.values, taken).lastValueEnd;
        } else if (first.values + taken == count) {
            // A one-by-one read of the last value leaves the white space after it.
            result.stop = second.lastValueEnd;
        }
        result.wholeBlock = second.reachedEnd && taken == second.values;
    } else {
        result.wholeBlock = first.reachedEnd;
    }
    return result;
}

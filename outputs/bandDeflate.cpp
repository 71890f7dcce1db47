#include "outputs/bandDeflate.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

namespace {

constexpr int literalLengthSymbols = 286;
constexpr int distanceSymbols = 30;
constexpr int endOfBlock = 256;
constexpr std::size_t longestMatch = 258;
constexpr std::size_t farthestMatch = 32768;
constexpr int hashBits = 15;

constexpr std::array<uint16_t, 29> lengthBase = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                                 31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<uint8_t, 29> lengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<uint16_t, 30> distanceBase = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                                   33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                                   1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<uint8_t, 30> distanceExtra = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                                   6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
// The order the code lengths' code lengths are sent in.
constexpr std::array<uint8_t, 19> codeLengthOrder = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// The length code (0 for 257) of a match length of 3 to 258.
const std::array<uint8_t, longestMatch + 1>& lengthCodes()
{
    static const std::array<uint8_t, longestMatch + 1> table = [] {
        std::array<uint8_t, longestMatch + 1> codes{};
        for (std::size_t length = 3, code = 0; length <= longestMatch; ++length) {
            while (code + 1 < lengthBase.size() && lengthBase[code + 1] <= length)
                ++code;
            codes[length] = static_cast<uint8_t>(code);
        }
        return codes;
    }();
    return table;
}

// The distance code of a distance of 1 to 32768: two codes for each power
// of two above 4, told apart by the bit below the highest.
int distanceCodeOf(std::size_t distance)
{
    const uint32_t v = static_cast<uint32_t>(distance - 1);
    if (v < 4)
        return static_cast<int>(v);
    const int highest = 31 - __builtin_clz(v);
    return 2 * highest + static_cast<int>((v >> (highest - 1)) & 1);
}

// Optimal code lengths of at most `limit` bits (package-merge); a symbol of
// frequency 0 gets none. At least two symbols get a code, so that every
// code is complete.
std::vector<uint8_t> codeLengths(std::vector<uint32_t> frequency, int limit)
{
    auto used = std::count_if(frequency.begin(), frequency.end(), [](uint32_t f) { return f > 0; });
    for (std::size_t s = 0; s < frequency.size() && used < 2; ++s)
        if (frequency[s] == 0) {
            frequency[s] = 1;
            ++used;
        }
    struct item
    {
        uint64_t weight;
        int symbol;  // a leaf's, or -1 for a package of two items of the level below
        int first;
    };
    std::vector<item> leaves;
    for (std::size_t s = 0; s < frequency.size(); ++s)
        if (frequency[s] > 0)
            leaves.push_back({frequency[s], static_cast<int>(s), 0});
    std::stable_sort(leaves.begin(), leaves.end(), [](const item& a, const item& b) { return a.weight < b.weight; });
    std::vector<std::vector<item>> levels{leaves};
    for (int level = 1; level < limit; ++level) {
        const std::vector<item>& below = levels.back();
        std::vector<item> merged;
        merged.reserve(leaves.size() + below.size() / 2);
        std::size_t leaf = 0;
        for (std::size_t pair = 0; pair + 1 < below.size() || leaf < leaves.size();) {
            const bool packageLeft = pair + 1 < below.size();
            if (packageLeft
                && (leaf == leaves.size() || below[pair].weight + below[pair + 1].weight < leaves[leaf].weight)) {
                merged.push_back({below[pair].weight + below[pair + 1].weight, -1, static_cast<int>(pair)});
                pair += 2;
            } else {
                merged.push_back(leaves[leaf++]);
            }
        }
        levels.push_back(std::move(merged));
    }
    std::vector<uint8_t> lengths(frequency.size(), 0);
    // Every leaf in the chosen items, through their packages, is one bit of its code.
    const auto count = [&](auto& self, int level, int index) -> void {
        const item& chosen = levels[static_cast<std::size_t>(level)][static_cast<std::size_t>(index)];
        if (chosen.symbol >= 0) {
            ++lengths[static_cast<std::size_t>(chosen.symbol)];
            return;
        }
        self(self, level - 1, chosen.first);
        self(self, level - 1, chosen.first + 1);
    };
    for (std::size_t i = 0; i < 2 * leaves.size() - 2; ++i)
        count(count, limit - 1, static_cast<int>(i));
    return lengths;
}

// The canonical codes of RFC 1951 3.2.2, bit-reversed as they are sent.
std::vector<uint16_t> canonicalCodes(const std::vector<uint8_t>& lengths)
{
    std::array<uint16_t, 16> perLength{};
    for (const uint8_t length : lengths)
        if (length > 0)
            ++perLength[length];
    std::array<uint16_t, 16> next{};
    uint16_t code = 0;
    for (int bits = 1; bits < 16; ++bits) {
        code = static_cast<uint16_t>((code + perLength[static_cast<std::size_t>(bits - 1)]) << 1);
        next[static_cast<std::size_t>(bits)] = code;
    }
    std::vector<uint16_t> codes(lengths.size(), 0);
    for (std::size_t s = 0; s < lengths.size(); ++s) {
        const int length = lengths[s];
        if (length == 0)
            continue;
        const uint16_t value = next[static_cast<std::size_t>(length)]++;
        uint16_t reversed = 0;
        for (int b = 0; b < length; ++b)
            reversed = static_cast<uint16_t>(reversed | (((value >> b) & 1) << (length - 1 - b)));
        codes[s] = reversed;
    }
    return codes;
}

// Bits least significant first, as deflate packs them, into room made
// beforehand (ensure() before each run of puts).
class bitWriter
{
public:
    explicit bitWriter(std::vector<uint8_t>& out) : out_(out), used_(out.size()) {}
    ~bitWriter() { out_.resize(used_); }
    void ensure(std::size_t bytes)
    {
        if (out_.size() < used_ + bytes + 8)
            out_.resize(std::max(2 * out_.size(), used_ + bytes + 8));
    }
    void put(uint32_t bits, int count)
    {
        buffer_ |= static_cast<uint64_t>(bits) << filled_;
        filled_ += count;
        if (filled_ >= 32) {
            const uint32_t word = static_cast<uint32_t>(buffer_);
            uint8_t* at = out_.data() + used_;
            at[0] = static_cast<uint8_t>(word);
            at[1] = static_cast<uint8_t>(word >> 8);
            at[2] = static_cast<uint8_t>(word >> 16);
            at[3] = static_cast<uint8_t>(word >> 24);
            used_ += 4;
            buffer_ >>= 32;
            filled_ -= 32;
        }
    }
    // Pads with zero bits to a whole byte and writes out what is held.
    void finishByte()
    {
        put(0, (8 - filled_ % 8) % 8);
        for (; filled_ > 0; filled_ -= 8) {
            out_[used_++] = static_cast<uint8_t>(buffer_);
            buffer_ >>= 8;
        }
    }

private:
    std::vector<uint8_t>& out_;
    std::size_t used_;
    uint64_t buffer_ = 0;
    int filled_ = 0;
};

inline std::size_t sameBytes(const uint8_t* a, const uint8_t* b, std::size_t limit)
{
    std::size_t n = 0;
    for (; n + 8 <= limit; n += 8) {
        uint64_t x;
        uint64_t y;
        std::memcpy(&x, a + n, 8);
        std::memcpy(&y, b + n, 8);
        if (x != y)
            break;
    }
    while (n < limit && a[n] == b[n])
        ++n;
    return n;
}

// Four bytes as one number, the same on every machine.
inline uint32_t fourBytes(const uint8_t* at)
{
    return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

// A literal, or a match: its length (3 to 258) above bit 16, its distance below.
constexpr uint32_t matchFlag = 0x80000000u;

}  // namespace

void appendDeflatePiece(const uint8_t* data, std::size_t size, std::size_t lineBytes, bool last,
                        std::vector<uint8_t>& out)
{
    // Greedy, from the start of each line and of each pixel: the repeat of
    // where these four bytes were last seen there, else literals up to the
    // next pixel. A pixel rarely repeats from inside another.
    // At most one token a byte, written without a check each.
    const std::unique_ptr<uint32_t[]> tokens(new uint32_t[size]);
    uint32_t* token = tokens.get();
    std::vector<uint32_t> literalFrequency(literalLengthSymbols, 0);
    std::vector<uint32_t> distanceFrequency(distanceSymbols, 0);
    std::vector<uint32_t> lastSeen(std::size_t(1) << hashBits, 0);  // position + 1
    const std::array<uint8_t, longestMatch + 1>& lengthCode = lengthCodes();
    const auto literals = [&](std::size_t from, std::size_t to) {
        for (std::size_t k = from; k < to; ++k) {
            *token++ = data[k];
            ++literalFrequency[data[k]];
        }
    };
    std::size_t lineStart = 0;
    // The first pixel or line start from `position` on.
    const auto nextStart = [&](std::size_t position) {
        while (position >= lineStart + lineBytes)
            lineStart += lineBytes;
        const std::size_t inLine = position - lineStart;
        if (inLine == 0)
            return position;
        const std::size_t past = (inLine - 1) % 3;
        const std::size_t next = past == 0 ? position : position + 3 - past;
        return std::min(next, lineStart + lineBytes);
    };
    std::size_t i = 0;
    while (i + 4 <= size) {
        const uint32_t four = fourBytes(data + i);
        uint32_t& seen = lastSeen[(four * 2654435761u) >> (32 - hashBits)];
        const std::size_t from = seen;  // position + 1, 0 for none
        seen = static_cast<uint32_t>(i + 1);
        if (from == 0 || fourBytes(data + from - 1) != four || i + 1 - from > farthestMatch) {
            const std::size_t next = std::min(nextStart(i + 1), size);
            literals(i, next);
            i = next;
            continue;
        }
        const std::size_t distance = i + 1 - from;
        const std::size_t length = 4 + sameBytes(data + i + 4, data + from + 3, std::min(longestMatch, size - i) - 4);
        *token++ = matchFlag | static_cast<uint32_t>(length << 16) | static_cast<uint32_t>(distance - 1);
        ++literalFrequency[257 + std::size_t(lengthCode[length])];
        ++distanceFrequency[static_cast<std::size_t>(distanceCodeOf(distance))];
        const std::size_t next = std::min(nextStart(i + length), size);
        literals(i + length, next);
        i = next;
    }
    literals(i, size);
    const uint32_t* const tokensEnd = token;
    literalFrequency[endOfBlock] = 1;

    const std::vector<uint8_t> literalLengths = codeLengths(literalFrequency, 15);
    const std::vector<uint8_t> distanceLengths = codeLengths(distanceFrequency, 15);
    const std::vector<uint16_t> literalCodes = canonicalCodes(literalLengths);
    const std::vector<uint16_t> distanceCodes = canonicalCodes(distanceLengths);
    int literalCount = literalLengthSymbols;
    while (literalCount > 257 && literalLengths[static_cast<std::size_t>(literalCount - 1)] == 0)
        --literalCount;
    int distanceCount = distanceSymbols;
    while (distanceCount > 1 && distanceLengths[static_cast<std::size_t>(distanceCount - 1)] == 0)
        --distanceCount;

    // The code lengths are sent as they are, coded with a code of their own.
    std::vector<uint8_t> sentLengths(literalLengths.begin(), literalLengths.begin() + literalCount);
    sentLengths.insert(sentLengths.end(), distanceLengths.begin(), distanceLengths.begin() + distanceCount);
    std::vector<uint32_t> lengthFrequency(19, 0);
    for (const uint8_t length : sentLengths)
        ++lengthFrequency[length];
    const std::vector<uint8_t> lengthLengths = codeLengths(lengthFrequency, 7);
    const std::vector<uint16_t> lengthCodes = canonicalCodes(lengthLengths);
    int orderCount = 19;
    while (orderCount > 4 && lengthLengths[codeLengthOrder[static_cast<std::size_t>(orderCount - 1)]] == 0)
        --orderCount;

    bitWriter bits(out);
    // A token is at most 15 + 5 + 15 + 13 bits, the header below 400 bytes.
    bits.ensure(static_cast<std::size_t>(tokensEnd - tokens.get()) * 6 + 512);
    bits.put(last ? 1 : 0, 1);
    bits.put(2, 2);  // Huffman codes of the block's own
    bits.put(static_cast<uint32_t>(literalCount - 257), 5);
    bits.put(static_cast<uint32_t>(distanceCount - 1), 5);
    bits.put(static_cast<uint32_t>(orderCount - 4), 4);
    for (int k = 0; k < orderCount; ++k)
        bits.put(lengthLengths[codeLengthOrder[static_cast<std::size_t>(k)]], 3);
    for (const uint8_t length : sentLengths)
        bits.put(lengthCodes[length], lengthLengths[length]);

    for (const uint32_t* next = tokens.get(); next != tokensEnd; ++next) {
        const uint32_t token = *next;
        if (!(token & matchFlag)) {
            bits.put(literalCodes[token], literalLengths[token]);
            continue;
        }
        const std::size_t length = (token & ~matchFlag) >> 16;
        const std::size_t distance = (token & 0xFFFFu) + 1;
        const std::size_t code = lengthCode[length];
        bits.put(literalCodes[257 + code], literalLengths[257 + code]);
        bits.put(static_cast<uint32_t>(length - lengthBase[code]), lengthExtra[code]);
        const int distanceCode = distanceCodeOf(distance);
        bits.put(distanceCodes[static_cast<std::size_t>(distanceCode)],
                 distanceLengths[static_cast<std::size_t>(distanceCode)]);
        bits.put(static_cast<uint32_t>(distance - distanceBase[static_cast<std::size_t>(distanceCode)]),
                 distanceExtra[static_cast<std::size_t>(distanceCode)]);
    }
    bits.put(literalCodes[endOfBlock], literalLengths[endOfBlock]);
    if (!last) {
        bits.put(0, 3);  // not the last block, stored
        bits.finishByte();
        bits.put(0x0000, 16);
        bits.put(0xFFFF, 16);
    }
    bits.finishByte();
}

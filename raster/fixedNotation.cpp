#include "raster/fixedNotation.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

static_assert(std::numeric_limits<double>::is_iec559, "the formatter reads IEEE 754 doubles bit by bit");

namespace {

constexpr std::array<std::uint64_t, maxFixedDecimals + 1> powersOfFive()
{
    std::array<std::uint64_t, maxFixedDecimals + 1> powers{};
    std::uint64_t power = 1;
    for (auto& entry : powers) {
        entry = power;
        power *= 5;
    }
    return powers;
}
constexpr auto fivePowers = powersOfFive();

// The largest mantissa each power of five can multiply within 64 bits,
// tabled because a 64-bit division per value costs more than the rest.
constexpr std::array<std::uint64_t, maxFixedDecimals + 1> largestFactors()
{
    std::array<std::uint64_t, maxFixedDecimals + 1> factors{};
    for (std::size_t i = 0; i < factors.size(); ++i)
        factors[i] = std::numeric_limits<std::uint64_t>::max() / fivePowers[i];
    return factors;
}
constexpr auto mantissaLimits = largestFactors();

char* copyText(char* out, const char* text)
{
    const std::size_t length = std::strlen(text);
    std::memcpy(out, text, length);
    return out + length;
}

// magnitude * 10^decimals rounded to the nearest integer, halves upwards,
// whenever 64-bit integer arithmetic forms it exactly (so for every value
// the output files hold); false for the rest. A finite double is
// mantissa * 2^exponent, so the scaled value is
// mantissa * 5^decimals * 2^(exponent + decimals): one product and one shift.
bool roundedScaledMagnitude(double magnitude, int decimals, std::uint64_t& scaled)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &magnitude, sizeof bits);
    const int biasedExponent = static_cast<int>(bits >> 52);
    std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
    int exponent = -1074;
    if (biasedExponent != 0) {
        mantissa |= std::uint64_t{1} << 52;
        exponent = biasedExponent - 1075;
    }

    const std::uint64_t fivePower = fivePowers[static_cast<std::size_t>(decimals)];
    const std::uint64_t largestFactor = mantissaLimits[static_cast<std::size_t>(decimals)];
    if (mantissa > largestFactor) {
        // Floats widened to double end in many zero bits: dropping them often makes room.
        while ((mantissa & 1u) == 0) {
            mantissa >>= 1;
            ++exponent;
        }
        if (mantissa > largestFactor)
            return false;
    }
    const std::uint64_t product = mantissa * fivePower;
    const int shift = -(exponent + decimals);

    if (shift <= 0) {
        if (-shift >= 64 || product > (std::numeric_limits<std::uint64_t>::max() >> -shift))
            return false;
        scaled = product << -shift;
        return true;
    }
    if (shift > 64) {
        scaled = 0;
        return true;
    }
    if (shift == 64) {
        scaled = product >> 63;  // product / 2^64 reaches one half only with its top bit set
        return true;
    }
    scaled = product >> shift;
    const std::uint64_t remainder = product & ((std::uint64_t{1} << shift) - 1);
    if (remainder >= (std::uint64_t{1} << (shift - 1)))
        ++scaled;
    return true;
}

int digitCount(std::uint64_t value)
{
    int count = 1;
    for (std::uint64_t limit = 10; count < 20 && value >= limit; limit *= 10)
        ++count;
    return count;
}

// The digits of scaled with a point before the last `decimals` of them,
// written from the last digit backwards.
char* writeScaled(char* out, std::uint64_t scaled, int decimals)
{
    const int integerDigits = std::max(digitCount(scaled) - decimals, 1);
    char* const end = out + integerDigits + (decimals > 0 ? 1 + decimals : 0);
    char* digit = end;
    for (int i = 0; i < decimals; ++i) {
        *--digit = static_cast<char>('0' + scaled % 10);
        scaled /= 10;
    }
    if (decimals > 0)
        *--digit = '.';
    while (digit != out) {
        *--digit = static_cast<char>('0' + scaled % 10);
        scaled /= 10;
    }
    return end;
}

// An exact decimal tie at `decimals` decimals is half an odd multiple of
// 10^-decimals, which holds exactly when magnitude * 2^(decimals + 1) is an
// odd integer (the factor 5^decimals is odd and cannot change that).
bool isDecimalTie(double magnitude, int decimals)
{
    const double doubled = std::ldexp(magnitude, decimals + 1);
    return std::floor(doubled) == doubled && std::fmod(doubled, 2.0) == 1.0;
}

// The general path for magnitudes the integer path cannot hold. charconv
// rounds correctly but sends ties to even; a tie printed with one decimal
// more is exact and ends in 5, so it is cut there and rounded up by hand.
char* writeByCharconv(char* out, double magnitude, int decimals)
{
    if (!isDecimalTie(magnitude, decimals))
        return std::to_chars(out, out + fixedTextCapacity - 1, magnitude, std::chars_format::fixed, decimals).ptr;

    char text[fixedTextCapacity + 2];
    text[0] = '0';  // room for a carry out of the leading digit
    char* end = std::to_chars(text + 1, text + sizeof text, magnitude, std::chars_format::fixed, decimals + 1).ptr;
    --end;
    if (end[-1] == '.')
        --end;
    for (char* digit = end - 1; digit >= text; --digit) {
        if (*digit == '.')
            continue;
        if (*digit != '9') {
            ++*digit;
            break;
        }
        *digit = '0';
    }
    const char* const begin = text[0] == '0' ? text + 1 : text;
    const std::size_t length = static_cast<std::size_t>(end - begin);
    std::memcpy(out, begin, length);
    return out + length;
}

}  // namespace

char* writeFixed(char* out, double value, int decimals)
{
    decimals = std::clamp(decimals, 0, maxFixedDecimals);
    if (std::isnan(value))
        return copyText(out, "nan");
    // Most cells of a result grid were never reached. Negative zero compares
    // equal to zero and so is written without a sign too.
    if (value == 0.0) {
        *out++ = '0';
        if (decimals == 0)
            return out;
        *out++ = '.';
        return std::fill_n(out, decimals, '0');
    }
    if (value < 0.0)
        *out++ = '-';
    const double magnitude = std::fabs(value);
    if (std::isinf(magnitude))
        return copyText(out, "inf");
    std::uint64_t scaled = 0;
    if (roundedScaledMagnitude(magnitude, decimals, scaled))
        return writeScaled(out, scaled, decimals);
    return writeByCharconv(out, magnitude, decimals);
}

char* writeInteger(char* out, std::int64_t value) { return std::to_chars(out, out + integerTextCapacity, value).ptr; }

QByteArray fixedText(double value, int decimals)
{
    char text[fixedTextCapacity];
    const char* const end = writeFixed(text, value, decimals);
    return QByteArray(text, static_cast<int>(end - text));
}

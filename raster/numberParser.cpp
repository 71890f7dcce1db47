#include "raster/numberParser.h"

#include <cfloat>
#include <cstdint>
#include <limits>

#if __has_include(<charconv>)
#include <charconv>
#include <system_error>
#endif

#include <QLocale>
#include <QString>

namespace {

// The recognizer's states and inputs, in the text stream's own order: the
// transition table below is indexed by them.
enum parserState : unsigned char {
    Init,
    Sign,
    Mantissa,
    Dot,
    Abscissa,
    ExpMark,
    ExpSign,
    Exponent,
    Nan1,
    Nan2,
    Inf1,
    Inf2,
    NanInf,
    Done
};

enum inputToken : unsigned char {
    None,
    InputSign,
    InputDigit,
    InputDot,
    InputExp,
    InputI,
    InputN,
    InputF,
    InputA,
    InputT
};

constexpr unsigned char transitions[13][10] = {
    // None  InputSign  InputDigit  InputDot  InputExp  InputI  InputN  InputF  InputA  InputT
    {Init, Sign, Mantissa, Dot, Init, Inf1, Nan1, Init, Init, Init},      // Init
    {Init, Init, Mantissa, Dot, Init, Inf1, Nan1, Init, Init, Init},      // Sign
    {Done, Done, Mantissa, Dot, ExpMark, Init, Init, Init, Init, Init},   // Mantissa
    {Init, Init, Abscissa, Init, Init, Init, Init, Init, Init, Init},     // Dot
    {Done, Done, Abscissa, Done, ExpMark, Init, Init, Init, Init, Init},  // Abscissa
    {Init, ExpSign, Exponent, Init, Init, Init, Init, Init, Init, Init},  // ExpMark
    {Init, Init, Exponent, Init, Init, Init, Init, Init, Init, Init},     // ExpSign
    {Done, Done, Exponent, Done, Done, Init, Init, Init, Init, Init},     // Exponent
    {Init, Init, Init, Init, Init, Init, Init, Init, Nan2, Init},         // Nan1
    {Init, Init, Init, Init, Init, Init, NanInf, Init, Init, Init},       // Nan2
    {Init, Init, Init, Init, Init, Init, Inf2, Init, Init, Init},         // Inf1
    {Init, Init, Init, Init, Init, Init, Init, NanInf, Init, Init},       // Inf2
    {Done, Init, Init, Init, Init, Init, Init, Init, Init, Init},         // NanInf
};

// Every byte of a multi-byte UTF-8 character is None: no character beyond
// ASCII lowers to one of the C locale's '.', 'e', '+' or '-'.
struct inputClassTable
{
    unsigned char input[256] = {};
    constexpr inputClassTable()
    {
        for (int c = '0'; c <= '9'; ++c)
            input[c] = InputDigit;
        input[static_cast<unsigned char>('+')] = InputSign;
        input[static_cast<unsigned char>('-')] = InputSign;
        input[static_cast<unsigned char>('.')] = InputDot;
        const char letters[] = "eEiInNfFaAtT";
        const inputToken tokens[] = {InputExp, InputExp, InputI, InputI, InputN, InputN,
                                     InputF,   InputF,   InputA, InputA, InputT, InputT};
        for (int i = 0; i < 12; ++i)
            input[static_cast<unsigned char>(letters[i])] = tokens[i];
    }
};
constexpr inputClassTable inputClass;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

char lowered(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsIgnoringCase(const char* token, const char* word, int length)
{
    for (int i = 0; i < length; ++i)
        if (lowered(token[i]) != word[i])
            return false;
    return true;
}

// "nan", "+nan", "-nan", "inf", "+inf", "-inf" in any case, checked before
// the locale's conversion, which takes neither signed NaN nor upper case.
bool specialValue(const char* token, int length, double& value)
{
    bool negative = false;
    if (length == 4 && (token[0] == '+' || token[0] == '-')) {
        negative = token[0] == '-';
        ++token;
        --length;
    }
    if (length != 3)
        return false;
    if (equalsIgnoringCase(token, "nan", 3)) {
        value = std::numeric_limits<double>::quiet_NaN();
        return true;
    }
    if (equalsIgnoringCase(token, "inf", 3)) {
        const double infinity = std::numeric_limits<double>::infinity();
        value = negative ? -infinity : infinity;
        return true;
    }
    return false;
}

// Powers of ten that are exact in a double.
constexpr double exactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                       1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The plain decimal forms, converted without the locale: [+-]digits[.digits][(e|E)[+-]digits]
// with at least one mantissa digit. Returns false for anything it does not
// convert with certainty; the caller then asks the locale.
bool plainDecimalToDouble(const char* p, const char* end, double& value)
{
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    const char* const unsignedText = p;

    // Up to 19 significant digits fit an unsigned 64-bit mantissa.
    uint64_t mantissa = 0;
    int significantDigits = 0;
    int exponent = 0;
    bool anyDigit = false;
    auto takeDigit = [&](char c) {
        anyDigit = true;
        const unsigned digit = static_cast<unsigned>(c - '0');
        if (mantissa == 0 && digit == 0)
            return true;
        if (significantDigits == 19)
            return false;
        mantissa = mantissa * 10 + digit;
        ++significantDigits;
        return true;
    };
    for (; p < end && isDigit(*p); ++p)
        if (!takeDigit(*p))
            return false;
    if (p < end && *p == '.') {
        for (++p; p < end && isDigit(*p); ++p) {
            if (!takeDigit(*p))
                return false;
            --exponent;
        }
    }
    if (!anyDigit)
        return false;
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        bool negativeExponent = false;
        if (p < end && (*p == '+' || *p == '-')) {
            negativeExponent = *p == '-';
            ++p;
        }
        if (p == end || !isDigit(*p))
            return false;
        int written = 0;
        for (; p < end && isDigit(*p); ++p)
            if (written < 100000)
                written = written * 10 + (*p - '0');
        exponent += negativeExponent ? -written : written;
    }
    if (p != end)
        return false;

    if (mantissa == 0) {
        value = negative ? -0.0 : 0.0;
        return true;
    }

#if FLT_EVAL_METHOD == 0
    // Clinger's fast path: mantissa and power of ten are both exact doubles, so
    // the one rounding of the product or quotient is the correct rounding.
    if (mantissa <= (uint64_t(1) << 53) && exponent >= -22 && exponent <= 22) {
        const double exact = static_cast<double>(mantissa);
        const double magnitude =
            exponent < 0 ? exact / exactPowersOfTen[-exponent] : exact * exactPowersOfTen[exponent];
        value = negative ? -magnitude : magnitude;
        return true;
    }
#endif

#if defined(__cpp_lib_to_chars) && __cpp_lib_to_chars >= 201611L
    // Longer mantissas (a float printed with 17 digits, say) within a range
    // where neither overflow nor underflow can occur: correctly rounded too.
    const int decimalExponent = exponent + significantDigits;
    if (decimalExponent > -300 && decimalExponent < 300) {
        double magnitude = 0.0;
        const auto [stop, error] = std::from_chars(unsignedText, end, magnitude);
        if (error == std::errc() && stop == end) {
            value = negative ? -magnitude : magnitude;
            return true;
        }
    }
#else
    (void)unsignedText;
#endif
    return false;
}

}  // namespace

realTokenScan scanRealToken(const char* begin, const char* end)
{
    // Most tokens are a sign, digits, a point and digits: those transitions
    // are taken without the table, whose lookups chain one into the next.
    unsigned char state = Init;
    const char* p = begin;
    const char* const prefixEnd = end - begin > maxRealTokenLength ? begin + maxRealTokenLength : end;
    if (p < prefixEnd && (*p == '+' || *p == '-')) {
        state = Sign;
        ++p;
    }
    for (; p < prefixEnd && isDigit(*p); ++p)
        state = Mantissa;
    if (p < prefixEnd && *p == '.') {
        state = Dot;
        for (++p; p < prefixEnd && isDigit(*p); ++p)
            state = Abscissa;
    }

    realTokenScan scan;
    scan.length = static_cast<int>(p - begin);
    for (; p < end; ++p) {
        state = transitions[state][inputClass.input[static_cast<unsigned char>(*p)]];
        if (state == Init || state == Done || scan.length >= maxRealTokenLength) {
            scan.truncated = scan.length >= maxRealTokenLength;
            return scan;
        }
        ++scan.length;
    }
    return scan;
}

int readPlainNumber(const char* begin, const char* end, double& value)
{
#if FLT_EVAL_METHOD == 0
    const char* p = begin;
    const bool negative = p < end && *p == '-';
    if (p < end && (*p == '-' || *p == '+'))
        ++p;
    // Leading zeros count as digits here; 19 digits always fit the mantissa.
    uint64_t mantissa = 0;
    auto takeDigits = [&]() {
        const char* const first = p;
        for (; p < end && isDigit(*p); ++p)
            mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
        return static_cast<int>(p - first);
    };
    int digits = takeDigits();
    int fractionDigits = 0;
    if (p < end && *p == '.') {
        ++p;
        fractionDigits = takeDigits();
        digits += fractionDigits;
    }
    if (digits == 0 || digits > 19)
        return 0;
    if (p < end && !(*p == ' ' || (*p >= '\t' && *p <= '\r')))
        return 0;
    if (mantissa == 0) {
        value = negative ? -0.0 : 0.0;
        return static_cast<int>(p - begin);
    }
    if (mantissa > (uint64_t(1) << 53) || fractionDigits > 22)
        return 0;
    // Clinger's fast path, as in plainDecimalToDouble.
    const double exact = static_cast<double>(mantissa);
    const double magnitude = fractionDigits == 0 ? exact : exact / exactPowersOfTen[fractionDigits];
    value = negative ? -magnitude : magnitude;
    return static_cast<int>(p - begin);
#else
    (void)begin;
    (void)end;
    (void)value;
    return 0;
#endif
}

bool realTokenToDouble(const char* token, int length, double& value)
{
    if (length <= 0)
        return false;
    if (specialValue(token, length, value))
        return true;
    if (plainDecimalToDouble(token, token + length, value))
        return true;
    bool ok = false;
    value = QLocale::c().toDouble(QString::fromLatin1(token, length), &ok);
    return ok;
}

#pragma once

// Number recognition of the grid readers. A value is read exactly as a Qt text
// stream reads a float: the same characters make up a token, the same tokens
// are accepted, and the same value comes out bit for bit. Grid files written
// by other programs were always read that way, so "5.", ".5", "inf" or "1e39"
// must keep meaning what they meant.

// A token keeps at most this many characters; digits after them are skipped.
constexpr int maxRealTokenLength = 124;

// Bytes a token scan may look at: the token and the character that ends it.
constexpr int realTokenLookahead = maxRealTokenLength + 1;

struct realTokenScan
{
    int length = 0;          // bytes taken into the token (all ASCII)
    bool truncated = false;  // the token reached maxRealTokenLength: skip the digits after it
};

// Runs the text stream's number recognizer over the bytes at `begin`. `end`
// lies at least realTokenLookahead bytes further on, or is the end of the text.
realTokenScan scanRealToken(const char* begin, const char* end);

// Converts a token found by scanRealToken: "nan" and "inf" with an optional
// sign in any case, otherwise the C locale's correctly rounded conversion,
// which fails on overflow and when a non-zero number underflows to 0.
bool realTokenToDouble(const char* token, int length, double& value);

// The common token in one pass: [+-]digits[.digits] with at most 19
// significant digits, ended by ASCII white space or the end of the text, and
// exactly convertible. Returns its length and value, or 0 when the token
// must take scanRealToken and realTokenToDouble. `end` as for scanRealToken.
int readPlainNumber(const char* begin, const char* end, double& value);

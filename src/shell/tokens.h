// Reading commands and writing answers: lines split into tokens, words and numbers read from
// them, and the output's flush. Every other shell file may use it; it uses none of them.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "shell/input.h"

// The tokens of one line. The storage is reused from line to line and grows only up to the
// longest line read.
struct TokenLine {
    std::vector<char> text;
    std::vector<const char*> tokens;
    int count = 0;

    const char* operator[](int i) const { return tokens[i]; }
};

constexpr int END_OF_INPUT = -1;

// Reads one line and splits it at white space; returns the token count (0 for a blank line) or
// END_OF_INPUT.
int readTokens(LineReader& in, TokenLine& line);

// Whether a token is exactly the word (commands and keywords are case-sensitive).
inline bool isWord(const char* token, const char* word) { return std::strcmp(token, word) == 0; }

// Decimal integer: leading white space and a sign accepted, stops at the first non-digit, no
// digits read 0, saturating at the 32-bit range instead of overflowing.
int32_t parseInteger(const char* text);
// The same over 64 bits, saturating at their range.
int64_t parseInteger64(const char* text);
// Whether the text reads as a number: a digit after the blanks and sign that parseInteger skips.
bool isNumber(const char* text);

// Flushes standard output and remembers a failed write.
void flushOutput();
bool outputFailed();

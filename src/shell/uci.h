// The UCI command loop: tokens, dispatch, options and the position command.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "shell/input.h"
#include "shell/searchthread.h"

constexpr int32_t DEFAULT_MOVE_OVERHEAD = 1000;
constexpr int32_t MAX_MOVE_OVERHEAD = 5000;
constexpr size_t MAX_OPTION_NAME = 64;

// Settings, changed only by setoption.
extern int32_t hashSizeMb;    // 16..512
extern int32_t threadCount;   // 1..4, the main thread included
extern int32_t moveOverhead;  // 0..5000 ms the clock rule keeps back
extern int32_t multiPv;       // 1..64 principal variations reported

// False after a refused FEN until the next position command that works: the board then holds no
// position the GUI knows, so nothing may be searched or counted on it.
extern bool positionValid;
// Set by a search that finished while its best move was withheld (infinite or ponder), until
// stop or ponderhit hands it out. holdBestMove alone cannot tell: it starts set.
extern bool bestMoveWithheld;

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

// Reads one line from in and executes it. Returns false at end of input, and once output can no
// longer be written (the GUI is gone); both end the engine as quit does.
bool dispatchCommand(SearchThread& thread, LineReader& in, TokenLine& line);

// Runs the command loop on standard input until quit or end of input.
void runCommandLoop(SearchThread& thread);

void printOptions();
// name may hold blanks ("Move Overhead"); value is null for a button.
void setOption(const char* name, const char* value);

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

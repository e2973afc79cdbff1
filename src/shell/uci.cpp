#include "shell/uci.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "board/makemove.h"
#include "search/tt.h"
#include "shell/bench.h"
#include "shell/driver.h"
#include "shell/go.h"
#include "shell/notation.h"
#include "shell/speed.h"
#include "shell/threads.h"

int32_t hashSizeMb = 16;
int32_t threadCount = 1;
int32_t moveOverhead = DEFAULT_MOVE_OVERHEAD;
int32_t multiPv = 1;
bool positionValid = true;
bool bestMoveWithheld = false;

namespace {

bool writeFailed = false;

inline bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int32_t clampInt(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : v > hi ? hi : v; }

void uciCommand() {
    std::printf("id name %s\n", "Kestrun 64-Bit");
    std::printf("id author Malvorn\n");
    flushOutput();
    printOptions();
    std::printf("uciok\n");
    flushOutput();
}

// Makes the moves named by tokens first.. on pos. A text that names no legal move ends the list
// there: what follows was meant for a different position.
void applyMoves(Position& pos, const TokenLine& line, int first) {
    for (int i = first; i < line.count; i++) {
        const Move m = textToMove(pos, line[i]);
        if (m == NO_MOVE) break;
        UndoRecord undo;
        makeMove(pos, undo, m);
        // Trimmed move by move, so that a game longer than the history never overruns it.
        trimKeyHistory(pos);
    }
    trimKeyHistory(pos);
}

void positionCommand(SearchThread& thread, const TokenLine& line) {
    Position& pos = thread.position;
    if (isWord(line[1], "startpos")) {
        setStartPosition(pos);
        positionValid = true;
        if (line.count >= 4 && isWord(line[2], "moves")) applyMoves(pos, line, 3);
    } else if (isWord(line[1], "fen") && line.count >= 6) {
        positionValid = readFen(pos, line[2], line[3], line[4], line[5]);
        if (!positionValid) return;
        for (int i = 2; i < line.count; i++)
            if (isWord(line[i], "moves")) {
                applyMoves(pos, line, i + 1);
                break;
            }
    }
}

void stopCommand(SearchThread& thread, bool ponderHit) {
    if (!bestMoveWithheld || !thread.holdBestMove) return;
    bestMoveWithheld = false;
    thread.holdBestMove = 0;
    if (ponderHit)
        thread.ponderHit = 1;
    else
        thread.stopFlag = 1;
    printWithheldBestMove();
}

// setoption name <name> [value <value>]: the name may run over several tokens up to "value"; a
// spin or check takes exactly one value token, a button none.
void setOptionCommand(const TokenLine& line) {
    if (line.count < 3 || !isWord(line[1], "name")) return;
    int v = 2;
    while (v < line.count && !isWord(line[v], "value")) v++;
    if (v == 2) return;
    char name[MAX_OPTION_NAME] = "";
    for (int i = 2; i < v; i++) {
        if (std::strlen(name) + std::strlen(line[i]) + 2 > sizeof name) return;
        if (i > 2) std::strcat(name, " ");
        std::strcat(name, line[i]);
    }
    if (v == line.count) {
        setOption(name, nullptr);
    } else if (v + 2 == line.count) {
        setOption(name, line[v + 1]);
    }
}

// A new game starts from what a fresh process has: empty table, caches and ordering tables.
void newGame(SearchThread& thread) {
    // A best move withheld in the last game is not an answer to anything in this one.
    bestMoveWithheld = false;
    clearHelpers();
    ttClear();
    clearSearchState(thread);
}

void execute(SearchThread& thread, const TokenLine& line) {
    const char* word = line[0];
    const int n = line.count;
    if (isWord(word, "uci")) {
        if (n == 1) uciCommand();
    } else if (isWord(word, "isready")) {
        if (n == 1) {
            std::printf("readyok\n");
            flushOutput();
        }
    } else if (isWord(word, "setoption")) {
        setOptionCommand(line);
    } else if (isWord(word, "ucinewgame")) {
        if (n == 1) newGame(thread);
    } else if (isWord(word, "position")) {
        if (n >= 2) positionCommand(thread, line);
    } else if (isWord(word, "go")) {
        if (n >= 2) parseGo(thread, line);
    } else if (isWord(word, "stop")) {
        if (n == 1) stopCommand(thread, false);
    } else if (isWord(word, "ponderhit")) {
        if (n == 1) stopCommand(thread, true);
    } else if (isWord(word, "quit")) {
        if (n == 1) {
            thread.stopFlag = 1;
            thread.quitFlag = 1;
        }
    } else if (isWord(word, "speed")) {
        if (n == 2) runSpeed(thread, parseInteger(line[1]));
    } else if (isWord(word, "file")) {
        if (n == 2) runCommandFile(thread, line[1]);
    } else if (isWord(word, "bench")) {
        if (n <= 2) benchCommand(thread, n == 2 ? parseInteger(line[1]) : 0);
    }
}

}  // namespace

void flushOutput() {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) writeFailed = true;
}

bool outputFailed() { return writeFailed; }

namespace {

const char* skipSign(const char* p) {
    while (isBlank(*p)) p++;
    return *p == '-' || *p == '+' ? p + 1 : p;
}

}  // namespace

int64_t parseInteger64(const char* text) {
    // Accumulating stops at the 64-bit range, so a long run of digits cannot overflow.
    constexpr uint64_t Limit = uint64_t(INT64_MAX) + 1;
    const char* p = skipSign(text);
    const bool negative = p > text && p[-1] == '-';
    uint64_t v = 0;
    for (; *p >= '0' && *p <= '9'; p++) {
        const uint64_t digit = uint64_t(*p - '0');
        v = v > (Limit - digit) / 10 ? Limit : v * 10 + digit;
    }
    if (negative) return v == Limit ? INT64_MIN : -int64_t(v);
    return int64_t(std::min(v, Limit - 1));
}

int32_t parseInteger(const char* text) {
    return int32_t(std::clamp<int64_t>(parseInteger64(text), INT32_MIN, INT32_MAX));
}

bool isNumber(const char* text) {
    const char* p = skipSign(text);
    return *p >= '0' && *p <= '9';
}

int readTokens(LineReader& in, TokenLine& line) {
    line.count = 0;
    line.tokens.clear();
    const char* text;
    size_t length;
    if (!readLine(in, text, length)) return END_OF_INPUT;
    // A NUL byte ends the line, as it would end any C string.
    length = strnlen(text, length);
    // The tokens get their own copy, so they stay valid while the reader reads on (the in-search
    // input check reads standard input under a running go).
    line.text.assign(text, text + length);
    line.text.push_back('\0');
    char* p = line.text.data();
    for (;;) {
        while (isBlank(*p)) p++;
        if (!*p) break;
        line.tokens.push_back(p);
        while (*p && !isBlank(*p)) p++;
        if (!*p) break;
        *p++ = '\0';
    }
    line.count = int(line.tokens.size());
    return line.count;
}

bool dispatchCommand(SearchThread& thread, LineReader& in, TokenLine& line) {
    if (writeFailed) return false;
    const int n = readTokens(in, line);
    if (n == END_OF_INPUT) return false;
    if (n > 0) execute(thread, line);
    return !writeFailed;
}

void runCommandLoop(SearchThread& thread) {
    static TokenLine line;
    while (!thread.quitFlag && dispatchCommand(thread, standardInput(), line)) {
    }
}

void printOptions() {
    std::printf("option name Hash type spin default %d min %d max %d\n", hashSizeMb, 16, 512);
    std::printf("option name Threads type spin default %d min %d max %d\n", threadCount, 1, 4);
    std::printf("option name Ponder type check default true\n");
    std::printf("option name MultiPV type spin default %d min %d max %d\n", multiPv, 1,
                MAX_MULTI_PV);
    std::printf("option name Move Overhead type spin default %d min %d max %d\n", moveOverhead, 0,
                MAX_MOVE_OVERHEAD);
    std::printf("option name Clear Hash type button\n");
    flushOutput();
}

void setOption(const char* name, const char* value) {
    if (!value) {
        if (isWord(name, "Clear Hash")) {
            // Helpers of the last search may still be unwinding through the table.
            waitForIdleHelpers();
            ttClear();
        }
        return;
    }
    if (isWord(name, "Hash")) {
        const int32_t megabytes = clampInt(parseInteger(value), 16, 512);
        // Helpers of the last search may still be unwinding through the old table.
        waitForIdleHelpers();
        // The contents go even when the size stays; without memory for the new one the old stays.
        if (ttResize(megabytes)) hashSizeMb = megabytes;
    } else if (isWord(name, "Threads")) {
        threadCount = clampInt(parseInteger(value), 1, 4);
    } else if (isWord(name, "MultiPV")) {
        multiPv = clampInt(parseInteger(value), 1, MAX_MULTI_PV);
    } else if (isWord(name, "Move Overhead")) {
        moveOverhead = clampInt(parseInteger(value), 0, MAX_MOVE_OVERHEAD);
    }
}

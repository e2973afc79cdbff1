#include "shell/uci.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "board/makemove.h"
#include "board/notation.h"
#include "search/threads.h"
#include "shell/bench.h"
#include "shell/compiler.h"
#include "shell/go.h"
#include "shell/inspect.h"
#include "shell/options.h"
#include "shell/report.h"
#include "shell/session.h"
#include "shell/speed.h"

namespace {

void uciCommand() {
    std::printf("id name %s\n", "Kestrun 64-Bit");
    std::printf("id author Malvorn\n");
    flushOutput();
    printOptions();
    std::printf("uciok\n");
    flushOutput();
}

// Makes the moves named by tokens first.. on pos. A text that names no legal move ends the list
// there: what follows was meant for a different position. Returns whether the line passes through
// the position with the given key.
bool applyMoves(Position& pos, const TokenLine& line, int first, uint64_t passing) {
    bool passed = pos.hashKey() == passing;
    for (int i = first; i < line.count; i++) {
        const Move m = textToMove(pos, line[i]);
        if (m == NO_MOVE) break;
        if (pos.sideToMove == Black) fullmoveNumber++;
        UndoRecord undo;
        makeMove(pos, undo, m);
        passed = passed || pos.hashKey() == passing;
        // Trimmed move by move, so that a game longer than the history never overruns it.
        trimKeyHistory(pos);
    }
    trimKeyHistory(pos);
    return passed;
}

// A FEN's move-number field: digits alone, at least 1; anything else reads 1. Capped far below
// the 32-bit limit, so that the moves after it never overflow the count.
int32_t moveNumber(const char* text) {
    for (const char* c = text; *c; c++)
        if (*c < '0' || *c > '9') return 1;
    const int32_t n = parseInteger(text);
    return n < 1 ? 1 : n > 1000000000 ? 1000000000 : n;
}

void positionCommand(SearchThread& thread, const TokenLine& line) {
    Position& pos = thread.position;
    int movesAt = line.count;
    if (isWord(line[1], "startpos")) {
        setStartPosition(pos, settings.chess960);
        positionValid = true;
        fullmoveNumber = 1;
        if (line.count >= 4 && isWord(line[2], "moves")) movesAt = 3;
    } else if (isWord(line[1], "fen") && line.count >= 6) {
        const bool hasHalfmoves = line.count >= 7 && !isWord(line[6], "moves");
        positionValid = readFen(pos, line[2], line[3], line[4], line[5],
                                hasHalfmoves ? line[6] : nullptr, settings.chess960);
        if (!positionValid) {
            resetNodeClocks();
            return;
        }
        fullmoveNumber = hasHalfmoves && line.count >= 8 ? moveNumber(line[7]) : 1;
        for (int i = 2; i < line.count; i++)
            if (isWord(line[i], "moves")) {
                movesAt = i + 1;
                break;
            }
    } else {
        return;
    }
    // A position that the last search's root does not lead to is another game, or a takeback:
    // under nodestime the clocks kept in nodes start again.
    if (!applyMoves(pos, line, movesAt, lastSearchedRoot())) resetNodeClocks();
}

// After an infinite or pondering search that ended by itself: the answer it withheld.
void stopCommand() {
    if (answerWithheld()) printWithheldAnswer();
}

// The text from token `first` to the end of the line, with the blanks between the tokens as they
// came (the one that ended a token reads as a space): a folder name may hold blanks.
std::string textFrom(const TokenLine& line, int first) {
    if (first >= line.count) return "";
    const char* last = line[line.count - 1];
    std::string text(line[first], last + std::strlen(last));
    for (char& c : text)
        if (c == '\0') c = ' ';
    return text;
}

// setoption name <name> [value <value>]: the name may run over several tokens up to "value"; a
// spin or check takes exactly one value token, a button none, a string the rest of the line.
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
    } else {
        setOption(name, textFrom(line, v + 1).c_str());
    }
}

// A new game starts from what a fresh process has: empty table, caches and ordering tables.
void newGame(SearchThread& thread) {
    clearHelpers();
    clearHash();
    clearSearchState(thread);
    gamesStarted++;
    limitedSearches = 0;
    resetNodeClocks();
}

// Until its withheld answer is out, an infinite or pondering search is, for the GUI, still running:
// only what a running search obeys applies, so that the stop or ponderhit to come still answers.
bool droppedWhileWithheld(const char* word) {
    return answerWithheld() && !isWord(word, "stop") && !isWord(word, "ponderhit") &&
           !isWord(word, "quit") && !isWord(word, "isready");
}

void execute(SearchThread& thread, const TokenLine& line) {
    const char* word = line[0];
    const int n = line.count;
    if (droppedWhileWithheld(word)) return;
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
        if (n >= 2 && isWord(line[1], "perft")) {
            if (n == 3) perftCommand(thread, parseInteger(line[2]));
        } else if (n >= 2) {
            parseGo(thread, line);
        }
    } else if (isWord(word, "stop")) {
        if (n == 1) stopCommand();
    } else if (isWord(word, "ponderhit")) {
        if (n == 1) stopCommand();
    } else if (isWord(word, "quit")) {
        if (n == 1) quitRequested = true;
    } else if (isWord(word, "speed")) {
        if (n == 2) runSpeed(thread, parseInteger(line[1]));
    } else if (isWord(word, "file")) {
        if (n == 2) runCommandFile(thread, line[1]);
    } else if (isWord(word, "bench")) {
        if (n <= 2) benchCommand(thread, n == 2 ? parseInteger(line[1]) : 0);
    } else if (isWord(word, "eval")) {
        if (n == 1) evalCommand(thread);
    } else if (isWord(word, "d")) {
        if (n == 1) displayCommand(thread);
    } else if (isWord(word, "flip")) {
        if (n == 1) flipCommand(thread);
    } else if (isWord(word, "compiler")) {
        if (n == 1) compilerCommand();
    }
}

}  // namespace

bool dispatchCommand(SearchThread& thread, LineReader& in, TokenLine& line) {
    if (outputFailed()) return false;
    const int n = readTokens(in, line);
    if (n == END_OF_INPUT) return false;
    if (n > 0) execute(thread, line);
    return !outputFailed();
}

void runCommandLoop(SearchThread& thread) {
    static TokenLine line;
    while (!quitRequested && dispatchCommand(thread, standardInput(), line)) {
    }
    // Leaving, by quit or the end of input, gives a withheld answer first, as quit during a
    // search does. (A quit in a command file ends only the file; the answer stays withheld.)
    stopCommand();
}

namespace {

// The command files running on the current chain of file lines, outermost first.
FileIdentity runningFiles[MAX_FILE_NESTING];
int fileNesting = 0;

}  // namespace

void runCommandFile(SearchThread& thread, const char* path) {
    if (fileNesting >= MAX_FILE_NESTING) return;
    std::unique_ptr<LineReader> in = openLineReader(path);
    if (!in) return;
    // A file running again from inside itself, under any name, would fan out to every depth.
    for (int i = 0; i < fileNesting; i++)
        if (runningFiles[i] == in->identity) {
            closeLineReader(*in);
            return;
        }
    runningFiles[fileNesting++] = in->identity;
    TokenLine line;
    // The end of the file ends it as a quit line would.
    while (!quitRequested && dispatchCommand(thread, *in, line)) {
    }
    // quit ends the file, not the engine.
    quitRequested = false;
    closeLineReader(*in);
    fileNesting--;
}

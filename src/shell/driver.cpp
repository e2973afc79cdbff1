#include "shell/driver.h"

#include <sys/stat.h>

#include <cinttypes>
#include <cstdio>

#include "board/attacks.h"
#include "board/makemove.h"
#include "board/validity.h"
#include "search/search.h"
#include "search/tt.h"
#include "shell/input.h"
#include "shell/notation.h"
#include "shell/root.h"
#include "shell/threads.h"
#include "shell/uci.h"

bool benchMode = false;

namespace {

constexpr int BEST_MOVE_LINE = 32;
// A withheld answer is written down when its search ends: by the time stop or ponderhit asks for
// it, a position command may have replaced the board its principal variation was walked on.
char withheldLine[BEST_MOVE_LINE];

void formatBestMove(SearchThread& thread, char* line) {
    if (thread.bestMove == NO_MOVE || !positionValid) {
        std::snprintf(line, BEST_MOVE_LINE, "bestmove 0000\n");
        return;
    }
    Move pv[MAX_PV];
    const int length = extractPv(thread.position, Move(thread.bestMove), pv);
    char first[6], second[6];
    moveToText(pv[0], first);
    if (length == 1) {
        std::snprintf(line, BEST_MOVE_LINE, "bestmove %s\n", first);
    } else {
        moveToText(pv[1], second);
        std::snprintf(line, BEST_MOVE_LINE, "bestmove %s ponder %s\n", first, second);
    }
}

// A search with no limit in force ends only when told; with nobody left to tell it, or with
// commands waiting in a file, it must still read its input.
inline bool endsByItself(const SearchThread& thread) {
    return !thread.holdBestMove && (thread.depthLimited || thread.timeLimited);
}

struct Progress {
    int32_t elapsed;
    uint64_t nodes;
    uint64_t rate;
};

Progress progress(const SearchThread& thread) {
    Progress p;
    p.elapsed = clockMs() - thread.startTime;
    p.nodes = thread.nodeCount + helperNodes();
    p.rate = p.elapsed > 0 ? p.nodes * 1000 / uint64_t(p.elapsed) : 0;
    return p;
}

inline bool prints(const SearchThread& thread) {
    return thread.threadIndex == MAIN_THREAD && !benchMode;
}

template <Colour Us>
int walkPv(Position& pos, Move m, Move* moves, int length, uint64_t* keys) {
    constexpr Colour Them = opposite(Us);
    keys[length] = pos.hashKey();
    UndoRecord undo;
    makeMove<Us>(pos, undo, m);
    // A torn or colliding table entry can name a move that leaves the king attacked, or lead back
    // to a position already walked; the line ends before either.
    bool sound = !isAttackedBy<Them>(pos, pos.block<Us>().kingSquare);
    for (int i = 0; i <= length && sound; i++) sound = keys[i] != pos.hashKey();
    if (sound) {
        moves[length++] = m;
        const Move next = ttMove(pos);
        if (next != NO_MOVE && length < MAX_PV && isGenerated<Them>(pos, next))
            length = walkPv<Them>(pos, next, moves, length, keys);
    }
    unmakeMove<Us>(pos, undo, m);
    return length;
}

// Standard input that is a regular file holds the commands that follow the search: they are read
// only while the search cannot end by itself.
bool stdinIsFile() {
    static const bool isFile = [] {
        struct stat st;
        return fstat(0, &st) == 0 && S_ISREG(st.st_mode);
    }();
    return isFile;
}

void handleSearchInput(SearchThread& thread) {
    static TokenLine line;  // its own, so the go line's tokens stay intact
    const int n = readTokens(standardInput(), line);
    if (n == END_OF_INPUT) {
        // Nobody is left to send stop: a search that cannot end by itself ends as on quit.
        if (!endsByItself(thread)) thread.quitFlag = 1, thread.stopFlag = 1;
        return;
    }
    if (n != 1) return;
    const char* word = line[0];
    if (isWord(word, "stop")) {
        thread.holdBestMove = 0;
        thread.stopFlag = 1;
    } else if (isWord(word, "ponderhit")) {
        if (thread.holdBestMove) {
            thread.holdBestMove = 0;
            thread.ponderHit = 1;
        }
    } else if (isWord(word, "quit")) {
        thread.quitFlag = 1;
        thread.stopFlag = 1;
    } else if (isWord(word, "isready")) {
        std::printf("readyok\n");
        flushOutput();
    }
}

bool searchInputPending(const SearchThread& thread) {
    if (benchMode) return false;
    if (stdinIsFile() && endsByItself(thread)) return false;
    return inputPending();
}

template <Colour Us>
void iterativeDeepening(SearchThread& thread) {
    Position& pos = thread.position;
    Move moves[MAX_MOVES];
    int32_t scores[MAX_MOVES + 1];
    const int n = generateLegal<Us>(pos, moves);
    for (int i = 0; i <= n; i++) scores[i] = NO_SCORE;
    if (n == 1) {
        thread.depthLimited = 1;
        thread.depthLimit = 4;
    }
    thread.iteration = 1;
    for (;;) {
        thread.rootResearched = 0;
        thread.scoreDropped = 0;
        if (thread.iteration == 1)
            firstIterationRootSearch<Us>(thread, 4, n, moves, scores);
        else
            rootSearch<Us>(thread, 4 * thread.iteration, n, moves, scores);
        printDepthInfo(thread);
        const int64_t elapsed = clockMs() - thread.startTime;
        thread.previousScore = thread.bestScore;
        if (thread.iteration == 1 && n >= 2 && scores[0] >= scores[1] + 150) thread.easyMove = 1;
        if (thread.iteration >= 2) {
            thread.previousScoreDropped = thread.scoreDropped;
            thread.scoreDropped = 0;
        }
        const bool hold = thread.holdBestMove;
        if (thread.depthLimited && thread.iteration >= thread.depthLimit && !hold)
            thread.stopFlag = 1;
        if (thread.timeLimited && !hold) {
            const int64_t soft = thread.softTime;
            if (elapsed >= soft * 20 / 100 && thread.easyMove) thread.stopFlag = 1;
            if (elapsed >= soft * 60 / 100 && !thread.previousScoreDropped &&
                !thread.rootResearched)
                thread.stopFlag = 1;
            if (elapsed >= soft && !thread.previousScoreDropped) {
                thread.stopFlag = 1;
                break;
            }
        }
        if (thread.stopFlag) break;
        if (++thread.iteration >= MAX_ITERATION) break;
    }
    // Stopped before any root move completed: the best guess is the head of the root list.
    if (thread.bestMove == NO_MOVE && n > 0) thread.bestMove = int32_t(moves[0]);
}

}  // namespace

int extractPv(Position& pos, Move first, Move* moves) {
    uint64_t keys[MAX_PV + 1];
    const int length = pos.sideToMove == White ? walkPv<White>(pos, first, moves, 0, keys)
                                               : walkPv<Black>(pos, first, moves, 0, keys);
    // The first move comes from the root's legal list; it always stands.
    if (length == 0) moves[0] = first;
    return length == 0 ? 1 : length;
}

void startSearch(SearchThread& thread, int holdBestMove, int depthLimited, int depthLimit,
                 int timeLimited, int softTime, int hardTime) {
    const bool main = thread.threadIndex == MAIN_THREAD;
    thread.startTime = clockMs();
    thread.holdBestMove = holdBestMove;
    thread.depthLimited = depthLimited;
    thread.depthLimit = depthLimit;
    thread.timeLimited = timeLimited;
    thread.softTime = softTime;
    thread.hardTime = hardTime;

    thread.bestScore = NO_SCORE;
    thread.stopFlag = 0;
    thread.quitFlag = thread.ponderHit = 0;
    thread.iteration = thread.rootMoveIndex = thread.bestMove = 0;
    thread.previousScore = thread.rootResearched = thread.easyMove = 0;
    thread.scoreDropped = thread.previousScoreDropped = 0;
    thread.nodeCount = 0;
    thread.pollCountdown = POLL_INTERVAL;
    if (main) bestMoveWithheld = false;

    // After a refused FEN there is nothing to search; the answer is the empty move.
    if (!main || positionValid) {
        setUpPosition(thread.position);
        clearOrderingTables(thread.orderingTables);
        if (main) setTtAge((ttAge() + 1) & 255);
        syncHelpers(thread);
        copyRootPosition(thread);
        releaseHelpers(thread);
        if (thread.position.sideToMove == White)
            iterativeDeepening<White>(thread);
        else
            iterativeDeepening<Black>(thread);
        stopHelpers(thread);
    }

    if (thread.stopFlag || !thread.holdBestMove) {
        printBestMove(thread);
    } else if (main) {
        formatBestMove(thread, withheldLine);
        bestMoveWithheld = true;
    }
}

void printBestMove(SearchThread& thread) {
    if (!prints(thread)) return;
    char line[BEST_MOVE_LINE];
    formatBestMove(thread, line);
    std::fputs(line, stdout);
    flushOutput();
}

void printWithheldBestMove() {
    std::fputs(withheldLine, stdout);
    flushOutput();
}

void printDepthInfo(SearchThread& thread) {
    if (!prints(thread) || thread.iteration < 6) return;
    const Progress p = progress(thread);
    std::printf("info depth %d time %d nodes %" PRIu64 " nps %" PRIu64 "\n", thread.iteration,
                p.elapsed, p.nodes, p.rate);
    flushOutput();
}

void printPvInfo(SearchThread& thread, int score) {
    if (!prints(thread) || thread.iteration < 6) return;
    const Progress p = progress(thread);
    Move pv[MAX_PV];
    const int length = extractPv(thread.position, Move(thread.bestMove), pv);
    char text[MAX_PV * 6];
    pvToText(length, pv, text);
    std::printf("info depth %d time %d nodes %" PRIu64 " nps %" PRIu64 " ", thread.iteration,
                p.elapsed, p.nodes, p.rate);
    if (score > MATE_BOUND)
        std::printf("score mate %d", (MATE + 1 - score) >> 1);
    else if (score < -MATE_BOUND)
        std::printf("score mate %d", (-MATE - score) >> 1);
    else
        std::printf("score cp %d", score * 130 / 100);
    std::printf(" pv %s\n", text);
    flushOutput();
}

void printCurrMove(SearchThread& thread, Move m) {
    if (!prints(thread)) return;
    const Progress p = progress(thread);
    if (p.elapsed <= 1000) return;
    char text[6];
    moveToText(m, text);
    std::printf("info depth %d time %d nodes %" PRIu64 " nps %" PRIu64
                " currmove %s currmovenumber %d\n",
                thread.iteration, p.elapsed, p.nodes, p.rate, text, thread.rootMoveIndex + 1);
    flushOutput();
}

void periodicCheck(SearchThread& thread) {
    if (thread.threadIndex != MAIN_THREAD) {
        if (helperShouldStop()) thread.stopFlag = 1;
        return;
    }
    const int64_t elapsed = clockMs() - thread.startTime;
    while (!thread.stopFlag && searchInputPending(thread)) handleSearchInput(thread);
    if (!thread.timeLimited || thread.holdBestMove) return;
    if (elapsed >= thread.hardTime) thread.stopFlag = 1;
    if (elapsed >= thread.softTime && !thread.scoreDropped && !thread.previousScoreDropped &&
        thread.rootMoveIndex == 0 && thread.ponderHit)
        thread.stopFlag = 1;
}

#include "shell/driver.h"

#include <sys/stat.h>

#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "board/attacks.h"
#include "board/makemove.h"
#include "board/validity.h"
#include "search/draws.h"
#include "search/search.h"
#include "search/tt.h"
#include "shell/input.h"
#include "shell/notation.h"
#include "shell/root.h"
#include "shell/threads.h"
#include "shell/uci.h"

bool benchMode = false;

namespace {

// Room for a score line with a full principal variation, for each of the most lines MultiPV
// reports, and the bestmove line.
constexpr int LINE_SIZE = 256;
constexpr int ANSWER_SIZE = (MAX_MULTI_PV + 1) * LINE_SIZE;
// A withheld answer is written down when its search ends: by the time stop or ponderhit asks for
// it, a position command may have replaced the board its principal variation was walked on.
struct Answer {
    char text[ANSWER_SIZE] = "";
    size_t used = 0;
};
inline void clear(Answer& answer) {
    answer.text[0] = '\0';
    answer.used = 0;
}
Answer withheldAnswer;

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

// Appends formatted text, cutting what does not fit.
__attribute__((format(printf, 2, 3))) void append(Answer& answer, const char* format, ...) {
    const size_t room = sizeof answer.text - answer.used;
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(answer.text + answer.used, room, format, args);
    va_end(args);
    if (n > 0) answer.used += std::min(size_t(n), room - 1);
}

// "info depth d [multipv i] time t nodes n nps r score ... pv ...": mate scores in moves,
// negative when the mover is mated; centipawns at 1.3 times the internal score. Line 0 is the
// single-line form.
void appendScoreLine(SearchThread& thread, Answer& buffer, int depth, int score, Move first,
                     int line = 0) {
    const Progress p = progress(thread);
    Move pv[MAX_PV];
    const int length = extractPv(thread.position, first, pv);
    char text[MAX_PV * 6];
    pvToText(length, pv, text);
    append(buffer, "info depth %d ", depth);
    if (line > 0) append(buffer, "multipv %d ", line);
    append(buffer, "time %d nodes %" PRIu64 " nps %" PRIu64 " ", p.elapsed, p.nodes, p.rate);
    if (score > MATE_BOUND)
        append(buffer, "score mate %d", (MATE + 1 - score) >> 1);
    else if (score < -MATE_BOUND)
        append(buffer, "score mate %d", (-MATE - score) >> 1);
    else
        append(buffer, "score cp %d", score * 130 / 100);
    append(buffer, " pv %s\n", text);
}

// One line per principal variation of the deepest completed iteration, best first.
void appendPvLines(SearchThread& thread, Answer& buffer) {
    for (int i = 0; i < thread.pvLineCount; i++)
        appendScoreLine(thread, buffer, thread.pvLineDepth, thread.pvLineScores[i],
                        thread.pvLineMoves[i], i + 1);
}

// The bestmove line, after a score line when no info line has shown one: every search reports a
// score for its answer, also one that ended before the iterations that print.
void formatAnswer(SearchThread& thread, Answer& buffer) {
    clear(buffer);
    if (thread.bestMove == NO_MOVE || !positionValid) {
        // Mated or stalemated at the root: the score of the position itself.
        if (positionValid && !thread.scoreShown)
            append(buffer, "info depth 0 score %s\n", inCheck(thread.position) ? "mate 0" : "cp 0");
        append(buffer, "bestmove 0000\n");
        return;
    }
    if (thread.multiPv > 1) {
        if (!thread.scoreShown) appendPvLines(thread, buffer);
        // A stop inside an iteration after a move beat the best one: no line shows it yet.
        const bool newBest =
            thread.pvLineCount == 0 || Move(thread.bestMove) != thread.pvLineMoves[0];
        if (newBest && thread.reportDepth > 0)
            appendScoreLine(thread, buffer, thread.reportDepth, thread.reportScore,
                            Move(thread.bestMove), 1);
    } else if (!thread.scoreShown && thread.reportDepth > 0) {
        appendScoreLine(thread, buffer, thread.reportDepth, thread.reportScore,
                        Move(thread.bestMove));
    }
    Move pv[MAX_PV];
    const int length = extractPv(thread.position, Move(thread.bestMove), pv);
    char first[6], second[6];
    moveToText(pv[0], first);
    if (length == 1) {
        append(buffer, "bestmove %s\n", first);
    } else {
        moveToText(pv[1], second);
        append(buffer, "bestmove %s ponder %s\n", first, second);
    }
}

// A search with no limit in force ends only when told; with nobody left to tell it, or with
// commands waiting in a file, it must still read its input.
inline bool endsByItself(const SearchThread& thread) {
    return !thread.holdBestMove &&
           (thread.depthLimited || thread.timeLimited || thread.nodesLimited);
}

inline bool prints(const SearchThread& thread) {
    return thread.threadIndex == MAIN_THREAD && !benchMode;
}

template <Colour Us>
int walkPv(Position& pos, Move m, Move* moves, int length) {
    constexpr Colour Them = opposite(Us);
    UndoRecord undo;
    makeMove<Us>(pos, undo, m);
    // A torn or colliding table entry can name a move that leaves the king attacked. A move into
    // a position the game or the line has had before ends the line there: the repetition ends the
    // game, or the line goes round in a circle.
    if (!isAttackedBy<Them>(pos, pos.block<Us>().kingSquare) && !isRepetition(pos)) {
        moves[length++] = m;
        const Move next = ttMove(pos);
        if (next != NO_MOVE && length < MAX_PV && isGenerated<Them>(pos, next))
            length = walkPv<Them>(pos, next, moves, length);
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

// The root list: the legal moves, or those of them the go line listed.
// The go line's list holds legal moves of this very position in generation order already.
template <Colour Us>
int rootMoves(SearchThread& thread, Move* moves) {
    if (thread.searchMoveCount == 0) return generateLegal<Us>(thread.position, moves);
    std::copy_n(thread.searchMoves, thread.searchMoveCount, moves);
    return thread.searchMoveCount;
}

// Whether the score is a mate for the mover in at most the number of moves.
inline bool matesWithin(int score, int moves) {
    return score > MATE_BOUND && (MATE + 1 - score) >> 1 <= moves;
}

template <Colour Us>
void iterativeDeepening(SearchThread& thread) {
    Position& pos = thread.position;
    Move moves[MAX_MOVES];
    int32_t scores[MAX_MOVES + 1];
    // A forced move needs no deep search; a move the go line singled out does.
    if (generateLegal<Us>(pos, moves) == 1) {
        thread.depthLimited = 1;
        thread.depthLimit = 4;
    }
    const int n = rootMoves<Us>(thread, moves);
    for (int i = 0; i <= n; i++) scores[i] = NO_SCORE;
    const int lines = std::clamp(thread.multiPv, 1, std::max(n, 1));
    thread.iteration = nextIteration(thread, 1);
    for (;;) {
        thread.rootResearched = 0;
        thread.scoreDropped = 0;
        bool completed;
        beginIteration(thread.iteration);
        if (thread.iteration == 1) {
            completed = firstIterationRootSearch<Us>(thread, 4, n, moves, scores);
            // Its head is what the answer names until a later iteration finds a best move.
            if (completed && n > 0) {
                thread.reportDepth = 1;
                thread.reportScore = scores[0];
            }
        } else {
            completed = rootSearch<Us>(thread, 4 * thread.iteration, n, moves, scores, lines);
        }
        endIteration(thread.iteration);
        if (completed && n > 0) {
            thread.completedDepth = thread.iteration;
            publishIteration(thread, thread.iteration, moves[0], scores[0]);
        }
        if (completed && thread.multiPv > 1 && n > 0) {
            thread.pvLineDepth = thread.iteration;
            thread.pvLineCount = lines;
            std::copy_n(moves, lines, thread.pvLineMoves);
            std::copy_n(scores, lines, thread.pvLineScores);
            printPvLines(thread);
        }
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
        if (thread.mateLimit && completed && n > 0 && !hold &&
            matesWithin(thread.iteration == 1 ? scores[0] : thread.bestScore, thread.mateLimit))
            thread.stopFlag = 1;
        if (thread.stopFlag) break;
        thread.iteration = nextIteration(thread, thread.iteration + 1);
        if (thread.iteration >= MAX_ITERATION) break;
    }
    // Stopped before any root move completed: the best guess is the head of the root list.
    if (thread.bestMove == NO_MOVE && n > 0) thread.bestMove = int32_t(moves[0]);
}

// The node budget's next check comes when the nodes left could be spent: at once on one thread,
// in steps that halve the gap when helpers count as well.
void scheduleNodeCheck(SearchThread& thread, uint64_t nodes) {
    if (!thread.nodesLimited || nodes >= thread.nodeLimit) return;
    const uint64_t left = (thread.nodeLimit - nodes) / uint64_t(threadCount);
    thread.pollCountdown = int32_t(std::clamp<uint64_t>(left, 1, POLL_INTERVAL));
}

// A helper that completed a deeper iteration than the main thread gives the answer when it chose
// the same move, when its move scores no worse, when it reached the depth asked for, or when the
// main thread has no score at all. With several lines the main thread's own stand.
void adoptHelperResult(SearchThread& thread) {
    if (threadCount <= 1 || thread.multiPv > 1 || thread.bestMove == NO_MOVE) return;
    const HelperResult h = deepestHelperResult();
    if (h.depth <= thread.completedDepth || h.move == NO_MOVE) return;
    const bool reachedLimit = thread.depthLimited && h.depth >= thread.depthLimit;
    if (h.move != Move(thread.bestMove) && h.score < thread.reportScore && !reachedLimit &&
        thread.reportDepth > 0)
        return;
    // A new move needs its own score line; the same move keeps what was shown.
    if (h.move != Move(thread.bestMove)) thread.scoreShown = 0;
    thread.bestMove = int32_t(h.move);
    thread.reportDepth = h.depth;
    thread.reportScore = h.score;
}

// Ends the search once all threads together have spent the budget (not while the answer is held
// back: a limit holds only from ponderhit on, like the clock).
void checkNodeBudget(SearchThread& thread) {
    const uint64_t nodes = thread.nodeCount + helperNodes();
    if (nodes >= thread.nodeLimit) {
        if (!thread.holdBestMove) thread.stopFlag = 1;
        return;
    }
    scheduleNodeCheck(thread, nodes);
}

}  // namespace

int extractPv(Position& pos, Move first, Move* moves) {
    const int length = pos.sideToMove == White ? walkPv<White>(pos, first, moves, 0)
                                               : walkPv<Black>(pos, first, moves, 0);
    // The first move comes from the root's legal list; it always stands.
    if (length == 0) moves[0] = first;
    return length == 0 ? 1 : length;
}

void startSearch(SearchThread& thread, const GoLimits& limits) {
    const bool main = thread.threadIndex == MAIN_THREAD;
    thread.startTime = clockMs();
    thread.holdBestMove = limits.holdBestMove;
    thread.depthLimited = limits.depthLimited;
    thread.depthLimit = limits.depthLimit;
    thread.timeLimited = limits.timeLimited;
    thread.softTime = limits.softTime;
    thread.hardTime = limits.hardTime;
    thread.nodesLimited = limits.nodesLimited;
    thread.nodeLimit = limits.nodeLimit;
    thread.mateLimit = limits.mateLimit;
    thread.searchMoveCount = limits.searchMoveCount;
    std::copy(limits.searchMoves, limits.searchMoves + limits.searchMoveCount, thread.searchMoves);

    thread.bestScore = NO_SCORE;
    // A helper's flag is cleared by the main thread before it is released.
    if (main) thread.stopFlag = 0;
    thread.quitFlag = thread.ponderHit = 0;
    thread.iteration = thread.rootMoveIndex = thread.bestMove = 0;
    thread.previousScore = thread.rootResearched = thread.easyMove = 0;
    thread.scoreDropped = thread.previousScoreDropped = 0;
    thread.reportDepth = thread.reportScore = thread.scoreShown = 0;
    thread.completedDepth = 0;
    thread.multiPv = main ? limits.multiPv : 1;
    thread.pvLineDepth = thread.pvLineCount = 0;
    thread.nodeCount = 0;
    thread.pollCountdown = POLL_INTERVAL;
    if (thread.nodesLimited && thread.nodeLimit == 0) thread.pollCountdown = 0;
    scheduleNodeCheck(thread, 0);
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
        if (main) adoptHelperResult(thread);
    }

    if (thread.stopFlag || !thread.holdBestMove) {
        printBestMove(thread);
    } else if (main) {
        formatAnswer(thread, withheldAnswer);
        bestMoveWithheld = true;
    }
}

void printBestMove(SearchThread& thread) {
    if (!prints(thread)) return;
    static Answer answer;  // the main thread's only, and too large for a stack frame
    formatAnswer(thread, answer);
    std::fputs(answer.text, stdout);
    flushOutput();
}

void printWithheldBestMove() {
    std::fputs(withheldAnswer.text, stdout);
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
    // Several lines are printed together once the iteration has ordered them.
    if (!prints(thread) || thread.iteration < 6 || thread.multiPv > 1) return;
    static Answer line;
    clear(line);
    appendScoreLine(thread, line, thread.iteration, score, Move(thread.bestMove));
    std::fputs(line.text, stdout);
    flushOutput();
    thread.scoreShown = 1;
}

void printPvLines(SearchThread& thread) {
    if (!prints(thread) || thread.iteration < 6) return;
    static Answer lines;
    clear(lines);
    appendPvLines(thread, lines);
    std::fputs(lines.text, stdout);
    flushOutput();
    thread.scoreShown = 1;
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
    if (thread.nodesLimited) checkNodeBudget(thread);
    // A helper has completed the last iteration asked for: its answer is as good (helpers search
    // one line, so not when several are asked for).
    if (thread.depthLimited && !thread.holdBestMove && threadCount > 1 && thread.multiPv == 1) {
        const int helperDepth = deepestHelperResult().depth;
        if (helperDepth > 0 && helperDepth >= thread.depthLimit) thread.stopFlag = 1;
    }
    if (!thread.timeLimited || thread.holdBestMove) return;
    if (elapsed >= thread.hardTime) thread.stopFlag = 1;
    if (elapsed >= thread.softTime && !thread.scoreDropped && !thread.previousScoreDropped &&
        thread.rootMoveIndex == 0 && thread.ponderHit)
        thread.stopFlag = 1;
}

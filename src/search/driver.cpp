#include "search/driver.h"

#include <algorithm>
#include <cstdint>

#include "board/attacks.h"
#include "board/legal.h"
#include "board/makemove.h"
#include "board/validity.h"
#include "search/draws.h"
#include "search/root.h"
#include "search/search.h"
#include "search/strength.h"
#include "search/tablebase.h"
#include "search/threads.h"
#include "search/timeman.h"
#include "search/tt.h"

namespace {

// A search's time in ms: under nodestime its nodes at the rate, else the real time given.
int64_t searchTime(const SearchThread& thread, int64_t realMs) {
    const uint64_t rate = thread.limits.nodesPerMs;
    return rate > 0 ? int64_t(searchNodes(thread) / rate) : realMs;
}

// A rating's budget waits for the first iteration, whose lines the limited search chooses among,
// and binds also while the answer is held back: pondering must not think deeper than the rating
// allows.
bool endOnStrengthBudget(SearchThread& thread, uint64_t nodes) {
    SearchState& s = thread.state;
    if (nodes < s.strengthNodes || s.completedDepth == 0) return false;
    thread.stopFlag = 1;
    s.strengthStopped = 1;
    return true;
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
        // After the hundredth half-move without a capture or pawn move the game is drawn (or
        // over by mate): the line ends with the move that got there.
        const Move next = pos.halfmoveClock < 100 ? ttMove(pos) : NO_MOVE;
        if (next != NO_MOVE && length < MAX_PV && isGenerated<Them>(pos, next))
            length = walkPv<Them>(pos, next, moves, length);
    }
    unmakeMove<Us>(pos, undo, m);
    return length;
}

// The root list: the legal moves, or those of them the go line listed.
// The go line's list holds legal moves of this very position in generation order already.
template <Colour Us>
int rootMoves(SearchThread& thread, Move* moves) {
    const GoLimits& limits = thread.limits;
    if (limits.searchMoveCount == 0) return generateLegal<Us>(thread.position, moves);
    std::copy_n(limits.searchMoves, limits.searchMoveCount, moves);
    return limits.searchMoveCount;
}

// Whether the score is a mate for the mover in at most the number of moves.
inline bool matesWithin(int score, int moves) {
    return score > MATE_BOUND && (MATE + 1 - score) >> 1 <= moves;
}

// Stopped before the first iteration completed: the best move the engine already knows. The
// table's move for the root, when it is a root move (a search of an earlier position of the game
// reached this one), with its score when this iteration has scored it; else the best move the
// iteration has scored, with its score; else the first root move, the first it would search.
void answerUnfinishedFirstIteration(SearchThread& thread, int n, const Move* moves,
                                    const int32_t* scores) {
    SearchState& s = thread.state;
    int chosen = int(std::find(moves, moves + n, ttMove(thread.position)) - moves);
    if (chosen == n) {
        chosen = 0;
        for (int i = 1; i < n; i++)
            if (scores[i] != NO_SCORE && (scores[chosen] == NO_SCORE || scores[i] > scores[chosen]))
                chosen = i;
    }
    s.bestMove = int32_t(moves[chosen]);
    if (scores[chosen] == NO_SCORE) return;
    s.reportDepth = 1;
    s.reportScore = scores[chosen];
}

template <Colour Us>
void iterativeDeepening(SearchThread& thread) {
    Position& pos = thread.position;
    GoLimits& limits = thread.limits;
    SearchState& s = thread.state;
    Move moves[MAX_MOVES];
    int32_t scores[MAX_MOVES + 1];
    // A forced move needs no deep search; a move the go line singled out does.
    if (generateLegal<Us>(pos, moves) == 1) {
        limits.depthLimited = 1;
        limits.depthLimit = 4;
    }
    const int n = rootMoves<Us>(thread, moves);
    s.rootMoveCount = n;
    for (int i = 0; i <= n; i++) scores[i] = NO_SCORE;
    // A limited search gives several lines exact scores, to choose among them.
    const int wanted = limits.strengthElo
                           ? std::max(limits.multiPv, strengthPlan(limits.strengthElo).lines)
                           : limits.multiPv;
    const int lines = std::clamp(wanted, 1, std::max(n, 1));
    s.iteration = nextIteration(thread, 1);
    for (;;) {
        s.rootResearched = 0;
        s.scoreDropped = 0;
        thread.selDepth = 0;
        bool completed;
        beginIteration(s.iteration);
        if (s.iteration == 1) {
            completed = firstIterationRootSearch<Us>(thread, 4, n, moves, scores);
            // Its head is what the answer names until a later iteration finds a best move.
            if (completed && n > 0) {
                s.reportDepth = 1;
                s.reportScore = scores[0];
            }
        } else {
            completed = rootSearch<Us>(thread, 4 * s.iteration, n, moves, scores, lines);
        }
        endIteration(s.iteration);
        if (completed && n > 0) {
            s.completedDepth = s.iteration;
            s.completedSelDepth = thread.selDepth;
            publishIteration(thread, s.iteration, moves[0], scores[0]);
        }
        if (completed && (limits.multiPv > 1 || limits.strengthElo) && n > 0) {
            s.pvLineDepth = s.iteration;
            s.pvLineCount = lines;
            std::copy_n(moves, lines, s.pvLineMoves);
            std::copy_n(scores, lines, s.pvLineScores);
            if (thread.hooks) thread.hooks->linesDone(thread);
        }
        if (thread.hooks) thread.hooks->iterationDone(thread);
        const int64_t elapsed = searchElapsed(thread);
        s.previousScore = s.bestScore;
        if (s.iteration == 1 && n >= 2 && scores[0] >= scores[1] + 150) s.easyMove = 1;
        if (s.iteration >= 2) {
            s.previousScoreDropped = s.scoreDropped;
            s.scoreDropped = 0;
        }
        const bool hold = s.holdBestMove;
        if (limits.depthLimited && s.iteration >= limits.depthLimit && !hold) thread.stopFlag = 1;
        if (s.strengthNodes) endOnStrengthBudget(thread, searchNodes(thread));
        if (clockEndsSearch(thread, elapsed)) {
            thread.stopFlag = 1;
            break;
        }
        if (limits.mateLimit && completed && n > 0 && !hold &&
            matesWithin(s.iteration == 1 ? scores[0] : s.bestScore, limits.mateLimit))
            thread.stopFlag = 1;
        if (thread.stopFlag) break;
        s.iteration = nextIteration(thread, s.iteration + 1);
        if (s.iteration >= MAX_ITERATION) break;
    }
    // Stopped before a root move beat the last completed iteration's: that iteration's head.
    if (s.bestMove == NO_MOVE && n > 0 && s.completedDepth > 0) s.bestMove = int32_t(moves[0]);
    if (s.bestMove == NO_MOVE && n > 0) answerUnfinishedFirstIteration(thread, n, moves, scores);
}

void iterate(SearchThread& thread) {
    if (thread.position.sideToMove == White)
        iterativeDeepening<White>(thread);
    else
        iterativeDeepening<Black>(thread);
}

// Nodes to a budget's next check: when the nodes left could be spent, at once on one thread, in
// steps that halve the gap when helpers count as well; never more than the interval.
int32_t stepToBudget(uint64_t target, uint64_t nodes, int32_t interval) {
    const uint64_t left = (target - nodes) / uint64_t(threadCount());
    return int32_t(std::clamp<uint64_t>(left, 1, uint64_t(interval)));
}

// The budget is the go line's, or a limited search's own until it is spent; a limited search
// schedules it on its own countdown.
void scheduleNodeCheck(SearchThread& thread, uint64_t nodes) {
    const GoLimits& limits = thread.limits;
    SearchState& s = thread.state;
    uint64_t target = limits.nodesLimited ? limits.nodeLimit : UINT64_MAX;
    if (s.strengthNodes > nodes) target = std::min(target, s.strengthNodes);
    if (target == UINT64_MAX || nodes >= target) return;
    int32_t& countdown = s.strengthNodes ? s.budgetCountdown : thread.pollCountdown;
    countdown =
        stepToBudget(target, nodes, s.strengthNodes ? s.budgetInterval : thread.checkInterval);
}

// Ends the search once all threads together have spent the budget (not while the answer is held
// back: a limit holds only from ponderhit on, like the clock). From then on the helpers check it
// as well: a main thread that the system keeps waiting must not let them run past it.
void checkNodeBudget(SearchThread& thread) {
    const uint64_t nodes = searchNodes(thread);
    if (thread.limits.nodesLimited && !thread.state.holdBestMove)
        setNodeBudget(thread.limits.nodeLimit);
    if (thread.limits.nodesLimited && nodes >= thread.limits.nodeLimit) {
        // The helpers stop with it, not once it has unwound: a thread the system keeps waiting
        // would leave them running.
        if (!thread.state.holdBestMove) stopWholeSearch();
        return;
    }
    if (thread.state.strengthNodes && endOnStrengthBudget(thread, nodes)) return;
    scheduleNodeCheck(thread, nodes);
}

// A limited search's budget check, when its own countdown has run out: the nodes counted towards
// checks since the last one are those the last check scheduled.
void checkStrengthBudget(SearchThread& thread) {
    SearchState& s = thread.state;
    s.budgetCountdown -= std::max(s.nodesToNextCheck, 1);
    if (s.budgetCountdown > 0) return;
    s.budgetCountdown = s.budgetInterval;
    checkNodeBudget(thread);
}

// The main thread's next check comes no later than the budget's.
void meetBudgetCheck(SearchThread& thread) {
    SearchState& s = thread.state;
    if (s.strengthNodes) thread.pollCountdown = std::min(thread.pollCountdown, s.budgetCountdown);
    s.nodesToNextCheck = thread.pollCountdown;
}

// A helper's check: the shared budget, spent or not. Its checks come as the main thread's do,
// when its share of the nodes left could be spent, and at least every CLOCK_INTERVAL nodes: a
// longer countdown, set while the others still had nodes to spend, would run on past the budget
// whenever the system pauses the threads that spent them.
void helperCheck(SearchThread& thread) {
    const uint64_t budget = nodeBudget();
    if (budget == NO_NODE_BUDGET || thread.stopFlag) return;
    const uint64_t nodes = allSearchNodes();
    if (nodes >= budget) return stopWholeSearch();
    thread.pollCountdown = stepToBudget(budget, nodes, CLOCK_INTERVAL);
}

// Real time between two checks of the main thread: where a thousand nodes take longer than the
// check period (page faults, a busy machine), the interval shrinks, so the clock and the input are
// still read in time; where they are quick again it grows back. Under nodestime the search's
// time is its nodes, and the checks keep to fixed node counts so that the search repeats.
void adaptCheckInterval(SearchThread& thread, int64_t now) {
    const int64_t spent = now - thread.state.lastCheckMicros;
    thread.state.lastCheckMicros = now;
    if (thread.limits.nodesPerMs > 0) return;
    if (spent > CHECK_PERIOD_US)
        thread.checkInterval = std::max(thread.checkInterval / 2, MIN_CHECK_INTERVAL);
    else if (spent < CHECK_PERIOD_US / 4)
        thread.checkInterval = std::min(thread.checkInterval * 2, CLOCK_INTERVAL);
    thread.pollCountdown = std::min(thread.pollCountdown, thread.checkInterval);
}

// A helper that completed a deeper iteration than the main thread gives the answer when it chose
// the same move, when its move scores no worse, when it reached the depth asked for, or when the
// main thread has no score at all. With several lines the main thread's own stand.
void adoptHelperResult(SearchThread& thread) {
    SearchState& s = thread.state;
    if (threadCount() <= 1 || thread.limits.multiPv > 1 || s.bestMove == NO_MOVE) return;
    const HelperResult h = deepestHelperResult();
    if (h.depth <= s.completedDepth || h.move == NO_MOVE) return;
    const bool reachedLimit = thread.limits.depthLimited && h.depth >= thread.limits.depthLimit;
    if (h.move != Move(s.bestMove) && h.score < s.reportScore && !reachedLimit && s.reportDepth > 0)
        return;
    // A new move needs its own score line; the same move keeps what was shown.
    if (h.move != Move(s.bestMove)) s.scoreShown = 0;
    s.bestMove = int32_t(h.move);
    s.reportDepth = h.depth;
    s.reportScore = h.score;
}

// A limited search plays one of the lines of its deepest completed iteration, drawn by its seed,
// and its answer names that line. Stopped before any iteration completed, it keeps what it has.
void playLimitedChoice(SearchThread& thread) {
    SearchState& s = thread.state;
    const GoLimits& limits = thread.limits;
    if (!limits.strengthElo || s.pvLineCount == 0) return;
    const int margin = strengthPlan(limits.strengthElo).margin;
    const int i = chooseLine(s.pvLineScores, s.pvLineCount, margin, limits.strengthSeed);
    s.bestMove = int32_t(s.pvLineMoves[i]);
    s.reportDepth = s.pvLineDepth;
    s.reportScore = s.pvLineScores[i];
}

// Everything a search starts from, on any thread.
void resetForSearch(SearchThread& thread, const GoLimits& limits) {
    thread.limits = limits;
    thread.state = {};
    if (limits.strengthElo) thread.state.strengthNodes = strengthPlan(limits.strengthElo).nodes;
    // One clock reading: the checks take the milliseconds since the start from both.
    thread.state.startMicros = thread.state.lastCheckMicros = clockMicros();
    thread.state.startTime = int32_t(thread.state.startMicros / 1000);
    thread.state.holdBestMove = limits.holdBestMove;
    thread.nodeCount = 0;
    thread.tbHits = 0;
    // Every search keeps its time limit to the millisecond and answers stop, quit, ponderhit and
    // isready within about one: the main thread checks often.
    thread.checkInterval = isHelper(thread) ? POLL_INTERVAL : CLOCK_INTERVAL;
    thread.pollCountdown = thread.checkInterval;
    // A rating's budget keeps the steps it always had: a thousand nodes where the clock or a
    // withheld answer asks for frequent checks, else a hundred thousand.
    SearchState& s = thread.state;
    const bool often = limits.timeLimited || limits.holdBestMove;
    s.budgetInterval = often ? CLOCK_INTERVAL : POLL_INTERVAL;
    s.budgetCountdown = s.budgetInterval;
    int32_t& countdown = s.strengthNodes ? s.budgetCountdown : thread.pollCountdown;
    if (limits.nodesLimited && limits.nodeLimit == 0) countdown = 0;
    scheduleNodeCheck(thread, 0);
    meetBudgetCheck(thread);
}

// With the root in the endgame tables, the root list (the go line's, or all legal moves) keeps only
// the moves that hold the tables' best result; helpers take the same list.
void rankRootByTables(SearchThread& thread) {
    if (!tablebaseRules.probePieces) return;
    GoLimits& limits = thread.limits;
    Move moves[MAX_MOVES];
    const int n =
        limits.searchMoveCount ? limits.searchMoveCount : generateLegal(thread.position, moves);
    if (limits.searchMoveCount) std::copy_n(limits.searchMoves, n, moves);
    int tableScore = NO_SCORE;
    const int kept = rankRootMoves(thread.position, moves, n, tableScore);
    if (tableScore == NO_SCORE) return;
    thread.tbHits.add(1);
    thread.state.rootTableScore = tableScore;
    limits.searchMoveCount = kept;
    std::copy_n(moves, kept, limits.searchMoves);
}

// A helper searches the main thread's root without limits of its own: the main thread tells it
// when to stop.
void helperSearch(SearchThread& thread) {
    GoLimits limits;
    limits.holdBestMove = 1;
    resetForSearch(thread, limits);
    helperCheck(thread);
    thread.hooks = nullptr;
    copyRootPosition(thread);
    clearOrderingTables(thread.orderingTables);
    iterate(thread);
}

}  // namespace

int extractPv(Position& pos, Move first, Move* moves) {
    const int length = pos.sideToMove == White ? walkPv<White>(pos, first, moves, 0)
                                               : walkPv<Black>(pos, first, moves, 0);
    // The first move comes from the root's legal list; it always stands.
    if (length == 0) moves[0] = first;
    return length == 0 ? 1 : length;
}

uint64_t searchNodes(const SearchThread& thread) { return thread.nodeCount + helperNodes(); }

int64_t searchElapsed(const SearchThread& thread) {
    return searchTime(thread, clockMs() - thread.state.startTime);
}

uint64_t searchTbHits(const SearchThread& thread) { return thread.tbHits + helperTbHits(); }

void startSearch(SearchThread& thread, const GoLimits& limits, const SearchHooks* hooks,
                 bool positionKnown) {
    // A helper of the last search that is still unwinding may stop this thread's search; none
    // runs once they are idle.
    waitForIdleHelpers();
    thread.hooks = hooks;
    resetForSearch(thread, limits);
    thread.state.positionKnown = positionKnown;
    thread.stopFlag = 0;
    if (positionKnown) {
        setUpPosition(thread.position);
        clearOrderingTables(thread.orderingTables);
        setTtAge((ttAge() + 1) & 255);
        rankRootByTables(thread);
        // A limited search runs alone: helpers would add strength it does not want, and their
        // nodes would spend its budget.
        const bool budget = thread.limits.nodesLimited && !thread.limits.holdBestMove;
        setNodeBudget(budget ? thread.limits.nodeLimit : NO_NODE_BUDGET);
        startHelpers(thread, thread.limits.strengthElo ? nullptr : helperSearch);
        iterate(thread);
        setNodeBudget(NO_NODE_BUDGET);
        stopHelpers();
        adoptHelperResult(thread);
        playLimitedChoice(thread);
    }
    // Its budget spent while the answer is withheld, a limited search waits for stop or ponderhit
    // as one that ended by itself does.
    if (thread.state.strengthStopped && thread.state.holdBestMove) thread.stopFlag = 0;
    const bool withheld = !thread.stopFlag && thread.state.holdBestMove;
    if (hooks) hooks->answer(thread, withheld);
}

void periodicCheck(SearchThread& thread) {
    if (isHelper(thread)) return helperCheck(thread);
    // One clock read a check: the interval, the time limit and the status line all derive from it.
    const int64_t now = clockMicros();
    adaptCheckInterval(thread, now);
    // Input at every check: stop, ponderhit, quit and isready are answered within about a
    // millisecond in every kind of search.
    if (thread.hooks) thread.hooks->pollInput(thread);
    const GoLimits& limits = thread.limits;
    if (thread.state.strengthNodes)
        checkStrengthBudget(thread);
    else if (limits.nodesLimited)
        checkNodeBudget(thread);
    // A helper has completed the last iteration asked for: its answer is as good (helpers search
    // one line, so not when several are asked for).
    if (limits.depthLimited && !thread.state.holdBestMove && threadCount() > 1 &&
        limits.multiPv == 1) {
        const int helperDepth = deepestHelperResult().depth;
        if (helperDepth > 0 && helperDepth >= limits.depthLimit) thread.stopFlag = 1;
    }
    // The real time since the start in milliseconds, as clockMs counts them; under nodestime the
    // search's time is its nodes. A search without a clock has no time limit to test.
    const int64_t elapsed = now / 1000 - thread.state.startTime;
    if (limits.timeLimited && clockStopsIteration(thread, searchTime(thread, elapsed)))
        thread.stopFlag = 1;
    if (thread.hooks && elapsed >= thread.state.nextStatus && !thread.stopFlag) {
        thread.state.nextStatus = int32_t(elapsed) + 1000;
        thread.hooks->status(thread);
    }
    meetBudgetCheck(thread);
}

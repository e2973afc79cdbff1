#include "search/root.h"

#include "board/attacks.h"
#include "board/makemove.h"
#include "search/node.h"
#include "search/picker.h"
#include "search/search.h"

namespace {

constexpr int ROOT_WINDOW = MATE;

inline void reportCurrentMove(SearchThread& thread, Move m) {
    if (thread.hooks) thread.hooks->currentMove(thread, m);
}

// The root node counts like any other; under a node budget it also counts towards the budget's
// next check, so that the budget is met to the node.
inline void countRootNode(SearchThread& thread) {
    thread.nodeCount.add(1);
    if (thread.limits.nodesLimited) tickPoll(thread);
}

// The child's depth after the root extensions: checks and the tactical ones, one ply at most.
template <Colour Us>
int childDepth(Position& pos, Move m, int depth, int& checks) {
    checks = givesCheck<Us>(pos, m);
    const int e = (checks ? 4 : 0) + tacticalExtension<Us>(pos, m);
    return e <= 4 ? depth - 4 + e : depth;
}

// Makes m, searches the reply with the given window and unmakes; the score is the mover's.
template <Colour Us>
int searchRootMove(SearchThread& thread, Move m, int depth, int checks, int alpha, int beta,
                   bool nonPv) {
    constexpr Colour Them = opposite(Us);
    UndoRecord undo;
    Move reply;
    makeMove<Us>(thread.position, undo, m);
    const int score = -alphaBeta<Them>(thread, depth, 1, checks, -beta, -alpha, nonPv, reply);
    unmakeMove<Us>(thread.position, undo, m);
    return score;
}

}  // namespace

template <Colour Us>
bool firstIterationRootSearch(SearchThread& thread, int depth, int count, Move* moves,
                              int32_t* scores) {
    countRootNode(thread);
    for (int i = 0; i < count; i++) {
        int checks;
        const int d = childDepth<Us>(thread.position, moves[i], depth, checks);
        const int score =
            searchRootMove<Us>(thread, moves[i], d, checks, -ROOT_WINDOW, ROOT_WINDOW, false);
        if (thread.stopFlag) return false;
        scores[i] = score;
    }
    sortByScore(count, moves, scores);
    return true;
}

template <Colour Us>
bool rootSearch(SearchThread& thread, int depth, int count, Move* moves, int32_t* scores,
                int lines) {
    countRootNode(thread);
    thread.state.bestScore = NO_SCORE;
    // The best exact scores of the iteration so far, descending. Until `lines` moves have one,
    // moves are searched with the open window; then a move must beat the last of them, and alpha
    // is that score.
    int32_t kept[MAX_MULTI_PV];
    int keptCount = 0;
    int alpha = -ROOT_WINDOW;
    for (int i = 0; i < count; i++) {
        const Move m = moves[i];
        thread.state.rootMoveIndex = i;
        int checks;
        const int d = childDepth<Us>(thread.position, m, depth, checks);
        int score;
        reportCurrentMove(thread, m);
        if (keptCount < lines) {
            score = searchRootMove<Us>(thread, m, d, checks, alpha, ROOT_WINDOW, false);
        } else {
            score = searchRootMove<Us>(thread, m, d, checks, alpha, alpha + 1, true);
            if (thread.stopFlag) return false;
            // The re-search window is (alpha, mate), not one bounded by the failing score.
            if (score > alpha) {
                if (lines == 1) {
                    thread.state.rootResearched = 1;
                    thread.state.easyMove = 0;
                }
                reportCurrentMove(thread, m);
                score = searchRootMove<Us>(thread, m, d, checks, alpha, ROOT_WINDOW, false);
            }
        }
        if (thread.stopFlag) return false;
        // With several lines the time rules still ask whether a later move beat the best one. A
        // null window at the best score is not searched here, so this counts the moves that do
        // beat it, not every one that would have failed high against it.
        if (lines > 1 && i > 0 && score > thread.state.bestScore) {
            thread.state.rootResearched = 1;
            thread.state.easyMove = 0;
        }

        // Only moves that got an exact score keep it for the next iteration's order.
        scores[i] = -ROOT_WINDOW;
        if (score > alpha) {
            scores[i] = score;
            int at = keptCount < lines ? keptCount++ : lines - 1;
            for (; at > 0 && kept[at - 1] < score; at--) kept[at] = kept[at - 1];
            kept[at] = score;
            if (keptCount == lines) alpha = kept[lines - 1];
        }
        if (score > thread.state.bestScore) {
            thread.state.bestScore = score;
            thread.state.bestMove = int32_t(m);
            thread.state.reportDepth = thread.state.iteration;
            thread.state.reportScore = score;
            if (thread.hooks) thread.hooks->newBestMove(thread, score);
            if (thread.state.bestScore <= thread.state.previousScore - 50) {
                thread.state.scoreDropped = 1;
                thread.state.easyMove = 0;
            } else {
                thread.state.scoreDropped = 0;
            }
        }
    }
    sortByScore(count, moves, scores);
    return true;
}

template bool firstIterationRootSearch<White>(SearchThread&, int, int, Move*, int32_t*);
template bool firstIterationRootSearch<Black>(SearchThread&, int, int, Move*, int32_t*);
template bool rootSearch<White>(SearchThread&, int, int, Move*, int32_t*, int);
template bool rootSearch<Black>(SearchThread&, int, int, Move*, int32_t*, int);

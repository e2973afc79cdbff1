#include "board/attacks.h"
#include "board/evasions.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/quietchecks.h"
#include "board/tables.h"
#include "eval/see.h"
#include "search/node.h"
#include "search/picker.h"
#include "search/search.h"

namespace {

// Under-promotions never pay here; a queen promotion or a capture of a cheaper piece is searched
// only when it does not lose material.
template <Colour Us>
bool isBadTactical(const Position& pos, Move m) {
    const int promotion = movePromotion(m);
    if (promotion && promotion != Queen) return true;
    const bool risky =
        promotion ? !isCapture(m) : PieceValue[moveCaptured(m)] < PieceValue[moveType(m)];
    return risky && see<Us>(pos, m) < 0;
}

// Capture order, with quiet evasions last.
void scoreAndSort(int n, Move* moves, int32_t* scores) {
    if (n < 2) return;
    for (int i = 0; i < n; i++)
        scores[i] = isTactical(moves[i]) ? captureOrderScore(moves[i]) : -24000;
    sortByScore(n, moves, scores);
}

}  // namespace

template <Colour Us>
int quiesce(SearchThread& thread, int depth, int ply, int inCheck, int alpha, int beta) {
    constexpr Colour Them = opposite(Us);
    Position& pos = thread.position;
    // A stopped search unwinds without counting more nodes; its scores are never used.
    if (thread.stopFlag) return 0;
    if (ply >= MAX_PLY) return evaluateFor<Us>(thread, alpha, beta);

    thread.nodeCount.add(1);
    noteSelectiveDepth(thread, ply);
    // These nodes count towards the next periodic check too: quiescence can be most of the tree,
    // and the time limit and a node budget must hold closely. What triggers the check changes no
    // node count.
    tickPoll(thread);
    int score;
    if (settledBeforeSearch<Us>(pos, ply, alpha, beta, score)) return score;

    int best = NO_SCORE;
    if (!inCheck) {
        best = evaluateFor<Us>(thread, alpha, beta);
        if (best > alpha) {
            if (best >= beta) return best;
            alpha = best;
        }
    }

    // Searches m; true when it fails high, with the score in best.
    auto search = [&](Move m) {
        const bool check = givesCheck<Us>(pos, m);
        UndoRecord undo;
        makeMove<Us>(pos, undo, m);
        prefetchEvalEntries(thread, m);
        const int s =
            -quiesce<Them>(thread, check ? depth : depth - 4, ply + 1, check, -beta, -alpha);
        unmakeMove<Us>(pos, undo, m);
        if (s > best) {
            if (s > alpha) {
                if (s >= beta) return best = s, true;
                alpha = s;
            }
            best = s;
        }
        return false;
    };

    Move moves[MAX_MOVES];
    int32_t scores[MAX_MOVES];
    if (inCheck) {
        const int n = generateEvasions<Us>(pos, moves);
        scoreAndSort(n, moves, scores);
        for (int i = 0; i < n; i++)
            if (search(moves[i])) return best;
    } else {
        const int n = generateTactical<Us>(pos, moves);
        scoreAndSort(n, moves, scores);
        for (int i = 0; i < n; i++) {
            const Move m = moves[i];
            if (isBadTactical<Us>(pos, m) || exposesKing<Us>(pos, m)) continue;
            if (search(m)) return best;
        }
        // Quiet checks only at the first level and after unbroken runs of checks.
        if (depth > -4) {
            const int checks = generateQuietChecks<Us>(pos, moves);
            for (int i = 0; i < checks; i++) {
                const Move m = moves[i];
                if (see<Us>(pos, m) < 0 || exposesKing<Us>(pos, m)) continue;
                if (search(m)) return best;
            }
        }
    }
    return best == NO_SCORE ? ply - MATE : best;
}

template int quiesce<White>(SearchThread&, int, int, int, int, int);
template int quiesce<Black>(SearchThread&, int, int, int, int, int);

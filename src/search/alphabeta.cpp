#include "board/attacks.h"
#include "board/makemove.h"
#include "board/tables.h"
#include "eval/see.h"
#include "search/node.h"
#include "search/picker.h"
#include "search/search.h"
#include "search/tablebase.h"
#include "search/tt.h"

namespace {

constexpr int PLY = 4;
constexpr int REDUCIBLE_RATIO = 9830;  // cut-off ratio below 60 percent
constexpr int TB_DEPTH_BONUS = 6 * PLY;

inline void countNode(SearchThread& thread, int ply) {
    thread.nodeCount.add(1);
    noteSelectiveDepth(thread, ply);
    tickPoll(thread);
}

template <Colour Us>
constexpr int relativeRank(int s) {
    return Us == White ? rankOf(s) : 7 - rankOf(s);
}

// Passes the move to the opponent in place. The en-passant key of a pending square stays in the
// piece key, so the position after a null move keys differently from the same one reached by
// moves while such a square is pending.
struct NullMove {
    int32_t epSquare, halfmoveClock, lastCaptureSquare;
    uint64_t pieceKey;
};

template <Colour Us>
inline NullMove makeNullMove(Position& pos) {
    const NullMove saved{pos.epSquare, pos.halfmoveClock, pos.lastCaptureSquare, pos.pieceKey};
    pos.sideToMove = opposite(Us);
    pos.epSquare = NO_SQUARE;
    pos.halfmoveClock = 0;
    pos.lastCaptureSquare = NO_SQUARE;
    pos.keyHistory[pos.gamePly++] = pos.hashKey();
    pos.pieceKey ^= SideKey;
    return saved;
}

template <Colour Us>
inline void unmakeNullMove(Position& pos, const NullMove& saved) {
    pos.gamePly--;
    pos.epSquare = saved.epSquare;
    pos.halfmoveClock = saved.halfmoveClock;
    pos.lastCaptureSquare = saved.lastCaptureSquare;
    pos.pieceKey = saved.pieceKey;
    pos.sideToMove = Us;
}

}  // namespace

template <Colour Us>
int alphaBeta(SearchThread& thread, int depth, int ply, int inCheck, int alpha, int beta,
              bool nonPv, Move& bestMove) {
    constexpr Colour Them = opposite(Us);
    Position& pos = thread.position;
    OrderingTables& tables = thread.orderingTables;
    bestMove = NO_MOVE;
    // A stopped search unwinds without counting or storing anything more.
    if (thread.stopFlag) return 0;
    if (ply >= MAX_PLY) return evaluateFor<Us>(thread, alpha, beta);

    if (depth < 1) return quiesce<Us>(thread, 0, ply, inCheck, alpha, beta);

    countNode(thread, ply);

    int score;
    if (settledBeforeSearch<Us>(pos, ply, alpha, beta, score)) return score;

    // Transposition table: its move always, its bounds only off the principal variation.
    const uint64_t key = pos.hashKey();
    Move ttMove = NO_MOVE;
    TtRecord entry;
    if (ttProbe(key, entry)) {
        ttMove = entry.move;
        if (nonPv) {
            int lower = 0, upper = 0;
            const bool deepLower = entry.lowerDepth >= depth;
            const bool deepUpper = entry.upperDepth >= depth;
            if (deepLower) {
                lower = scoreFromTt(entry.lower, ply);
                if (lower >= beta) return lower;
            }
            if (deepUpper) {
                upper = scoreFromTt(entry.upper, ply);
                if (upper <= alpha) return upper;
            }
            if (deepLower && deepUpper && lower == upper) return lower;
        }
    }
    // Right after a capture or pawn move with few pieces left, the endgame tables know the result.
    if (tablebaseRules.probePieces && pos.halfmoveClock == 0 &&
        depth >= tablebaseRules.probeDepth &&
        popCount(pos.occupancy()) <= tablebaseRules.probePieces) {
        score = probeWdl(pos, ply);
        if (score != NO_SCORE) {
            thread.tbHits.add(1);
            // A table win may still be a mate, so it is a lower bound, a loss an upper one; a
            // draw is exact. Stored deeper than searched: no search here can know better.
            const int stored = scoreToTt(score, ply);
            ttStore(key, NO_MOVE, depth + TB_DEPTH_BONUS, score < -TABLE_WIN_BOUND ? -MATE : stored,
                    score > TABLE_WIN_BOUND ? MATE : stored);
            return score;
        }
    }
    // The move whose child's window was last asked for.
    Move fetched = depth > PLY ? ttMove : NO_MOVE;
    if (fetched != NO_MOVE) ttPrefetch(likelyKeyAfter<Us>(pos, fetched));
    const int startAlpha = alpha;
    const ColourBlock& own = pos.block<Us>();
    Move childBest;

    // The null move's child probes the table only this deep; its window loads during the
    // evaluation.
    if (nonPv && depth > 4 * PLY) ttPrefetch(key ^ SideKey);
    if (nonPv) {
        // Null move: if passing still reaches beta, a real move will too, zugzwang aside.
        if (depth > PLY && !inCheck && beta >= -MATE_BOUND && beta <= MATE_BOUND &&
            own.pieceCount >= 1 &&
            (depth <= 4 * PLY || evaluateFor<Us>(thread, alpha, beta) >= beta)) {
            const NullMove saved = makeNullMove<Us>(pos);
            score = -alphaBeta<Them>(thread, depth - 4 * PLY, ply + 1, 0, -beta, -beta + 1, true,
                                     childBest);
            unmakeNullMove<Us>(pos, saved);
            // A stopped child's score is no bound: nothing of it may reach the table.
            if (thread.stopFlag) return 0;
            if (score >= beta) {
                if (depth <= 5 * PLY || own.pieceCount >= 2) {
                    if (score > MATE_BOUND) score = MATE_BOUND;
                    ttStore(key, NO_MOVE, depth, score, MATE);
                    return score;
                }
                // With a single piece zugzwang is likely: verify by searching real moves.
                Move verified;
                const int v =
                    verifySearch<Us>(thread, depth - 5 * PLY, ply, alpha, beta, ttMove, verified);
                if (thread.stopFlag) return 0;
                if (v >= beta) {
                    if (verified != NO_MOVE && !isTactical(verified)) {
                        countQuietTries(pos, tables, 1, &verified);
                        rewardQuietMove(pos, tables, verified, depth, ply);
                    }
                    ttStore(key, verified, depth, scoreToTt(v, ply), MATE);
                    return v;
                }
            }
        }
    } else if (depth >= 9 && ttMove == NO_MOVE) {
        // Internal iterative deepening finds a first move for a principal-variation node.
        score = alphaBeta<Us>(thread, depth - 2 * PLY, ply, inCheck, alpha, beta, false, childBest);
        if (score <= alpha)
            alphaBeta<Us>(thread, depth - 2 * PLY, ply, inCheck, -MATE, beta, false, childBest);
        ttMove = childBest;
    }

    MovePicker picker;
    const int singleReply =
        initMovePicker<Us>(isHelper(thread), pos, tables, picker, inCheck, ply, ttMove);

    Move searched[MAX_MOVES];
    int searchedCount = 0;
    int best = NO_SCORE;
    Move pvMove = NO_MOVE;
    int futility = NO_SCORE;
    while (const Move m = nextMove<Us>(isHelper(thread), pos, tables, picker)) {
        // Children below one ply go to quiescence, which has no table probe. A window takes
        // longer to arrive than the work before the child's probe, so the next sibling's is
        // asked for too, to arrive while this move is searched.
        if (depth > PLY) {
            if (m != fetched) ttPrefetch(likelyKeyAfter<Us>(pos, m));
            fetched = upcomingMove(picker);
            if (fetched != NO_MOVE) ttPrefetch(likelyKeyAfter<Us>(pos, fetched));
        }
        const bool check = givesCheck<Us>(pos, m);
        int ext = check ? PLY : 0;
        const int to = moveTo(m);

        if (nonPv && !check && !inCheck) {
            // Futility: a quiet move near the leaves that cannot lift the score to alpha.
            if (depth <= 2 * PLY && !isTactical(m) &&
                !(isPawnMove(m) && relativeRank<Us>(to) >= 6)) {
                if (futility == NO_SCORE)
                    futility = evaluateFor<Us>(thread, alpha, beta) + (depth > PLY ? 300 : 100);
                if (futility <= alpha) {
                    if (futility > best) best = futility;
                    continue;
                }
            }
            // A piece move that loses material is dropped when a shallow search agrees.
            if (searchedCount >= 1 && depth > PLY && !isCapture(m) && !isPawnMove(m) &&
                see<Us>(pos, m) < 0) {
                UndoRecord undo;
                makeMove<Us>(pos, undo, m);
                score = -alphaBeta<Them>(thread, depth - 3 * PLY, ply + 1, 0, -alpha - 1, -alpha,
                                         true, childBest);
                unmakeMove<Us>(pos, undo, m);
                if (score <= alpha) continue;
            }
        }

        if (!nonPv) ext += tacticalExtension<Us>(pos, m);

        // Late-move reduction of quiet moves that seldom refute.
        bool reduced = false;
        if (nonPv && depth > 2 * PLY && ext == 0 && cutoffRatioBelow(picker, REDUCIBLE_RATIO) &&
            searchedCount >= 3 && !inCheck) {
            ext = -PLY;
            reduced = true;
        }

        UndoRecord undo;
        makeMove<Us>(pos, undo, m);
        prefetchEvalEntries(thread, m);
        if (best == NO_SCORE && singleReply) ext += PLY;
        const int childDepth = ext > PLY ? depth : depth + ext - PLY;

        if (best == NO_SCORE || nonPv) {
            score = -alphaBeta<Them>(thread, childDepth, ply + 1, check, -beta, -alpha, nonPv,
                                     childBest);
        } else {
            score = -alphaBeta<Them>(thread, childDepth, ply + 1, check, -alpha - 1, -alpha, true,
                                     childBest);
            if (score > alpha)
                score = -alphaBeta<Them>(thread, childDepth, ply + 1, check, -beta, -alpha, false,
                                         childBest);
        }
        if (reduced && score >= beta)
            score = -alphaBeta<Them>(thread, depth - PLY, ply + 1, check, -beta, -alpha, nonPv,
                                     childBest);
        unmakeMove<Us>(pos, undo, m);
        if (thread.stopFlag) return 0;

        searched[searchedCount++] = m;
        if (score > best) {
            bestMove = m;
            if (score > alpha) {
                if (score >= beta) {
                    if (!isTactical(m)) {
                        countQuietTries(pos, tables, searchedCount, searched);
                        rewardQuietMove(pos, tables, m, depth, ply);
                    }
                    ttStore(key, m, depth, scoreToTt(score, ply), MATE);
                    return score;
                }
                alpha = score;
                pvMove = m;
            }
            best = score;
        }
    }

    // The last move may have been dropped by a shallow search that the stop cut short.
    if (thread.stopFlag) return 0;
    if (best == NO_SCORE) return inCheck ? ply - MATE : 0;
    if (pvMove != NO_MOVE && !isTactical(pvMove)) rewardQuietMove(pos, tables, pvMove, depth, ply);
    const int stored = scoreToTt(best, ply);
    if (best > startAlpha)
        ttStore(key, pvMove, depth, stored, stored);
    else
        ttStore(key, NO_MOVE, depth, -MATE, stored);
    return best;
}

template <Colour Us>
int verifySearch(SearchThread& thread, int depth, int ply, int alpha, int beta, Move ttMove,
                 Move& bestMove) {
    constexpr Colour Them = opposite(Us);
    Position& pos = thread.position;
    countNode(thread, ply);
    bestMove = NO_MOVE;

    MovePicker picker;
    initMovePicker<Us>(isHelper(thread), pos, thread.orderingTables, picker, false, ply, ttMove);
    Move m = nextMove<Us>(isHelper(thread), pos, thread.orderingTables, picker);
    if (m == NO_MOVE) return 0;

    int best = NO_SCORE;
    Move childBest;
    do {
        const bool check = givesCheck<Us>(pos, m);
        UndoRecord undo;
        makeMove<Us>(pos, undo, m);
        const int score = -alphaBeta<Them>(thread, check ? depth : depth - PLY, ply + 1, check,
                                           -beta, -alpha, true, childBest);
        unmakeMove<Us>(pos, undo, m);
        if (score > best) {
            if (score > alpha) {
                bestMove = m;
                if (score >= beta) return score;
                alpha = score;
            }
            best = score;
        }
    } while ((m = nextMove<Us>(isHelper(thread), pos, thread.orderingTables, picker)));
    return best;
}

template int alphaBeta<White>(SearchThread&, int, int, int, int, int, bool, Move&);
template int alphaBeta<Black>(SearchThread&, int, int, int, int, int, bool, Move&);
template int verifySearch<White>(SearchThread&, int, int, int, int, Move, Move&);
template int verifySearch<Black>(SearchThread&, int, int, int, int, Move, Move&);

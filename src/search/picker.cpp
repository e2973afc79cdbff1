#include "search/picker.h"

#include <cstring>

#include "board/attacks.h"
#include "board/evasions.h"
#include "board/movegen.h"
#include "board/tables.h"
#include "board/validity.h"
#include "eval/see.h"

namespace {

enum Stage {
    TT_MOVE,
    GENERATE_CAPTURES,
    GOOD_CAPTURES,
    KILLER_1,
    KILLER_2,
    GENERATE_QUIETS,
    QUIETS,
    LOSING_CAPTURES,
    EVASIONS
};

constexpr int HISTORY_LIMIT = 16383;
constexpr int COUNTER_LIMIT = 16383;

// The entry of a by-piece-and-target table for a move, read before the move is made.
template <typename Table>
inline auto& statOf(Table& table, const Position& pos, Move m) {
    return table[PieceIndex12[pos.board[moveFrom(m)]]][moveTo(m)];
}

template <Colour Us>
inline bool legal(Position& pos, Move m) {
    return !exposesKing<Us>(pos, m);
}

inline int quietScore(const OrderingTables& tables, const Position& pos, Move m) {
    return statOf(tables.history, pos, m) - 24000;
}

}  // namespace

void clearOrderingTables(OrderingTables& tables) {
    std::memset(tables.killer1, 0, sizeof tables.killer1);
    std::memset(tables.killer2, 0, sizeof tables.killer2);
    std::memset(tables.history, 0, sizeof tables.history);
    // Counters start at 1 so that the cut-off ratio never divides by zero.
    for (int p = 0; p < 12; p++)
        for (int s = 0; s < 64; s++) tables.triedCount[p][s] = tables.cutoffCount[p][s] = 1;
}

void sortByScore(int count, Move* moves, int32_t* scores) {
    scores[count] = NO_SCORE;
    for (int i = count - 2; i >= 0; i--) {
        const Move m = moves[i];
        const int32_t s = scores[i];
        int j = i;
        while (scores[j + 1] > s) {
            moves[j] = moves[j + 1];
            scores[j] = scores[j + 1];
            j++;
        }
        moves[j] = m;
        scores[j] = s;
    }
}

void presortByFromTo(int count, Move* moves, int32_t* scratch) {
    for (int i = 0; i < count; i++) scratch[i] = fromTo(moves[i]);
    sortByScore(count, moves, scratch);
}

int captureOrderScore(Move m) {
    // Victim's type index times six less the mover's, plus 5; a type's index is its number less
    // one, so for a generated move this is plain arithmetic on the fields.
    if (isCapture(m)) return 6 * typeOf(moveCaptured(m)) - moveType(m);
    return movePromotion(m) - 6;
}

bool isGoodCapture(const Position& pos, Move m) {
    const int p = movePromotion(m);
    if (p && p != Queen) return false;
    if (p == Queen && isCapture(m)) return true;
    if (isCapture(m) && PieceValue[moveCaptured(m)] >= PieceValue[moveType(m)]) return true;
    return see(pos, m) >= 0;
}

template <Colour Us>
int initMovePicker(bool helper, Position& pos, const OrderingTables& tables, MovePicker& picker,
                   bool inCheck, int ply, Move ttMove) {
    picker.ttMove = ttMove;
    picker.killer1 = tables.killer1[ply];
    picker.killer2 = tables.killer2[ply];
    picker.next = 0;
    picker.deferredCount = 0;
    if (!inCheck) {
        picker.stage = TT_MOVE;
        picker.count = 0;
        return 0;
    }
    picker.stage = EVASIONS;
    const int n = picker.count = generateEvasions<Us>(pos, picker.moves);
    if (n < 2) return 1;
    if (helper) presortByFromTo(n, picker.moves, picker.scores);
    for (int i = 0; i < n; i++) {
        const Move m = picker.moves[i];
        int score;
        if (m == ttMove)
            score = 32766;
        else if (isTactical(m))
            score = captureOrderScore(m) + (isGoodCapture(pos, m) ? 4000 : -28000);
        else if (m == picker.killer1)
            score = 4;
        else if (m == picker.killer2)
            score = 3;
        else
            score = quietScore(tables, pos, m);
        picker.scores[i] = score;
    }
    sortByScore(n, picker.moves, picker.scores);
    return 0;
}

template <Colour Us>
Move nextMove(bool helper, Position& pos, const OrderingTables& tables, MovePicker& picker) {
    picker.cutoffs = picker.tries = 1;
    switch (picker.stage) {
        case TT_MOVE:
            picker.stage = GENERATE_CAPTURES;
            if (picker.ttMove && isGenerated<Us>(pos, picker.ttMove) &&
                legal<Us>(pos, picker.ttMove))
                return picker.ttMove;
            [[fallthrough]];
        case GENERATE_CAPTURES: {
            picker.stage = GOOD_CAPTURES;
            const int n = picker.count = generateTactical<Us>(pos, picker.moves);
            picker.next = 0;
            picker.deferredCount = 0;
            if (n >= 2) {
                if (helper) presortByFromTo(n, picker.moves, picker.scores);
                for (int i = 0; i < n; i++) picker.scores[i] = captureOrderScore(picker.moves[i]);
                sortByScore(n, picker.moves, picker.scores);
            }
        }
            [[fallthrough]];
        case GOOD_CAPTURES:
            while (picker.next < picker.count) {
                const Move m = picker.moves[picker.next++];
                if (m == picker.ttMove) continue;
                if (!isGoodCapture(pos, m)) {
                    picker.deferred[picker.deferredCount++] = m;
                    continue;
                }
                if (legal<Us>(pos, m)) return m;
            }
            picker.stage = KILLER_1;
            [[fallthrough]];
        case KILLER_1:
            picker.stage = KILLER_2;
            if (picker.killer1 != picker.ttMove && isPseudoLegal<Us>(pos, picker.killer1) &&
                legal<Us>(pos, picker.killer1))
                return picker.killer1;
            [[fallthrough]];
        case KILLER_2:
            picker.stage = GENERATE_QUIETS;
            if (picker.killer2 != picker.ttMove && isPseudoLegal<Us>(pos, picker.killer2) &&
                legal<Us>(pos, picker.killer2))
                return picker.killer2;
            [[fallthrough]];
        case GENERATE_QUIETS: {
            picker.stage = QUIETS;
            const int n = picker.count = generateQuiet<Us>(pos, picker.moves);
            picker.next = 0;
            if (n >= 2) {
                if (helper) presortByFromTo(n, picker.moves, picker.scores);
                for (int i = 0; i < n; i++)
                    picker.scores[i] = quietScore(tables, pos, picker.moves[i]);
                sortByScore(n, picker.moves, picker.scores);
            }
        }
            [[fallthrough]];
        case QUIETS:
            while (picker.next < picker.count) {
                const Move m = picker.moves[picker.next++];
                if (m == picker.ttMove || m == picker.killer1 || m == picker.killer2) continue;
                if (legal<Us>(pos, m)) {
                    picker.cutoffs = statOf(tables.cutoffCount, pos, m);
                    picker.tries = statOf(tables.triedCount, pos, m);
                    return m;
                }
            }
            picker.stage = LOSING_CAPTURES;
            picker.next = 0;
            [[fallthrough]];
        case LOSING_CAPTURES:
            while (picker.next < picker.deferredCount) {
                const Move m = picker.deferred[picker.next++];
                if (legal<Us>(pos, m)) return m;
            }
            return NO_MOVE;
        case EVASIONS:
            if (picker.next < picker.count) return picker.moves[picker.next++];
            return NO_MOVE;
    }
    return NO_MOVE;
}

Move upcomingMove(const MovePicker& picker) {
    switch (picker.stage) {
        case GOOD_CAPTURES:
            return picker.next < picker.count ? picker.moves[picker.next] : picker.killer1;
        case KILLER_2:
            return picker.killer2;
        case QUIETS:
            if (picker.next < picker.count) return picker.moves[picker.next];
            return picker.deferredCount > 0 ? picker.deferred[0] : NO_MOVE;
        case LOSING_CAPTURES:
            return picker.next < picker.deferredCount ? picker.deferred[picker.next] : NO_MOVE;
        case EVASIONS:
            return picker.next < picker.count ? picker.moves[picker.next] : NO_MOVE;
        default:
            return NO_MOVE;
    }
}

void rewardQuietMove(const Position& pos, OrderingTables& tables, Move m, int depth, int ply) {
    if (int32_t(m) != tables.killer1[ply]) {
        tables.killer2[ply] = tables.killer1[ply];
        tables.killer1[ply] = int32_t(m);
    }
    int32_t& history = statOf(tables.history, pos, m);
    history += (depth * depth) >> 4;
    if (history > HISTORY_LIMIT)
        for (auto& row : tables.history)
            for (int32_t& v : row) v = (v + 1) / 2;
}

void countQuietTries(const Position& pos, OrderingTables& tables, int searchedCount,
                     const Move* searched) {
    for (int i = 0; i < searchedCount - 1; i++) {
        if (isTactical(searched[i])) continue;
        int32_t& tried = statOf(tables.triedCount, pos, searched[i]);
        int32_t& cutoffs = statOf(tables.cutoffCount, pos, searched[i]);
        const int t = tried;
        tried = t + 1;
        if (t >= COUNTER_LIMIT) {
            cutoffs = (cutoffs + 1) / 2;
            tried = (t + 2) / 2;
        }
    }
    const Move cut = searched[searchedCount - 1];
    int32_t& tried = statOf(tables.triedCount, pos, cut);
    int32_t& cutoffs = statOf(tables.cutoffCount, pos, cut);
    const int t = tried, c = cutoffs;
    tried = t + 1;
    cutoffs = c + 1;
    if (t >= COUNTER_LIMIT) {
        cutoffs = (c + 2) / 2;
        tried = (t + 2) / 2;
    }
}

template int initMovePicker<White>(bool, Position&, const OrderingTables&, MovePicker&, bool, int,
                                   Move);
template int initMovePicker<Black>(bool, Position&, const OrderingTables&, MovePicker&, bool, int,
                                   Move);
template Move nextMove<White>(bool, Position&, const OrderingTables&, MovePicker&);
template Move nextMove<Black>(bool, Position&, const OrderingTables&, MovePicker&);

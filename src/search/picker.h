// Move ordering statistics and the staged move picker.
#pragma once

#include "board/move.h"
#include "board/position.h"

// Per-thread killers, history and try/cutoff counters, reset at the start of every search.
struct OrderingTables {
    int32_t killer1[256];
    int32_t killer2[256];
    int32_t history[12][64];
    int32_t triedCount[12][64];
    int32_t cutoffCount[12][64];
};

// Hands out one node's moves stage by stage. The lists live in the picker, so in the node's frame.
struct MovePicker {
    int stage;
    int count;
    int next;
    int deferredCount;
    // The cut-off and try counters of the move last handed out; 1 and 1 for all but quiet moves.
    int32_t cutoffs;
    int32_t tries;
    Move ttMove;
    Move killer1;
    Move killer2;
    Move moves[MAX_MOVES];
    int32_t scores[MAX_MOVES];  // one slot past the last move holds the sort sentinel
    Move deferred[MAX_MOVES];
};

constexpr int FULL_RATIO = 16384;

void clearOrderingTables(OrderingTables& tables);

// Returns 1 when the side to move is in check and has fewer than two evasions.
template <Colour Us>
int initMovePicker(bool helper, Position& pos, const OrderingTables& tables, MovePicker& picker,
                   bool inCheck, int ply, Move ttMove);
// The next move to search, 0 when none is left.
template <Colour Us>
Move nextMove(bool helper, Position& pos, const OrderingTables& tables, MovePicker& picker);

// Whether the cut-off ratio (cutoffs * FULL_RATIO / tries) of the move last handed out is below
// `limit`, answered without the division.
inline bool cutoffRatioBelow(const MovePicker& picker, int limit) {
    return int64_t(picker.cutoffs) * FULL_RATIO < int64_t(limit) * picker.tries;
}

// The move the picker will most likely hand out next, or 0 where it cannot tell without work
// (lists not yet generated); the picker is left as it is. For fetching ahead only: the move may
// still be skipped when its turn comes.
Move upcomingMove(const MovePicker& picker);

inline int initMovePicker(bool helper, Position& pos, const OrderingTables& tables,
                          MovePicker& picker, bool inCheck, int ply, Move ttMove) {
    return pos.sideToMove == White
               ? initMovePicker<White>(helper, pos, tables, picker, inCheck, ply, ttMove)
               : initMovePicker<Black>(helper, pos, tables, picker, inCheck, ply, ttMove);
}
inline Move nextMove(bool helper, Position& pos, const OrderingTables& tables, MovePicker& picker) {
    return pos.sideToMove == White ? nextMove<White>(helper, pos, tables, picker)
                                   : nextMove<Black>(helper, pos, tables, picker);
}

// Stable insertion sort by descending score; writes NO_SCORE at scores[count] as the sentinel.
void sortByScore(int count, Move* moves, int32_t* scores);
// Orders by descending from/to key, so that helpers break score ties unlike the main thread.
void presortByFromTo(int count, Move* moves, int32_t* scratch);

int captureOrderScore(Move m);
bool isGoodCapture(const Position& pos, Move m);

void rewardQuietMove(const Position& pos, OrderingTables& tables, Move m, int depth, int ply);
// `searched` lists the node's moves in search order; the last one caused the cut-off.
void countQuietTries(const Position& pos, OrderingTables& tables, int searchedCount,
                     const Move* searched);

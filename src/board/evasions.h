// Check evasions: king steps, captures of the checker, interpositions. Legal but for the rare
// en-passant capture that uncovers a line to the king.
#pragma once

#include "board/move.h"
#include "board/position.h"

template <Colour Us>
int generateEvasions(const Position& pos, Move* moves);

inline int generateEvasions(const Position& pos, Move* moves) {
    return pos.sideToMove == White ? generateEvasions<White>(pos, moves)
                                   : generateEvasions<Black>(pos, moves);
}

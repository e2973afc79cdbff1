// Quiet moves that give check, directly or by discovery, found without making them (castling
// aside). Pseudo-legal: a move that exposes the mover's own king is not filtered.
#pragma once

#include "board/move.h"
#include "board/position.h"

template <Colour Us>
int generateQuietChecks(Position& pos, Move* moves);

inline int generateQuietChecks(Position& pos, Move* moves) {
    return pos.sideToMove == White ? generateQuietChecks<White>(pos, moves)
                                   : generateQuietChecks<Black>(pos, moves);
}

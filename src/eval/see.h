// Static exchange evaluation: the material outcome of a move on its to-square when both sides
// keep recapturing with their least valuable piece. Exact in sign near 0 only.
#pragma once

#include "board/move.h"
#include "board/position.h"

// From the mover's (Us) point of view. The move is not made and need not be legal.
template <Colour Us>
int see(const Position& pos, Move m);

inline int see(const Position& pos, Move m) {
    return pos.sideToMove == White ? see<White>(pos, m) : see<Black>(pos, m);
}

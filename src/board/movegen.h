// Pseudo-legal move generation: all moves, tactical moves (captures and promotions) and quiet
// moves, each written in a fixed order into the caller's array; each returns the count.
#pragma once

#include "board/move.h"
#include "board/position.h"

template <Colour Us>
int generateAll(const Position& pos, Move* moves);
template <Colour Us>
int generateTactical(const Position& pos, Move* moves);
template <Colour Us>
int generateQuiet(const Position& pos, Move* moves);

inline int generateAll(const Position& pos, Move* moves) {
    return pos.sideToMove == White ? generateAll<White>(pos, moves)
                                   : generateAll<Black>(pos, moves);
}
inline int generateTactical(const Position& pos, Move* moves) {
    return pos.sideToMove == White ? generateTactical<White>(pos, moves)
                                   : generateTactical<Black>(pos, moves);
}
inline int generateQuiet(const Position& pos, Move* moves) {
    return pos.sideToMove == White ? generateQuiet<White>(pos, moves)
                                   : generateQuiet<Black>(pos, moves);
}

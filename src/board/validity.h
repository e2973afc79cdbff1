// Tests for move words that come from outside the position's own generators (killers, the
// transposition table, the principal variation).
#pragma once

#include "board/move.h"
#include "board/position.h"

template <Colour Us>
bool isPseudoLegal(const Position& pos, Move m);
template <Colour Us>
bool isGenerated(const Position& pos, Move m);

inline bool isPseudoLegal(const Position& pos, Move m) {
    return pos.sideToMove == White ? isPseudoLegal<White>(pos, m) : isPseudoLegal<Black>(pos, m);
}
inline bool isGenerated(const Position& pos, Move m) {
    return pos.sideToMove == White ? isGenerated<White>(pos, m) : isGenerated<Black>(pos, m);
}

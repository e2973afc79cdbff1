// Attack, check and legality tests.
#pragma once

#include "board/move.h"
#include "board/position.h"

// Attacker colour first: isAttackedBy<Black>(pos, s) asks whether Black attacks s.
template <Colour By>
bool isAttackedBy(const Position& pos, int s);
// The same with the sliders' view taken from occ instead of the board.
template <Colour By>
bool isAttackedBy(const Position& pos, int s, Bitboard occ);
template <Colour By>
Bitboard attackersOf(const Position& pos, int s);
// Whether the piece of colour Own on s is pinned to its own king.
template <Colour Own>
bool isPinned(const Position& pos, int s);
// Mover colour first. Both may make and unmake special moves, hence the non-const position.
template <Colour Us>
bool givesCheck(Position& pos, Move m);
template <Colour Us>
bool exposesKing(Position& pos, Move m);

inline bool inCheck(const Position& pos) {
    return pos.sideToMove == White ? isAttackedBy<Black>(pos, pos.side[0].kingSquare)
                                   : isAttackedBy<White>(pos, pos.side[1].kingSquare);
}
inline bool givesCheck(Position& pos, Move m) {
    return pos.sideToMove == White ? givesCheck<White>(pos, m) : givesCheck<Black>(pos, m);
}
inline bool exposesKing(Position& pos, Move m) {
    return pos.sideToMove == White ? exposesKing<White>(pos, m) : exposesKing<Black>(pos, m);
}

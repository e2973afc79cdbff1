// Colour flip of a position for symmetry tests: the board mirrored rank for rank, the colours,
// the side to move and the castling counters exchanged.
#pragma once

#include "board/move.h"
#include "board/position.h"

namespace eval_test {

inline int flipCode(int code) { return code ? (code ^ (White | Black)) : 0; }

inline Position flipped(const Position& pos) {
    Position f = pos;
    for (int s = 0; s < 64; s++) {
        f.board[s ^ 56] = flipCode(pos.board[s]);
        f.moved[s ^ 56] = pos.moved[s];
    }
    f.sideToMove = opposite(Colour(pos.sideToMove));
    f.epSquare = pos.epSquare == NO_SQUARE ? NO_SQUARE : pos.epSquare ^ 56;
    f.lastCaptureSquare =
        pos.lastCaptureSquare == NO_SQUARE ? NO_SQUARE : pos.lastCaptureSquare ^ 56;
    f.gamePly = 0;
    setUpPosition(f);
    return f;
}

inline Move flippedMove(Move m) {
    return makeMoveWord(moveFrom(m) ^ 56, moveTo(m) ^ 56, moveType(m), flipCode(moveCaptured(m)),
                        movePromotion(m), moveSpecial(m));
}

}  // namespace eval_test

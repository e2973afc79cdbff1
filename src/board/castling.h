// The castling conditions shared by the generators: counters, empty squares, unattacked squares.
#pragma once

#include "board/attacks.h"

template <Colour Us>
inline bool canCastleKingSide(const Position& pos) {
    constexpr Colour Them = opposite(Us);
    constexpr int R1 = Us == White ? 0 : 56;
    return pos.moved[R1 + 4] == 0 && pos.moved[R1 + 7] == 0 && !pos.board[R1 + 5] &&
           !pos.board[R1 + 6] && !isAttackedBy<Them>(pos, R1 + 4) &&
           !isAttackedBy<Them>(pos, R1 + 5) && !isAttackedBy<Them>(pos, R1 + 6);
}

template <Colour Us>
inline bool canCastleQueenSide(const Position& pos) {
    constexpr Colour Them = opposite(Us);
    constexpr int R1 = Us == White ? 0 : 56;
    return pos.moved[R1 + 4] == 0 && pos.moved[R1] == 0 && !pos.board[R1 + 1] &&
           !pos.board[R1 + 2] && !pos.board[R1 + 3] && !isAttackedBy<Them>(pos, R1 + 4) &&
           !isAttackedBy<Them>(pos, R1 + 3) && !isAttackedBy<Them>(pos, R1 + 2);
}

template <Colour Us>
constexpr Move KingSideCastle = Us == White ? WHITE_KING_CASTLE : BLACK_KING_CASTLE;
template <Colour Us>
constexpr Move QueenSideCastle = Us == White ? WHITE_QUEEN_CASTLE : BLACK_QUEEN_CASTLE;

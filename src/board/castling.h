// The castling conditions shared by the generators: counters, empty squares, unattacked squares.
#pragma once

#include "board/attacks.h"
#include "board/move.h"
#include "board/tables.h"

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

// Chess960 castling on a wing: king and rook unmoved, every square either passes over or lands
// on empty but for the two of them, and no square of the king's way attacked. The attack test
// lifts king and rook off the board, so that a rook shielding its king from an enemy slider on
// the first rank does not hide the check it would walk into.
template <Colour Us>
inline bool canCastle960(const Position& pos, int wing) {
    constexpr Colour Them = opposite(Us);
    if (!castlingRight(pos, colourIndex(Us), wing)) return false;
    const int king = pos.castlingKing[colourIndex(Us)];
    const int rook = pos.castlingRook[colourIndex(Us)][wing];
    const int kingTo = castledKingSquare<Us>(wing), rookTo = castledRookSquare<Us>(wing);
    const Bitboard pieces = bit(king) | bit(rook);
    const Bitboard kingWay = Between[king][kingTo] | bit(kingTo) | bit(king);
    const Bitboard rookWay = Between[rook][rookTo] | bit(rookTo);
    const Bitboard occ = pos.occupancy() & ~pieces;
    if ((kingWay | rookWay) & occ) return false;
    for (Bitboard way = kingWay; way;)
        if (isAttackedBy<Them>(pos, popLsb(way), occ)) return false;
    return true;
}

template <Colour Us>
constexpr Move castlingMove960(const Position& pos, int wing) {
    return makeMoveWord(pos.castlingKing[colourIndex(Us)], castledKingSquare<Us>(wing), King, 0, 0,
                        1);
}

// Basic board vocabulary: squares, colours, piece codes, bitboards and bit helpers.
#pragma once

#include <bit>
#include <cassert>
#include <cstdint>
#include <initializer_list>

using Bitboard = uint64_t;

enum Colour : int { White = 8, Black = 16 };
constexpr Colour opposite(Colour c) { return Colour(c ^ (White | Black)); }
// 0 for White, 1 for Black: the index of a colour's block and of colour-split tables.
constexpr int colourIndex(int c) { return c >> 4; }
constexpr int relativeSquare(Colour c, int s) { return c == White ? s : s ^ 56; }

// Piece types; a piece code is colour + type.
constexpr int NoType = 0, Pawn = 1, Knight = 2, Bishop = 3, Rook = 4, Queen = 5, King = 6;

constexpr int NO_SQUARE = 64;

constexpr int pieceCode(Colour c, int type) { return c + type; }
constexpr int typeOf(int code) { return code & 7; }
constexpr int colourOf(int code) { return code & 24; }

constexpr int fileOf(int s) { return s & 7; }
constexpr int rankOf(int s) { return s >> 3; }

// Scores
constexpr int MATE = 30000;
constexpr int MATE_BOUND = 30000 - 256;
constexpr int NO_SCORE = -32767;

inline int lsb(Bitboard b) {
    assert(b);
    return std::countr_zero(b);
}
inline int msb(Bitboard b) {
    assert(b);
    return 63 - std::countl_zero(b);
}
inline int popLsb(Bitboard& b) {
    int s = lsb(b);
    b &= b - 1;
    return s;
}
inline int popCount(Bitboard b) { return std::popcount(b); }
inline bool moreThanOne(Bitboard b) { return b & (b - 1); }
constexpr Bitboard bit(int s) { return Bitboard(1) << s; }

constexpr Bitboard FILE_A = 0x0101010101010101ULL;
constexpr Bitboard FILE_H = FILE_A << 7;
constexpr Bitboard RANK_1 = 0xffULL;
constexpr Bitboard RANK_2 = RANK_1 << 8;
constexpr Bitboard RANK_3 = RANK_1 << 16;
constexpr Bitboard RANK_4 = RANK_1 << 24;
constexpr Bitboard RANK_5 = RANK_1 << 32;
constexpr Bitboard RANK_6 = RANK_1 << 40;
constexpr Bitboard RANK_7 = RANK_1 << 48;
constexpr Bitboard RANK_8 = RANK_1 << 56;

// Shift a set one step towards the opponent of Us (north for White).
template <Colour Us>
constexpr Bitboard shiftUp(Bitboard b) {
    return Us == White ? b << 8 : b >> 8;
}

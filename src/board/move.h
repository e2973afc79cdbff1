// The 32-bit move word and the fixed move list generators write into.
#pragma once

#include "board/types.h"

// bits 0-5 to, 6-11 from, 12-14 mover type, 15-19 captured code, 20-22 promotion type,
// 23 special (en passant or castling). 0 is no move.
using Move = uint32_t;

constexpr Move NO_MOVE = 0;

constexpr Move makeMoveWord(int from, int to, int type, int captured = 0, int promotion = 0,
                            int flag = 0) {
    return Move(to + from * 64 + type * 4096 + captured * 32768 + promotion * 1048576 +
                flag * 8388608);
}
constexpr int moveTo(Move m) { return m & 63; }
constexpr int moveFrom(Move m) { return (m >> 6) & 63; }
constexpr int moveType(Move m) { return (m >> 12) & 7; }
constexpr int moveCaptured(Move m) { return (m >> 15) & 31; }
constexpr int movePromotion(Move m) { return (m >> 20) & 7; }
constexpr bool moveSpecial(Move m) { return (m >> 23) & 1; }

constexpr bool isCapture(Move m) { return m & 0xf8000; }
constexpr bool isTactical(Move m) { return m & 0x7f8000; }
constexpr bool needsFullMake(Move m) { return m & 0xf00000; }
constexpr bool isPawnMove(Move m) { return (m & 0x7000) == 0x1000; }
constexpr bool isKingMove(Move m) { return (m & 0x7000) == 0x6000; }
constexpr int fromTo(Move m) { return m & 4095; }

constexpr Move WHITE_KING_CASTLE = 0x806106;
constexpr Move WHITE_QUEEN_CASTLE = 0x806102;
constexpr Move BLACK_KING_CASTLE = 0x806f3e;
constexpr Move BLACK_QUEEN_CASTLE = 0x806f3a;

// Move lists are arrays of MAX_MOVES words filled by the generators. One slot stays free for the
// sort sentinel of a parallel score list, so at most 255 moves are kept; moves beyond that (only
// in artificial set-ups) are dropped rather than overrunning.
constexpr int MAX_MOVES = 256;

inline void pushMove(Move* list, int& n, Move m) {
    if (n < MAX_MOVES - 1) list[n++] = m;
}

// A promotion is written as four words, queen first, then knight, rook, bishop.
inline void pushPromotions(Move* list, int& n, int from, int to, int captured) {
    for (int p : {Queen, Knight, Rook, Bishop})
        pushMove(list, n, makeMoveWord(from, to, Pawn, captured, p));
}

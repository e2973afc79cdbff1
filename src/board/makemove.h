// Making and unmaking moves, incrementally on board, bitboards, counts and keys.
#pragma once

#include "board/move.h"
#include "board/position.h"

struct UndoRecord {
    int32_t epSquare;
    int32_t halfmoveClock;
    int32_t lastCaptureSquare;
    uint64_t pawnKey;
    uint64_t pieceKey;
    uint64_t materialKey;
};

template <Colour Us>
void makeMove(Position& pos, UndoRecord& undo, Move m);
template <Colour Us>
void unmakeMove(Position& pos, const UndoRecord& undo, Move m);

// The key after m for the common case, without making it: exact but for en-passant captures,
// castling and a double step that opens an en-passant capture. Good enough to fetch ahead by.
template <Colour Us>
inline uint64_t likelyKeyAfter(const Position& pos, Move m) {
    const int code = Us + moveType(m), to = moveTo(m), p = movePromotion(m);
    // Unused piece codes hold zero keys, so a quiet move's captured field adds nothing.
    return pos.hashKey() ^ SideKey ^ PieceSquareKeys[code][moveFrom(m)] ^
           PieceSquareKeys[p ? Us + p : code][to] ^ PieceSquareKeys[moveCaptured(m)][to];
}

inline void makeMove(Position& pos, UndoRecord& undo, Move m) {
    pos.sideToMove == White ? makeMove<White>(pos, undo, m) : makeMove<Black>(pos, undo, m);
}
inline void unmakeMove(Position& pos, const UndoRecord& undo, Move m) {
    // After make the side to move is the opponent of the mover.
    pos.sideToMove == Black ? unmakeMove<White>(pos, undo, m) : unmakeMove<Black>(pos, undo, m);
}

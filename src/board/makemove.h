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

inline void makeMove(Position& pos, UndoRecord& undo, Move m) {
    pos.sideToMove == White ? makeMove<White>(pos, undo, m) : makeMove<Black>(pos, undo, m);
}
inline void unmakeMove(Position& pos, const UndoRecord& undo, Move m) {
    // After make the side to move is the opponent of the mover.
    pos.sideToMove == Black ? unmakeMove<White>(pos, undo, m) : unmakeMove<Black>(pos, undo, m);
}

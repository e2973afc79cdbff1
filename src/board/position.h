// The board record: piece codes per square, castling counters, the three Zobrist keys, the key
// history of the current line and, per colour, counts and bitboards.
#pragma once

#include "board/types.h"

constexpr int KEY_HISTORY_SIZE = 1024;

constexpr int KING_SIDE = 0, QUEEN_SIDE = 1;

// Where castling on a wing puts the king and the rook, in either variant: g1 and f1, or c1 and d1.
template <Colour Us>
constexpr int castledKingSquare(int wing) {
    return relativeSquare(Us, wing == KING_SIDE ? 6 : 2);
}
template <Colour Us>
constexpr int castledRookSquare(int wing) {
    return relativeSquare(Us, wing == KING_SIDE ? 5 : 3);
}
// The wing of a castling, read from the king's destination square.
constexpr int castlingWing(int kingTo) { return fileOf(kingTo) == 6 ? KING_SIDE : QUEEN_SIDE; }

// One colour's pieces. count[] and bb[] are indexed by piece type (Pawn..Queen); slot 0 of each
// is unused so that a move's type field indexes them directly.
struct ColourBlock {
    int32_t pieceCount;  // knights + bishops + rooks + queens
    int32_t count[6];
    int32_t kingSquare;  // NO_SQUARE without a king
    Bitboard bb[6];
    Bitboard occupied;
};

struct Position {
    int32_t board[64];
    int32_t moved[64];  // castling counters: a right exists while king and rook squares read 0
    int32_t sideToMove;
    int32_t epSquare;
    int32_t halfmoveClock;
    int32_t lastCaptureSquare;
    int32_t gamePly;
    // Chess960: castling is read, written and tested with the king and rook squares below, which
    // in standard chess are always e1, h1 and a1 (mirrored for Black).
    int32_t chess960;
    int32_t castlingKing[2];     // [colourIndex]
    int32_t castlingRook[2][2];  // [colourIndex][KING_SIDE or QUEEN_SIDE]
    uint64_t pawnKey;
    uint64_t pieceKey;
    uint64_t materialKey;
    ColourBlock side[2];  // [colourIndex]
    // Last, so that the fields every node reads share a page or two.
    uint64_t keyHistory[KEY_HISTORY_SIZE];

    uint64_t hashKey() const { return pawnKey ^ pieceKey; }
    Bitboard occupancy() const { return side[0].occupied | side[1].occupied; }
    template <Colour C>
    ColourBlock& block() {
        return side[colourIndex(C)];
    }
    template <Colour C>
    const ColourBlock& block() const {
        return side[colourIndex(C)];
    }
};

// Whether a colour (its index) still holds the right to castle on that wing: king and that
// castling rook unmoved. The way may still be blocked or attacked.
inline bool castlingRight(const Position& pos, int colour, int wing) {
    const int rook = pos.castlingRook[colour][wing];
    return rook != NO_SQUARE && pos.moved[rook] == 0 && pos.moved[pos.castlingKing[colour]] == 0;
}

// Zobrist keys, indexed directly by piece code (unused codes hold 0). Material keys exist for
// counts 0..15; the rows run on with zero keys so that promotions past 15 of a kind (possible
// only from artificial set-ups) stay inside the table.
extern uint64_t PieceSquareKeys[32][64];
extern uint64_t EnPassantKeys[64];
extern uint64_t SideKey;
constexpr int MATERIAL_KEY_COUNTS = 16;
extern uint64_t MaterialKeys[32][64];

void buildKeys();
void setUpPosition(Position& pos);
// The castling squares of standard chess: king e1, rooks h1 and a1 (mirrored for Black).
void setStandardCastling(Position& pos);
void setStartPosition(Position& pos, bool chess960 = false);

// A game line longer than the history holds keeps only its most recent keys; the repetition test
// never looks further back than the halfmove clock allows.
void trimKeyHistory(Position& pos);

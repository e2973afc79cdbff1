// Pawn structure: square table, doubled, isolated, backward, passed and candidate pawns, cached
// per thread by pawn key together with each side's passed pawns.
#pragma once

#include <cstdint>

#include "board/position.h"
#include "eval/score.h"

struct PawnEntry {
    uint64_t key;
    int16_t mg;  // White's point of view
    int16_t eg;
    // The king-shelter penalty of each colour ([colourIndex]) for the king placement it was last
    // worked out for: shelterKing holds the king's square and castling offers, shelter the
    // penalty less 10, and 0 for none, as in a zeroed entry (a real penalty is at least 11).
    // Penalties too large for the byte are not kept. The entry stays at 32 bytes.
    uint8_t shelterKing[2];
    uint8_t shelter[2];
    Bitboard whitePassed;
    Bitboard blackPassed;
};

static_assert(sizeof(PawnEntry) == 32);

constexpr int PAWN_TABLE_SIZE = 16384;

// Direct-mapped on the low bits of the pawn key; a value-initialised table is all zeros, which is
// also the correct entry of every position without pawns (pawn key 0).
struct PawnHashTable {
    PawnEntry entries[PAWN_TABLE_SIZE];
};

void evaluatePawns(const Position& pos, PawnEntry& entry);

// One colour's pawn terms from its own point of view; its passed pawns go to passed.
template <Colour Us>
Score pawnStructure(const Position& pos, Bitboard& passed);

inline PawnEntry& probePawns(const Position& pos, PawnHashTable& table) {
    PawnEntry& entry = table.entries[pos.pawnKey & (PAWN_TABLE_SIZE - 1)];
    if (entry.key != pos.pawnKey) evaluatePawns(pos, entry);
    return entry;
}

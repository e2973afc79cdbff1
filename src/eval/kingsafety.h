// King safety (attacks on the zone around the enemy king, pawn shelter and storm) and the
// passed-pawn race against the kings.
#pragma once

#include "board/position.h"
#include "eval/pawns.h"

// Pieces of one colour whose attacks reach the enemy king's zone, and their summed weight.
struct KingAttack {
    int attackers = 0;
    int weight = 0;
};

// A colour may attack the enemy king only with a queen and at least one more piece.
template <Colour Us>
inline bool attackGateOpen(const Position& pos) {
    const ColourBlock& own = pos.block<Us>();
    return own.count[Queen] >= 1 && own.pieceCount >= 2;
}

// The middlegame bonus of a colour's king attack (no endgame part).
int kingAttackBonus(const KingAttack& attack);

// Shelter-plus-storm penalty of a king of colour Us standing on k (it need not stand there).
template <Colour Us>
int kingShelter(const Position& pos, int k);
// The penalty charged to Us's king: its own shelter averaged with the best square it may still
// castle to.
template <Colour Us>
int shelterPenalty(const Position& pos);
// The same, read from the pawn entry of the position when it holds the value for this king
// placement, else worked out and kept there.
template <Colour Us>
int shelterPenalty(const Position& pos, PawnEntry& pawns);

// The two race tests for Us's passed pawn on s.
template <Colour Us>
bool passerUnstoppable(const Position& pos, int s);
template <Colour Us>
bool passerEscorted(const Position& pos, int s);
// The endgame value of Us's passed pawns against the kings, from Us's point of view.
template <Colour Us>
int passedPawnRace(const Position& pos, Bitboard passed);

#include "eval/evaluate.h"

#include <cassert>

#include "board/tables.h"
#include "eval/kingsafety.h"
#include "eval/pieces.h"

namespace {

// Phase 0 is all middlegame, 256 all endgame.
inline int blend(int mg, int eg, int phase) { return (phase * eg + (256 - phase) * mg) / 256; }

// A factor of 16 (no scaling) drops to the given one; factors already below it stay.
inline void capUnscaled(int& whiteScale, int& blackScale, int factor) {
    if (whiteScale == 16) whiteScale = factor;
    if (blackScale == 16) blackScale = factor;
}

}  // namespace

void buildEvalTables() {}

int evaluate(const Position& pos, MaterialTable& materialTable, PawnHashTable& pawnTable, int alpha,
             int beta) {
    const ColourBlock& white = pos.block<White>();
    const ColourBlock& black = pos.block<Black>();
    assert(white.kingSquare != NO_SQUARE && black.kingSquare != NO_SQUARE);

    // Material.
    const MaterialEntry& material = probeMaterial(pos, materialTable);
    const int phase = material.phase;
    int mg = material.mg, eg = material.eg;
    int whiteScale = material.whiteScale, blackScale = material.blackScale;

    // Side to move.
    if (pos.sideToMove == White) {
        mg += 20;
        eg += 10;
    } else {
        mg -= 20;
        eg -= 10;
    }

    // Lazy exit: far outside the window no positional term can bring the score back.
    if (material.flags & LAZY_EXIT) {
        const int s = blend(mg, eg, phase);
        if (s - 400 >= beta || s + 400 <= alpha) return s;
    }

    // Scaling rules that need the squares, not just the counts.
    if (material.flags & SCALING) {
        if (whiteScale == 0 && blackScale == 0) return 0;
        if ((material.flags & OPPOSITE_BISHOPS) && white.bb[Bishop] && black.bb[Bishop] &&
            SquareColour[lsb(white.bb[Bishop])] != SquareColour[lsb(black.bb[Bishop])])
            capUnscaled(whiteScale, blackScale, 8);
        if (material.flags & SINGLE_PAWN_ROOKS) {
            // The defending king on the file in front of the lone pawn holds the draw.
            if (white.count[Pawn] == 1) {
                const int p = lsb(white.bb[Pawn]);
                if (fileOf(p) == fileOf(black.kingSquare) && p < black.kingSquare)
                    capUnscaled(whiteScale, blackScale, 1);
            } else if (black.bb[Pawn]) {
                const int p = lsb(black.bb[Pawn]);
                if (fileOf(p) == fileOf(white.kingSquare) && white.kingSquare < p)
                    capUnscaled(whiteScale, blackScale, 1);
            }
        }
    }

    // Pawn structure.
    PawnEntry& pawns = probePawns(pos, pawnTable);
    mg += pawns.mg;
    eg += pawns.eg;

    const bool whiteGate = attackGateOpen<White>(pos);
    const bool blackGate = attackGateOpen<Black>(pos);

    // Passed-pawn races.
    eg += passedPawnRace<White>(pos, pawns.whitePassed);
    eg -= passedPawnRace<Black>(pos, pawns.blackPassed);

    // Piece terms, feeding the king-attack counters.
    KingAttack whiteAttack, blackAttack;
    Score terms;
    addFor<White>(terms, pieceTerms<White, Knight>(pos, whiteGate, whiteAttack));
    addFor<Black>(terms, pieceTerms<Black, Knight>(pos, blackGate, blackAttack));
    addFor<White>(terms, pieceTerms<White, Bishop>(pos, whiteGate, whiteAttack));
    addFor<Black>(terms, pieceTerms<Black, Bishop>(pos, blackGate, blackAttack));
    addFor<White>(terms, pieceTerms<White, Rook>(pos, whiteGate, whiteAttack));
    addFor<Black>(terms, pieceTerms<Black, Rook>(pos, blackGate, blackAttack));
    addFor<White>(terms, pieceTerms<White, Queen>(pos, whiteGate, whiteAttack));
    addFor<Black>(terms, pieceTerms<Black, Queen>(pos, blackGate, blackAttack));

    // King square tables.
    addFor<White>(terms, kingSquareTerms<White>(pos));
    addFor<Black>(terms, kingSquareTerms<Black>(pos));

    // King safety: a side's attack and the shelter of the king it attacks go together.
    if (whiteGate) terms.mg += kingAttackBonus(whiteAttack);
    if (blackGate) terms.mg -= kingAttackBonus(blackAttack) + shelterPenalty<White>(pos, pawns);
    if (whiteGate) terms.mg += shelterPenalty<Black>(pos, pawns);

    // Trapped pieces.
    addFor<White>(terms, patternTerms<White>(pos));
    addFor<Black>(terms, patternTerms<Black>(pos));

    mg += terms.mg;
    eg += terms.eg;

    // Blend, then scale with the factor of the side the score favours.
    const int s = blend(mg, eg, phase);
    return s * (s >= 1 ? whiteScale : blackScale) / 16;
}

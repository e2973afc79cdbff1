#include "eval/evaluate.h"

#include <cassert>

#include "board/tables.h"
#include "eval/evaltrace.h"
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

// A colour's term goes into the total and, when tracing, into its row.
template <bool Trace, Colour Us>
inline void addTerm(Score& total, Score term, EvalTrace* trace, EvalTerm row) {
    addFor<Us>(total, term);
    if constexpr (Trace) trace->terms[row][colourIndex(Us)] = term;
}

// One piece kind of both colours, White first.
template <bool Trace, int Type>
inline void addPieceTerms(const Position& pos, Score& terms, bool whiteGate, bool blackGate,
                          KingAttack& whiteAttack, KingAttack& blackAttack, EvalTrace* trace,
                          EvalTerm row) {
    addTerm<Trace, White>(terms, pieceTerms<White, Type>(pos, whiteGate, whiteAttack), trace, row);
    addTerm<Trace, Black>(terms, pieceTerms<Black, Type>(pos, blackGate, blackAttack), trace, row);
}

// One body for the search and the eval command: the trace is a compile-time choice, so the
// search's copy carries none of it.
template <bool Trace>
int evaluateWith(const Position& pos, MaterialTable& materialTable, PawnHashTable& pawnTable,
                 int alpha, int beta, EvalTrace* trace) {
    const ColourBlock& white = pos.block<White>();
    const ColourBlock& black = pos.block<Black>();
    assert(white.kingSquare != NO_SQUARE && black.kingSquare != NO_SQUARE);

    // Material.
    const MaterialEntry& material = probeMaterial(pos, materialTable);
    const int phase = material.phase;
    int mg = material.mg, eg = material.eg;
    int whiteScale = material.whiteScale, blackScale = material.blackScale;
    if constexpr (Trace) {
        trace->terms[TermMaterial][0] = sideMaterial(white);
        trace->terms[TermMaterial][1] = sideMaterial(black);
        trace->terms[TermSideToMove][colourIndex(Colour(pos.sideToMove))] = {20, 10};
        trace->phase = phase;
    }

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
        if (whiteScale == 0 && blackScale == 0) {
            if constexpr (Trace) {
                trace->drawnMaterial = true;
                trace->whiteScale = trace->blackScale = 0;
            }
            return 0;
        }
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
    if constexpr (Trace) {
        Bitboard passed;
        trace->terms[TermPawns][0] = pawnStructure<White>(pos, passed);
        trace->terms[TermPawns][1] = pawnStructure<Black>(pos, passed);
    }

    const bool whiteGate = attackGateOpen<White>(pos);
    const bool blackGate = attackGateOpen<Black>(pos);

    // Passed-pawn races.
    const int whiteRace = passedPawnRace<White>(pos, pawns.whitePassed);
    const int blackRace = passedPawnRace<Black>(pos, pawns.blackPassed);
    eg += whiteRace;
    eg -= blackRace;
    if constexpr (Trace) {
        trace->terms[TermPassedRace][0].eg = whiteRace;
        trace->terms[TermPassedRace][1].eg = blackRace;
    }

    // Piece terms, feeding the king-attack counters.
    KingAttack whiteAttack, blackAttack;
    Score terms;
    addPieceTerms<Trace, Knight>(pos, terms, whiteGate, blackGate, whiteAttack, blackAttack, trace,
                                 TermKnights);
    addPieceTerms<Trace, Bishop>(pos, terms, whiteGate, blackGate, whiteAttack, blackAttack, trace,
                                 TermBishops);
    addPieceTerms<Trace, Rook>(pos, terms, whiteGate, blackGate, whiteAttack, blackAttack, trace,
                               TermRooks);
    addPieceTerms<Trace, Queen>(pos, terms, whiteGate, blackGate, whiteAttack, blackAttack, trace,
                                TermQueens);

    // King square tables.
    addTerm<Trace, White>(terms, kingSquareTerms<White>(pos), trace, TermKingSquares);
    addTerm<Trace, Black>(terms, kingSquareTerms<Black>(pos), trace, TermKingSquares);

    // King safety: a side's attack and the shelter of the king it attacks go together.
    if (whiteGate) {
        const int attack = kingAttackBonus(whiteAttack);
        terms.mg += attack;
        if constexpr (Trace) trace->terms[TermKingAttack][0].mg = attack;
    }
    if (blackGate) {
        const int attack = kingAttackBonus(blackAttack);
        const int shelter = shelterPenalty<White>(pos, pawns);
        terms.mg -= attack + shelter;
        if constexpr (Trace) {
            trace->terms[TermKingAttack][1].mg = attack;
            trace->terms[TermKingShelter][0].mg = -shelter;
        }
    }
    if (whiteGate) {
        const int shelter = shelterPenalty<Black>(pos, pawns);
        terms.mg += shelter;
        if constexpr (Trace) trace->terms[TermKingShelter][1].mg = -shelter;
    }

    // Trapped pieces.
    addTerm<Trace, White>(terms, patternTerms<White>(pos), trace, TermPatterns);
    addTerm<Trace, Black>(terms, patternTerms<Black>(pos), trace, TermPatterns);

    mg += terms.mg;
    eg += terms.eg;

    // Blend, then scale with the factor of the side the score favours.
    const int s = blend(mg, eg, phase);
    const int result = s * (s >= 1 ? whiteScale : blackScale) / 16;
    if constexpr (Trace) {
        trace->whiteScale = whiteScale;
        trace->blackScale = blackScale;
        trace->total = {mg, eg};
        trace->blended = s;
        trace->result = result;
    }
    return result;
}

}  // namespace

void buildEvalTables() {}

int evaluate(const Position& pos, MaterialTable& materialTable, PawnHashTable& pawnTable, int alpha,
             int beta) {
    return evaluateWith<false>(pos, materialTable, pawnTable, alpha, beta, nullptr);
}

int evaluateTraced(const Position& pos, MaterialTable& materialTable, PawnHashTable& pawnTable,
                   EvalTrace& trace) {
    trace = {};
    // Wider than any score: the lazy exit never cuts the trace short.
    trace.result = evaluateWith<true>(pos, materialTable, pawnTable, -2 * MATE, 2 * MATE, &trace);
    return trace.result;
}

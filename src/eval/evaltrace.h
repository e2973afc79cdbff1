// The evaluation term by term, for the eval command: each colour's share of every term the
// evaluation adds up, the phase blend and the scaling, recorded by the same code the search runs.
#pragma once

#include "board/position.h"
#include "eval/material.h"
#include "eval/pawns.h"
#include "eval/score.h"

// In the order the evaluation adds them.
enum EvalTerm {
    TermMaterial,
    TermSideToMove,
    TermPawns,
    TermPassedRace,
    TermKnights,
    TermBishops,
    TermRooks,
    TermQueens,
    TermKingSquares,
    TermKingAttack,
    TermKingShelter,
    TermPatterns,
    EVAL_TERMS
};

struct EvalTrace {
    Score terms[EVAL_TERMS][2];  // [term][colourIndex], each from its own colour's point of view
    int phase = 0;               // 0 all middlegame .. 256 all endgame
    int whiteScale = 16;         // sixteenths, after the rules that read the squares
    int blackScale = 16;
    bool drawnMaterial = false;  // both factors 0: the score is 0 and no positional term is added
    Score total;                 // White's point of view, before the blend
    int blended = 0;
    int result = 0;  // what evaluate returns
};

// evaluate over an open window (no lazy exit), recording every term into trace. Returns exactly
// what evaluate returns for the position with that window.
int evaluateTraced(const Position& pos, MaterialTable& materialTable, PawnHashTable& pawnTable,
                   EvalTrace& trace);

// The static evaluation: a tapered sum of material, pawn structure, piece terms, king safety,
// passed-pawn races and trapped-piece patterns, with a lazy exit and drawish scaling.
#pragma once

#include "board/position.h"
#include "eval/material.h"
#include "eval/pawns.h"

// The score in centipawns from White's point of view. alpha and beta are the caller's window
// in White's terms (a Black node passes -beta, -alpha and negates the result); they only decide
// the lazy exit. Fills the probed slots of the two caches on a miss. Both kings must be on the
// board, as in every position the engine accepts.
int evaluate(const Position& pos, MaterialTable& materialTable, PawnHashTable& pawnTable, int alpha,
             int beta);

// Start-up hook for the evaluation's tables, called once after buildTables() and buildKeys().
// The square tables are compile-time constants and Black reads White's at s ^ 56 directly, so
// there is nothing to build; the call is kept so start-up has one fixed place for it.
void buildEvalTables();

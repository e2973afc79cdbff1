// Piece terms: square tables and mobility of knights, bishops, rooks and queens, rook files and
// the seventh rank, the kings' square tables, and the fixed-square patterns of trapped pieces.
#pragma once

#include "board/position.h"
#include "eval/kingsafety.h"
#include "eval/score.h"

// The terms of all of Us's pieces of one Type (Knight..Queen), from Us's point of view. With the
// gate open each piece that reaches the enemy king's zone is counted into attack.
template <Colour Us, int Type>
Score pieceTerms(const Position& pos, bool gate, KingAttack& attack);

template <Colour Us>
Score kingSquareTerms(const Position& pos);

// Bishops trapped by an enemy pawn, bishops shut in by their own blocked centre pawn, and rooks
// shut in by their own uncastled king; from Us's point of view.
template <Colour Us>
Score patternTerms(const Position& pos);

// The legal move list and the count of the legal move tree, both built on the pseudo-legal
// generators and a make/test/unmake of each move.
#pragma once

#include <cstdint>

#include "board/move.h"
#include "board/position.h"

template <Colour Us>
int generateLegal(Position& pos, Move* moves);

inline int generateLegal(Position& pos, Move* moves) {
    return pos.sideToMove == White ? generateLegal<White>(pos, moves)
                                   : generateLegal<Black>(pos, moves);
}

// The generators a tree count takes its moves from: generateAll, or those the search uses
// (tactical then quiet moves, evasions when in check). Both must give the same counts.
enum class PerftRoute { All, Staged };

// Leaf count of the legal move tree depth plies deep (depth 1 or less: the legal moves).
template <Colour Us>
uint64_t perftCount(Position& pos, int depth, PerftRoute route = PerftRoute::All);

inline uint64_t perftCount(Position& pos, int depth, PerftRoute route = PerftRoute::All) {
    return pos.sideToMove == White ? perftCount<White>(pos, depth, route)
                                   : perftCount<Black>(pos, depth, route);
}

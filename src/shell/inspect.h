// Commands that show the current position and its evaluation, as analysis tools and wrappers
// ask them of an engine: eval, d, flip and go perft.
#pragma once

#include "search/searchthread.h"

// eval: the static evaluation term by term, ending "Final evaluation <pawns> (white side)".
void evalCommand(SearchThread& thread);
// d: the board as a diagram, then its FEN, hash key and checking pieces.
void displayCommand(SearchThread& thread);
// flip: the position with the colours exchanged and the board mirrored rank for rank.
void flipCommand(SearchThread& thread);
// go perft <depth>: the leaf count under each legal root move, then their total. Depths outside
// 1..64 are clamped, as speed clamps them.
void perftCommand(SearchThread& thread, int depth);

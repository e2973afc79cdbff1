// The root searches: iteration 1 scores every root move with the full window; later iterations
// run a principal variation search over the list the previous one ordered.
#pragma once

#include "board/move.h"
#include "search/searchthread.h"

// Both return false when the stop flag cut the iteration short; the lists are then unsorted.
// rootSearch gives the first `lines` moves of the sorted list exact scores (1..MAX_MULTI_PV).
template <Colour Us>
bool firstIterationRootSearch(SearchThread& thread, int depth, int count, Move* moves,
                              int32_t* scores);
template <Colour Us>
bool rootSearch(SearchThread& thread, int depth, int count, Move* moves, int32_t* scores,
                int lines);

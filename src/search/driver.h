// The search driver: one whole search with iterative deepening, the stop rules between
// iterations, the periodic check inside them, and the helpers' share of the work.
#pragma once

#include <cstdint>

#include "board/move.h"
#include "board/position.h"
#include "search/limits.h"
#include "search/searchthread.h"

constexpr int MAX_PV = 16;

// Runs a search of the thread's position with the given limits on the main thread and the pool's
// helpers; returns when it is over, after hooks->answer (hooks may be null: a silent search).
// positionKnown false: nothing to search (a refused FEN), the answer is the empty move.
void startSearch(SearchThread& thread, const GoLimits& limits, const SearchHooks* hooks,
                 bool positionKnown = true);

// Walks the principal variation from `first` through the table's moves; returns its length
// (1..16). Stops before a move that is not legal and before one into a position the game or the
// line has had.
int extractPv(Position& pos, Move first, Move* moves);

// Nodes of the main thread and the helpers taking part in its search.
uint64_t searchNodes(const SearchThread& thread);
// Endgame-table probes with a result, of the main thread and its helpers.
uint64_t searchTbHits(const SearchThread& thread);

// The search's elapsed time in milliseconds: real time, or under nodestime the nodes of all
// threads at that many a millisecond.
int64_t searchElapsed(const SearchThread& thread);

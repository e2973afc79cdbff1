// The recursive search below the root: alpha-beta, quiescence and the null-move verification.
// Each is one body per colour; the node calls the opponent's copy for its children.
#pragma once

#include "board/move.h"
#include "search/searchthread.h"

// Lines never reach this ply: a node there returns the static evaluation, which keeps the killer
// tables and the mate bound in range and ends any line of checks and single replies.
constexpr int MAX_PLY = 255;

// Depth in quarter plies. nonPv marks a node off the principal variation; bestMove receives the
// node's best move, 0 if none.
template <Colour Us>
int alphaBeta(SearchThread& thread, int depth, int ply, int inCheck, int alpha, int beta,
              bool nonPv, Move& bestMove);
template <Colour Us>
int quiesce(SearchThread& thread, int depth, int ply, int inCheck, int alpha, int beta);
// A plain full-width search that checks a null-move cut-off where zugzwang is likely.
template <Colour Us>
int verifySearch(SearchThread& thread, int depth, int ply, int alpha, int beta, Move ttMove,
                 Move& bestMove);

// Every 100000 nodes of a thread: on the main thread reads waiting commands and applies the time
// limits, on a helper looks for the stop command. Lives with the search driver.
void periodicCheck(SearchThread& thread);

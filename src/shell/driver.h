// The search driver: one whole search with iterative deepening, time decisions between iterations,
// the periodic check inside them, and every info and bestmove line.
#pragma once

#include <cstdint>

#include "board/move.h"
#include "board/position.h"
#include "shell/go.h"
#include "shell/searchthread.h"

constexpr int MAX_ITERATION = 64;
constexpr int MAX_PV = 16;

// Runs a search on the thread with the given limits; the main thread prints its bestmove, or
// withholds it (infinite, ponder) until stop or ponderhit.
void startSearch(SearchThread& thread, const GoLimits& limits);

// Main-thread output; each prints nothing on a helper or while output is muted.
void printBestMove(SearchThread& thread);
// The answer a search withheld (infinite or ponder), as it stood when that search ended.
void printWithheldBestMove();
void printDepthInfo(SearchThread& thread);
void printPvInfo(SearchThread& thread, int score);
// With MultiPV above 1: the lines of the iteration just completed, best first.
void printPvLines(SearchThread& thread);
void printCurrMove(SearchThread& thread, Move m);

// Walks the principal variation from `first` through the table's moves; returns its length
// (1..16). Stops before a move that is not legal and before one into a position the game or the
// line has had.
int extractPv(Position& pos, Move first, Move* moves);

// Set while the bench command runs: no info or bestmove lines, and no input read mid-search.
extern bool benchMode;

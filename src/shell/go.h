// The go command: its parameters and the search it starts.
#pragma once

#include "board/position.h"
#include "search/limits.h"
#include "search/searchthread.h"
#include "shell/tokens.h"

// The limits a go line sets on the position's side to move; searchmoves texts are matched
// against its legal moves.
GoLimits goLimits(Position& pos, const TokenLine& line);

// Runs the search the go line asks for; returns when it is over.
void parseGo(SearchThread& thread, const TokenLine& line);

// A new game: under nodestime, the clocks kept in nodes start again from the next go line's.
void resetNodeClocks();
// The root of the last go, for the position command to tell a game's continuation (0: none).
uint64_t lastSearchedRoot();

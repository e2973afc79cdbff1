// The go command: its parameters, the time the side to move may spend, and the search it starts.
#pragma once

#include <cstdint>

#include "shell/searchthread.h"
#include "shell/uci.h"

struct GoLimits {
    int32_t holdBestMove = 0;
    int32_t depthLimited = 0;
    int32_t depthLimit = 0;
    int32_t timeLimited = 0;
    int32_t softTime = 0;  // ends the search between iterations, and after a ponderhit inside one
    int32_t hardTime = 0;  // ends the search inside an iteration
};

// The limits a go line sets for the side to move (8 White, 16 Black).
GoLimits goLimits(int sideToMove, const TokenLine& line);

// Runs the search the go line asks for; returns when it is over.
void parseGo(SearchThread& thread, const TokenLine& line);

// The limits of one search, as one record from the go line to the search.
#pragma once

#include <cstdint>

#include "board/move.h"

// The most principal variations a search reports.
constexpr int MAX_MULTI_PV = 500;

struct GoLimits {
    int32_t holdBestMove = 0;  // infinite or ponder: the answer waits for stop or ponderhit
    int32_t depthLimited = 0;
    int32_t depthLimit = 0;
    int32_t timeLimited = 0;
    int32_t softTime = 0;  // ends the search between iterations, and after a ponderhit inside one
    int32_t hardTime = 0;  // ends the search inside an iteration
    // nodestime: the clock's milliseconds count this many nodes each, and the search's elapsed
    // time is its node count (0: the real clock).
    uint64_t nodesPerMs = 0;
    int32_t nodesLimited = 0;
    uint64_t nodeLimit = 0;  // nodes of all threads
    int32_t mateLimit = 0;   // moves; 0 when the search looks for no mate
    int32_t multiPv = 1;     // principal variations to report
    // Playing below full strength: the rating (0 for full strength), and the seed of the choice
    // among the best lines.
    int32_t strengthElo = 0;
    uint64_t strengthSeed = 0;
    // The root moves to search, legal and in generation order; none listed means all of them.
    int32_t searchMoveCount = 0;
    Move searchMoves[MAX_MOVES];
};

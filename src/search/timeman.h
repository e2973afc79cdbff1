// The clock rules: how much of the clock a search may spend, and when it stops.
#pragma once

#include <cstdint>

#include "search/limits.h"
#include "search/searchthread.h"

// The go line's clock, as it applies to the side to move; -1 where the line gives none.
struct GoClock {
    int64_t time = -1;  // a negative time on the line reads as 0: no time left
    int64_t inc = -1;
    int64_t movesToGo = -1;
    int64_t moveTime = -1;
};

// What the clock rule keeps back of a clock: 5 % (rounded up) and the overhead.
int64_t clockReserve(int64_t time, int64_t moveOverhead);

// Sets the soft and hard limits. With a clock the engine keeps the reserve and plans
// (available + (inc - overhead) * (movestogo - 1)) / movestogo per move (an increment below the
// overhead counts as none), at least a millisecond while anything
// is available, stopping inside an iteration at half of the whole budget, never past what is
// available; a move time is a hard limit of its own, the overhead not taken from it.
void allocateTime(GoLimits& limits, const GoClock& clock, int64_t moveOverhead);

// Between iterations: whether the clock ends the search, given the time spent so far.
bool clockEndsSearch(const SearchThread& thread, int64_t elapsed);
// Inside an iteration, at the periodic check.
bool clockStopsIteration(const SearchThread& thread, int64_t elapsed);

// bench [depth]: a fixed-depth search over a built-in list of positions, each with fresh tables,
// printing the total node count (the search's signature at Threads 1) and the rate.
#pragma once

#include <cstdint>

#include "search/searchthread.h"

constexpr int BENCH_DEFAULT_DEPTH = 10;
extern const char* const BenchPositions[];
extern const int BENCH_POSITION_COUNT;

struct BenchResult {
    uint64_t nodes;
    int32_t elapsed;
};

// A fixed-depth search of the thread's position from empty tables and caches, without output or
// input, so that its node count depends on nothing searched before. Returns the nodes of all
// threads that took part.
uint64_t searchFromScratch(SearchThread& thread, int depth);

// Searches every position to depth; the thread's position is restored afterwards.
BenchResult runBench(SearchThread& thread, int depth);
void benchCommand(SearchThread& thread, int depth);

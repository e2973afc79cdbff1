// Helper threads: three exist from start-up to shutdown; Threads - 1 of them search each position
// beside the main thread, without limits, ahead of it where they can. They help through the
// shared transposition table and through the deepest iteration each has completed.
#pragma once

#include <cstdint>

#include "board/move.h"
#include "shell/searchthread.h"

constexpr int HELPER_COUNT = 3;

enum HelperCommand : int32_t { IDLE_CYCLE = 0, SEARCH = 1, STOP = 2, EXIT = 3 };

void createHelpers();
// Waits until every helper is idle, tells them to exit and joins them; frees their caches.
void destroyHelpers();
// Waits until no helper is searching or unwinding (before the shared table is freed).
void waitForIdleHelpers();

// Waits until every helper is idle and empties its caches and ordering tables.
void clearHelpers();

// The hand-over around a search; each acts only where it applies (main thread, Threads > 1).
void syncHelpers(SearchThread& thread);
void copyRootPosition(SearchThread& thread);
void releaseHelpers(SearchThread& thread);
void stopHelpers(SearchThread& thread);

// Iterative deepening's schedule: the iteration a thread searches next. A helper may pass over
// some; the main thread's is 1, 2, 3 ... as always.
int nextIteration(const SearchThread& thread, int iteration);
void beginIteration(int iteration);
void endIteration(int iteration);

// A helper's completed iterations, for the main thread's answer.
struct HelperResult {
    int depth;  // 0: none
    Move move;
    int score;
};
void publishIteration(const SearchThread& thread, int depth, Move move, int score);
HelperResult deepestHelperResult();

// Helper side of the periodic check: whether the main thread has told helpers to stop.
bool helperShouldStop();
// Nodes of the helpers taking part in the current search.
uint64_t helperNodes();

// The helper's record (tests and diagnostics).
SearchThread& helperThread(int index);

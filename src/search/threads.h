// The thread pool: Threads - 1 helpers search each position beside the main thread, without
// limits, ahead of it where they can. They help through the shared transposition table and
// through the deepest iteration each has completed. Helpers are started when Threads grows and
// ended when it shrinks, always between searches.
#pragma once

#include <cstdint>

#include "board/move.h"
#include "search/searchthread.h"

constexpr int MAX_THREADS = 1024;

// Sets the number of search threads, the main thread included, clamped to 1..MAX_THREADS. Waits
// for helpers of the last search to be idle first. Returns how many run: fewer than asked when
// the system could not start more.
int resizeThreads(int count);
int threadCount();
// Waits until every helper is idle, tells them to exit and joins them; frees their caches.
void destroyHelpers();
// Waits until no helper is searching or unwinding (before the shared table changes).
void waitForIdleHelpers();
// Waits until every helper is idle and empties its caches and ordering tables.
void clearHelpers();
// Runs task(part, parts) for every part 0..parts-1 at once, one part on each of the pool's
// threads (the caller takes part 0), and returns when all are done.
void runInParallel(void (*task)(int part, int parts));

// The hand-over around a search, from the main thread. Helpers run `search` on their own
// record, taking the main thread's root from copyRootPosition; with `search` null the main thread
// searches alone.
// The helpers' node and probe counters start from zero here, before the first check can read them.
void startHelpers(SearchThread& main, void (*search)(SearchThread&));
void copyRootPosition(SearchThread& helper);
// Tells the helpers to stop; they unwind at their next node, and the caller does not wait.
void stopHelpers();

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

// The node budget every thread of the current search checks: all threads' nodes together
// (NO_NODE_BUDGET: none, as while the answer is withheld). Set by the main thread.
constexpr uint64_t NO_NODE_BUDGET = UINT64_MAX;
void setNodeBudget(uint64_t nodes);
uint64_t nodeBudget();
// From a helper that finds the budget spent: stops the main thread and every helper.
void stopWholeSearch();
// Nodes of the main thread and the helpers of the current search, read from any of them.
uint64_t allSearchNodes();

// Nodes of the helpers taking part in the current search.
uint64_t helperNodes();
// Their endgame-table probes that gave a result.
uint64_t helperTbHits();

// A helper's record, 1..threadCount() - 1 (tests and diagnostics).
SearchThread& helperThread(int index);

// The per-thread search context: limits and flags of the current search, root bookkeeping, the
// node counter, the thread's own board, its ordering tables and its two evaluation caches.
#pragma once

#include <atomic>
#include <cstdint>

#include "board/move.h"
#include "board/position.h"
#include "search/picker.h"

struct MaterialTable;
struct PawnHashTable;

constexpr int POLL_INTERVAL = 100000;
constexpr int MAX_MULTI_PV = 64;

// A field another thread may read while its owner writes it. All access is relaxed: the value
// matters, not the order against other memory. The owner bumps it with a load and a store, never
// a locked read-modify-write.
template <typename T>
struct Relaxed {
    std::atomic<T> value{};

    T load() const { return value.load(std::memory_order_relaxed); }
    void store(T v) { value.store(v, std::memory_order_relaxed); }
    operator T() const { return load(); }
    Relaxed& operator=(T v) {
        store(v);
        return *this;
    }
    void add(T n) { store(load() + n); }
};

struct SearchThread {
    int32_t threadIndex;  // 0..2 helpers, 3 the main thread
    int32_t startTime;    // clock at the start of the current search or benchmark
    int32_t holdBestMove;
    int32_t depthLimited;
    int32_t depthLimit;
    int32_t timeLimited;
    int32_t softTime;
    int32_t hardTime;
    Relaxed<int32_t> stopFlag;
    int32_t quitFlag;
    int32_t ponderHit;
    int32_t iteration;
    int32_t rootMoveIndex;
    int32_t bestMove;
    int32_t bestScore;
    int32_t previousScore;
    int32_t rootResearched;
    int32_t easyMove;
    int32_t scoreDropped;
    int32_t previousScoreDropped;
    int32_t pollCountdown;
    Relaxed<uint64_t> nodeCount;
    // Limits beyond depth and time: a node budget for all threads, a mate to look for (moves, 0
    // none) and the root moves to search (none listed: every legal move).
    int32_t nodesLimited;
    uint64_t nodeLimit;
    int32_t mateLimit;
    int32_t searchMoveCount;
    Move searchMoves[MAX_MOVES];
    // The score the answer reports: the iteration that found the best move and its score (depth
    // 0 before any root move completed), and whether an info line has shown a score already.
    int32_t reportDepth;
    int32_t reportScore;
    int32_t scoreShown;
    int32_t completedDepth;  // the deepest iteration that ran to its end
    // Principal variations the search reports (the main thread's MultiPV, else 1), and with more
    // than one the lines of the deepest completed iteration: first moves and exact scores.
    int32_t multiPv;
    int32_t pvLineDepth;
    int32_t pvLineCount;
    Move pvLineMoves[MAX_MULTI_PV];
    int32_t pvLineScores[MAX_MULTI_PV];
    Position position;
    OrderingTables orderingTables;
    MaterialTable* materialTable;
    PawnHashTable* pawnTable;
};

// Milliseconds of the steady clock since start-up: wall time, whatever the threads do.
int32_t clockMs();

void initThread(SearchThread& thread, int index);
void releaseThread(SearchThread& thread);
// Empties the thread's evaluation caches and ordering tables, as a fresh record has them.
void clearSearchState(SearchThread& thread);

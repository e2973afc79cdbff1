// The per-thread search context: the limits and state of the current search, the node counter,
// the thread's own board, its ordering tables and its two evaluation caches, and the hooks
// through which the shell hears from the main thread's search.
#pragma once

#include <atomic>
#include <cstdint>

#include "board/move.h"
#include "board/position.h"
#include "search/limits.h"
#include "search/picker.h"

struct MaterialTable;
struct PawnHashTable;

constexpr int MAIN_THREAD = 0;
// Nodes between two periodic checks of the main thread, which read the clock and the input (a
// clock read costs tens of nanoseconds, a look at the input about a microsecond; a thousand nodes
// take half a millisecond). Where nodes come slowly (a fresh table's page faults, a loaded
// machine) the interval shrinks down to MIN_CHECK_INTERVAL, so that a check still comes about
// every CHECK_PERIOD_US of real time. Helpers check only for a node budget, at most every
// POLL_INTERVAL nodes.
constexpr int POLL_INTERVAL = 100000;
constexpr int CLOCK_INTERVAL = 1024;
constexpr int MIN_CHECK_INTERVAL = 64;
constexpr int64_t CHECK_PERIOD_US = 1000;
constexpr int MAX_ITERATION = 64;

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

struct SearchThread;

// What the shell gives the main thread's search: where its lines go, and how it reads the
// commands that come while it runs. Helpers and silent searches (bench) have none.
struct SearchHooks {
    void (*pollInput)(SearchThread&);               // at the periodic check: reads and obeys
    void (*iterationDone)(SearchThread&);           // after every iteration
    void (*newBestMove)(SearchThread&, int score);  // the root found a new best move
    void (*linesDone)(SearchThread&);               // several lines: an iteration completed them
    void (*currentMove)(SearchThread&, Move m);     // the root starts searching a move
    void (*answer)(SearchThread&, bool withheld);   // the search is over
    void (*status)(SearchThread&);                  // about once a second from the first second on
};

// Everything one search finds out as it goes, reset whole when it starts.
struct SearchState {
    int32_t startTime = 0;        // clock at the start of the search
    int64_t startMicros = 0;      // the same in microseconds, for the node rate
    int64_t lastCheckMicros = 0;  // the main thread's previous periodic check
    int32_t holdBestMove = 0;     // the answer waits for stop or ponderhit
    int32_t ponderHit = 0;
    int32_t positionKnown = 1;  // false: a refused FEN left nothing to search
    int32_t nextStatus = 1000;  // the time of the next status line
    int32_t rootMoveCount = 0;  // moves at the root: none when mated or stalemated
    int32_t iteration = 0;
    int32_t rootMoveIndex = 0;
    int32_t bestMove = 0;
    int32_t bestScore = NO_SCORE;
    int32_t previousScore = 0;
    int32_t rootResearched = 0;
    int32_t easyMove = 0;
    int32_t scoreDropped = 0;
    int32_t previousScoreDropped = 0;
    // The score the answer reports: the iteration that found the best move and its score (depth
    // 0 before any root move completed), and whether an info line has shown a score already.
    int32_t reportDepth = 0;
    int32_t reportScore = 0;
    int32_t scoreShown = 0;
    int32_t completedDepth = 0;     // the deepest iteration that ran to its end
    int32_t completedSelDepth = 0;  // and the deepest ply its lines reached
    // With several lines, those of the deepest completed iteration: first moves and exact scores.
    int32_t pvLineDepth = 0;
    int32_t pvLineCount = 0;
    Move pvLineMoves[MAX_MULTI_PV] = {};
    int32_t pvLineScores[MAX_MULTI_PV] = {};
    // The root's result in the endgame tables, as a score, when they ranked its moves; the lines
    // show it in place of any score short of a mate.
    int32_t rootTableScore = NO_SCORE;
    // A limited search: the rating's node budget (0: none), and whether that budget ended it.
    uint64_t strengthNodes = 0;
    int32_t strengthStopped = 0;
    // A limited search checks its budget on a schedule of its own, in counted nodes, apart from
    // the checks for input and the clock (whose interval follows real time), so that where the
    // budget is found spent, and so the search's node count, never depends on timing: the nodes
    // until that check, its interval, and the nodes from the main thread's last check to its next.
    int32_t budgetCountdown = 0;
    int32_t budgetInterval = 0;
    int32_t nodesToNextCheck = 0;
};

struct SearchThread {
    // What every node reads comes first.
    Position position;
    Relaxed<int32_t> stopFlag;
    int32_t pollCountdown;
    int32_t checkInterval;  // CLOCK_INTERVAL or less on the main thread, POLL_INTERVAL on a helper
    int32_t selDepth;       // the deepest ply reached in the current iteration
    Relaxed<uint64_t> nodeCount;
    MaterialTable* materialTable;
    PawnHashTable* pawnTable;
    int32_t threadIndex;  // MAIN_THREAD, or 1.. for helpers
    OrderingTables orderingTables;
    const SearchHooks* hooks;
    Relaxed<uint64_t> tbHits;  // endgame-table probes that gave a result
    GoLimits limits;
    SearchState state;
};

inline bool isHelper(const SearchThread& thread) { return thread.threadIndex != MAIN_THREAD; }

// Milliseconds of the steady clock since start-up: wall time, whatever the threads do.
int32_t clockMs();
// The same clock in microseconds.
int64_t clockMicros();

void initThread(SearchThread& thread, int index);
void releaseThread(SearchThread& thread);
// Empties the thread's evaluation caches and ordering tables, as a fresh record has them.
void clearSearchState(SearchThread& thread);

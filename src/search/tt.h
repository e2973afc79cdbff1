// The transposition table: one process-wide array of entries shared by every search thread
// without a lock. Each entry keeps a best move and two independent score bounds, each with the
// depth it was found at.
#pragma once

#include <atomic>
#include <cstdint>

#include "board/move.h"
#include "board/position.h"
#include "search/tablebase.h"

// An entry as four words, each read and written as a relaxed atomic so that threads racing on
// one entry see old or new words, never a data race. A word torn from its neighbours costs search
// quality only: every table move is validated before it is played. The age has a word of its
// own, so that a probe refreshing it cannot undo another thread's store of the depths.
//   key
//   data: move (32) | lower (16, signed) | upper (16, signed)
//   depths: moveDepth (8) | lowerDepth (8) | upperDepth (8) | maxDepth (8)
//   age
struct TtEntry {
    uint64_t key;
    uint64_t data;
    uint32_t depths;
    uint32_t age;
};

// An entry's fields, unpacked.
struct TtRecord {
    uint64_t key;
    Move move;
    int lower;  // -MATE: none
    int upper;  // MATE: none
    int moveDepth;
    int lowerDepth;
    int upperDepth;
    int maxDepth;
    int age;
};

struct TranspositionTable {
    TtEntry* entries = nullptr;
    uint64_t mask = 0;   // slots per megabyte times the size, less one
    uint64_t count = 0;  // mask + 1 + 4: a window of four runs past any index without wrapping
    // Set while every entry is zero (a fresh mapping or a cleared table): clearing it again
    // would only cost time. The first store drops it.
    std::atomic<bool> fresh{false};
    // Advanced by the main thread between searches while helpers may still be unwinding, hence
    // atomic; how many searches ago an entry was touched is computed from it, never cached.
    std::atomic<int> currentAge{0};
};

extern TranspositionTable tt;

constexpr int TT_WINDOW = 4;
constexpr int TT_SLOTS_PER_MB = 65536;

constexpr int64_t TT_MIN_MB = 1;
constexpr int64_t TT_MAX_MB = 33554432;

// Clamps to TT_MIN_MB..TT_MAX_MB and rounds down to a power of two, with as many index bits as
// that size needs; the new table is zero-filled. When the memory cannot be had the old table
// stays and false is returned.
bool ttResize(int64_t megabytes);
// Whether a table of that many MB (rounded as ttResize rounds) is the one in use.
bool ttHasSize(int64_t megabytes);
void ttFree();
// The size in use, in megabytes.
inline uint64_t ttMegabytes() { return (tt.mask + 1) / TT_SLOTS_PER_MB; }
// Empties every entry and restarts the age, as a fresh table of the same size, in parts that
// threads can share: ttClearSlice(i, parts) for every i, then ttClearDone(). ttNeedsClear() is
// false while the table is still all zeros.
bool ttNeedsClear();
void ttClearSlice(int part, int parts);
void ttClearDone();
void setTtAge(int age);
// Touches every page of the table's part `part` of `parts` so that the system maps (and zeroes)
// it now, not inside a search; the entries stay zero.
void ttTouchSlice(int part, int parts);
inline int ttAge() { return tt.currentAge.load(std::memory_order_relaxed); }

// Mate scores, and the endgame tables' win and loss scores below them, are kept relative to the
// node that stores them, so that a mate or a table win found along one line reads right at any
// ply it is probed from. Between the two bands lies no score but the null move's cut-off bound,
// MATE_BOUND itself, which stays as it is.
inline bool isPlyRelative(int score) {
    const int size = score < 0 ? -score : score;
    return size > TABLE_WIN_BOUND && size != MATE_BOUND;
}
inline int scoreToTt(int score, int ply) {
    return !isPlyRelative(score) ? score : score > 0 ? score + ply : score - ply;
}
inline int scoreFromTt(int value, int ply) {
    return !isPlyRelative(value) ? value : value > 0 ? value - ply : value + ply;
}

// Starts loading the window of key into the cache. A probe waits mostly on memory, so a node asks
// for its child's window while it still has work to do before the child probes.
inline void ttPrefetch(uint64_t key) {
    const char* p = reinterpret_cast<const char*>(tt.entries + (key & tt.mask));
    __builtin_prefetch(p);
    __builtin_prefetch(p + 64);
    __builtin_prefetch(p + TT_WINDOW * sizeof(TtEntry) - 1);
}

// Finds the entry for key among its four slots; on a hit refreshes its age and fills out.
bool ttProbe(uint64_t key, TtRecord& out);
// Merges into the entry for key, or replaces the slot from the oldest search with the least
// depth. Pass -MATE for no lower bound, MATE for no upper bound and 0 for no move.
void ttStore(uint64_t key, Move move, int depth, int lower, int upper);
// The move stored for the position, or 0; leaves the age alone.
Move ttMove(const Position& pos);

// Permill of the first thousand slots in use by the current search's age.
int ttHashfull();

// Reads slot i as it stands (tests and diagnostics).
TtRecord ttRead(uint64_t i);

#include "search/tt.h"

#include <algorithm>
#include <cstring>

#include "platform/platform.h"

TranspositionTable tt;

namespace {

template <typename T>
inline T load(const T& word) {
    return std::atomic_ref<const T>(word).load(std::memory_order_relaxed);
}
template <typename T>
inline void store(T& word, T v) {
    std::atomic_ref<T>(word).store(v, std::memory_order_relaxed);
}

inline uint64_t packData(Move move, int lower, int upper) {
    return uint64_t(move) | uint64_t(uint16_t(int16_t(lower))) << 32 |
           uint64_t(uint16_t(int16_t(upper))) << 48;
}
inline uint32_t packDepths(int moveDepth, int lowerDepth, int upperDepth, int maxDepth) {
    return uint32_t(moveDepth) | uint32_t(lowerDepth) << 8 | uint32_t(upperDepth) << 16 |
           uint32_t(maxDepth) << 24;
}
inline Move dataMove(uint64_t d) { return Move(uint32_t(d)); }
inline int dataLower(uint64_t d) { return int16_t(uint16_t(d >> 32)); }
inline int dataUpper(uint64_t d) { return int16_t(uint16_t(d >> 48)); }
inline int depthByte(uint32_t d, int i) { return int((d >> (8 * i)) & 0xff); }

// Sizes up to 65536 MB index by the low 32 bits of the key; larger ones take more of them.
inline TtEntry* window(uint64_t key) { return tt.entries + (key & tt.mask); }

void unmapTable() {
    freeLarge(tt.entries, tt.count * sizeof(TtEntry));
    tt.entries = nullptr;
}

TtRecord unpack(uint64_t key, uint64_t d, uint32_t depths, uint32_t age) {
    return {key,
            dataMove(d),
            dataLower(d),
            dataUpper(d),
            depthByte(depths, 0),
            depthByte(depths, 1),
            depthByte(depths, 2),
            depthByte(depths, 3),
            int(age)};
}

uint64_t roundedMegabytes(int64_t megabytes) {
    megabytes = std::clamp(megabytes, TT_MIN_MB, TT_MAX_MB);
    uint64_t size = 1;
    while (2 * size <= uint64_t(megabytes)) size *= 2;
    return size;
}

}  // namespace

bool ttHasSize(int64_t megabytes) {
    return tt.entries && roundedMegabytes(megabytes) == ttMegabytes();
}

bool ttResize(int64_t megabytes) {
    const uint64_t size = roundedMegabytes(megabytes);
    const uint64_t count = size * TT_SLOTS_PER_MB + TT_WINDOW;
    const uint64_t bytes = count * sizeof(TtEntry);
    // More than the machine's memory is refused here: where the system overcommits, the mapping
    // would succeed and the process die later, as the pages are touched. Every page is touched at
    // once, so a size beyond what is available now (with the old table's memory, given back
    // before) is refused too; where that cannot be told, the machine's memory is the bound.
    const uint64_t physical = physicalMemory();
    if (physical && bytes > physical) return false;
    const uint64_t available = availableMemory();
    if (available > 0 && bytes > available + tt.count * sizeof(TtEntry)) return false;
    // Probes land all over the table, so with small pages nearly every one also misses the address
    // translation cache. The table asks for large pages; where the system gives none it works the
    // same on small ones. Fresh memory reads as zeros and costs nothing until it is touched.
    void* memory = allocateLarge(bytes);
    if (!memory) return false;
    unmapTable();
    tt.entries = static_cast<TtEntry*>(memory);
    tt.mask = size * TT_SLOTS_PER_MB - 1;
    tt.count = count;
    tt.fresh.store(true, std::memory_order_relaxed);
    setTtAge(0);
    return true;
}

void ttFree() {
    unmapTable();
    tt.mask = tt.count = 0;
}

bool ttNeedsClear() { return !tt.fresh.load(std::memory_order_relaxed); }

void ttClearSlice(int part, int parts) {
    // Slices end on cache lines, so that no two threads write one line.
    const uint64_t bytes = tt.count * sizeof(TtEntry);
    const uint64_t step = ((bytes + uint64_t(parts) - 1) / uint64_t(parts) + 63) & ~uint64_t(63);
    const uint64_t begin = std::min(bytes, step * uint64_t(part));
    const uint64_t end = std::min(bytes, begin + step);
    if (end > begin) std::memset(reinterpret_cast<char*>(tt.entries) + begin, 0, end - begin);
}

void ttTouchSlice(int part, int parts) {
    // Whole large pages to each part, so that no two threads fault on one.
    const uint64_t bytes = tt.count * sizeof(TtEntry);
    const uint64_t pages = (bytes + LARGE_PAGE_BYTES - 1) / LARGE_PAGE_BYTES;
    const uint64_t step = (pages + uint64_t(parts) - 1) / uint64_t(parts);
    const uint64_t begin = std::min(bytes, step * uint64_t(part) * LARGE_PAGE_BYTES);
    const uint64_t end = std::min(bytes, begin + step * LARGE_PAGE_BYTES);
    // One write a small page: where the system gives large pages the first one maps the whole.
    constexpr uint64_t SMALL_PAGE = 4096;
    char* const base = reinterpret_cast<char*>(tt.entries);
    for (uint64_t at = begin; at < end; at += SMALL_PAGE) base[at] = 0;
}

void ttClearDone() {
    tt.fresh.store(true, std::memory_order_relaxed);
    setTtAge(0);
}

void setTtAge(int age) { tt.currentAge.store(age & 255, std::memory_order_relaxed); }

bool ttProbe(uint64_t key, TtRecord& out) {
    TtEntry* e = window(key);
    for (int i = 0; i < TT_WINDOW; i++, e++) {
        if (load(e->key) != key) continue;
        const uint32_t age = uint32_t(ttAge());
        store(e->age, age);
        out = unpack(key, load(e->data), load(e->depths), age);
        return true;
    }
    return false;
}

void ttStore(uint64_t key, Move move, int depth, int lower, int upper) {
    if (tt.fresh.load(std::memory_order_relaxed)) tt.fresh.store(false, std::memory_order_relaxed);
    // Depths never pass 252 in a search; the clamp keeps a byte field honest whatever the caller.
    depth = std::min(depth, 255);
    const int age = ttAge();
    TtEntry* first = window(key);
    for (TtEntry* e = first; e < first + TT_WINDOW; e++) {
        if (load(e->key) != key) continue;
        const uint64_t d = load(e->data);
        const uint32_t depths = load(e->depths);
        Move newMove = dataMove(d);
        int newLower = dataLower(d), newUpper = dataUpper(d);
        int moveDepth = depthByte(depths, 0), lowerDepth = depthByte(depths, 1);
        int upperDepth = depthByte(depths, 2);
        const int maxDepth = std::max(depthByte(depths, 3), depth);
        // A shallower bound never overwrites a deeper one of its kind; an equally deep one does.
        if (move != NO_MOVE && depth >= moveDepth) newMove = move, moveDepth = depth;
        if (lower >= -(MATE - 1) && depth >= lowerDepth) newLower = lower, lowerDepth = depth;
        if (upper <= MATE - 1 && depth >= upperDepth) newUpper = upper, upperDepth = depth;
        store(e->data, packData(newMove, newLower, newUpper));
        store(e->depths, packDepths(moveDepth, lowerDepth, upperDepth, maxDepth));
        store(e->age, uint32_t(age));
        return;
    }
    // The slot from the oldest search goes first; among one search's, the shallowest.
    TtEntry* victim = first;
    int worst = -1 << 30;
    for (TtEntry* e = first; e < first + TT_WINDOW; e++) {
        const int ageDistance = (age - int(load(e->age))) & 255;
        const int value = ageDistance * 256 - depthByte(load(e->depths), 3);
        if (value > worst) worst = value, victim = e;
    }
    store(victim->key, key);
    store(victim->data, packData(move, lower, upper));
    store(victim->depths, packDepths(move != NO_MOVE ? depth : 0, lower < -(MATE - 1) ? 0 : depth,
                                     upper > MATE - 1 ? 0 : depth, depth));
    store(victim->age, uint32_t(age));
}

Move ttMove(const Position& pos) {
    const uint64_t key = pos.hashKey();
    const TtEntry* e = window(key);
    for (int i = 0; i < TT_WINDOW; i++, e++)
        if (load(e->key) == key) return dataMove(load(e->data));
    return NO_MOVE;
}

int ttHashfull() {
    const uint64_t sample = std::min<uint64_t>(1000, tt.count);
    const uint32_t age = uint32_t(ttAge());
    int used = 0;
    for (uint64_t i = 0; i < sample; i++)
        if (load(tt.entries[i].key) != 0 && load(tt.entries[i].age) == age) used++;
    return sample ? int(used * 1000 / sample) : 0;
}

TtRecord ttRead(uint64_t i) {
    const TtEntry& e = tt.entries[i];
    return unpack(load(e.key), load(e.data), load(e.depths), load(e.age));
}

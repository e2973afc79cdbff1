#include "search/threads.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "platform/platform.h"

namespace {

enum HelperCommand : int32_t { IDLE_CYCLE = 0, SEARCH = 1, EXIT = 2, RUN_PART = 3 };

// Set wakes one waiter and stays set until a wait consumes it, so no wake-up is lost.
struct AutoResetEvent {
    std::mutex mutex;
    std::condition_variable signalled;
    bool set = false;

    void signal() {
        {
            std::lock_guard lock(mutex);
            set = true;
        }
        signalled.notify_one();
    }
    void wait() {
        std::unique_lock lock(mutex);
        signalled.wait(lock, [this] { return set; });
        set = false;
    }
};

struct Helper {
    SearchThread thread;
    AutoResetEvent idle, wake;
    ThreadHandle handle;
    // Main thread's bookkeeping: the helper's idle signal of its current cycle has been consumed.
    bool knownIdle = false;
    // The deepest completed iteration of the current search as one word, so that it is never read
    // torn: depth in bits 40-47, score + 32768 in bits 24-39, move in bits 0-23; 0 when none.
    std::atomic<uint64_t> result{0};
};

// Only the main thread changes the list, and only while every helper is idle; a helper touches
// nothing but its own entry.
std::vector<std::unique_ptr<Helper>> helpers;

std::mutex sharedMutex;
// All guarded by sharedMutex: the command of the current cycle, the root of the current search,
// and the work a cycle runs.
int32_t helperCommand = IDLE_CYCLE;
Position sharedPosition;
int32_t sharedSearchMoveCount = 0;
Move sharedSearchMoves[MAX_MOVES];
void (*searchTask)(SearchThread&) = nullptr;
void (*partTask)(int, int) = nullptr;
int partCount = 0;

// Helpers released for the latest search; written only while every helper is idle.
int helpersInSearch = 0;
// The main thread of the latest search, for helpers that stop it or count its nodes; set while
// every helper is idle.
SearchThread* searchMain = nullptr;
std::atomic<uint64_t> sharedNodeBudget{NO_NODE_BUDGET};

// A line may run 255 plies deep, plus nested internal deepening and verification frames at the
// same ply. An alpha-beta frame with its move lists takes about 4.5 KB in the release build, so
// the deepest chain needs under 2 MB; sanitizer builds need several times that. Only the pages a
// thread touches take memory.
constexpr size_t HELPER_STACK_SIZE = size_t(32) << 20;

// How many threads search each iteration right now: a helper passes over one that enough threads
// are on already.
std::atomic<int> searchers[MAX_ITERATION + 1];
// The number of threads on one iteration after which helpers pass it over, set for each search.
std::atomic<int> iterationQuorum{1};

void setCommand(int32_t command) {
    std::lock_guard lock(sharedMutex);
    helperCommand = command;
}

void waitIdle(Helper& h) {
    if (h.knownIdle) return;
    h.idle.wait();
    h.knownIdle = true;
}
void wake(Helper& h) {
    h.knownIdle = false;
    h.wake.signal();
}

void helperMain(void* arg) {
    Helper& h = *static_cast<Helper*>(arg);
    for (;;) {
        h.idle.signal();
        h.wake.wait();
        int32_t command;
        void (*search)(SearchThread&);
        void (*part)(int, int);
        int parts;
        {
            std::lock_guard lock(sharedMutex);
            command = helperCommand;
            search = searchTask;
            part = partTask;
            parts = partCount;
        }
        if (command == EXIT) return;
        if (command == SEARCH && search) search(h.thread);
        if (command == RUN_PART && part) part(h.thread.threadIndex, parts);
    }
}

// Starts one more helper; false when the system gives no more threads or memory.
bool addHelper() {
    std::unique_ptr<Helper> h;
    try {
        h = std::make_unique<Helper>();  // value-initialised: no caches yet
        initThread(h->thread, int(helpers.size()) + 1);
        // Room in the list first, so that nothing can fail once the thread runs.
        helpers.reserve(helpers.size() + 1);
    } catch (const std::bad_alloc&) {
        if (h) releaseThread(h->thread);
        return false;
    }
    if (!startThread(h->handle, helperMain, h.get(), HELPER_STACK_SIZE)) {
        releaseThread(h->thread);
        return false;
    }
    helpers.push_back(std::move(h));
    return true;
}

// Ends the helpers from index `keep` on. They must be idle.
void removeHelpers(size_t keep) {
    if (helpers.size() <= keep) return;
    setCommand(EXIT);
    for (size_t i = keep; i < helpers.size(); i++) {
        wake(*helpers[i]);
        joinThread(helpers[i]->handle);
        releaseThread(helpers[i]->thread);
    }
    helpers.resize(keep);
    setCommand(IDLE_CYCLE);
}

}  // namespace

int resizeThreads(int count) {
    count = std::clamp(count, 1, MAX_THREADS);
    waitForIdleHelpers();
    helpersInSearch = 0;
    const size_t wanted = size_t(count - 1);
    removeHelpers(wanted);
    while (helpers.size() < wanted && addHelper()) {
    }
    return threadCount();
}

int threadCount() { return int(helpers.size()) + 1; }

void destroyHelpers() { resizeThreads(1); }

void waitForIdleHelpers() {
    for (auto& h : helpers) waitIdle(*h);
}

void clearHelpers() {
    // Each helper empties its own caches.
    runInParallel([](int part, int) {
        if (part > 0) clearSearchState(helperThread(part));
    });
}

void runInParallel(void (*task)(int part, int parts)) {
    waitForIdleHelpers();
    {
        std::lock_guard lock(sharedMutex);
        helperCommand = RUN_PART;
        partTask = task;
        partCount = threadCount();
    }
    for (auto& h : helpers) wake(*h);
    task(0, threadCount());
    waitForIdleHelpers();
    setCommand(IDLE_CYCLE);
}

void startHelpers(SearchThread& main, void (*search)(SearchThread&)) {
    // Helpers of the previous search may still be unwinding.
    waitForIdleHelpers();
    helpersInSearch = search ? int(helpers.size()) : 0;
    searchMain = &main;
    if (helpersInSearch == 0) return;
    for (auto& h : helpers) {
        // Cleared here, while the helper waits: its own search start must not undo a stop that
        // comes before it has even begun, and the main thread's first checks must not read the
        // last search's counts. Safe although the counters are the helper's own: every helper is
        // idle (waitForIdleHelpers above) and writes them only after the hand-over that follows.
        h->thread.stopFlag = 0;
        h->thread.nodeCount = 0;
        h->thread.tbHits = 0;
        h->result.store(0, std::memory_order_relaxed);
    }
    iterationQuorum.store(std::max(1, (helpersInSearch + 1) / 2), std::memory_order_relaxed);
    {
        std::lock_guard lock(sharedMutex);
        sharedPosition = main.position;
        sharedSearchMoveCount = main.limits.searchMoveCount;
        std::copy_n(main.limits.searchMoves, sharedSearchMoveCount, sharedSearchMoves);
        searchTask = search;
        helperCommand = SEARCH;
    }
    for (auto& h : helpers) wake(*h);
}

void copyRootPosition(SearchThread& helper) {
    std::lock_guard lock(sharedMutex);
    helper.position = sharedPosition;
    helper.limits.searchMoveCount = sharedSearchMoveCount;
    std::copy_n(sharedSearchMoves, sharedSearchMoveCount, helper.limits.searchMoves);
}

void stopHelpers() {
    if (helpersInSearch == 0) return;
    // Every node reads its thread's stop flag, so this ends the helpers' searches at once; the
    // main thread does not wait for them to unwind.
    for (int i = 0; i < helpersInSearch; i++) helpers[i]->thread.stopFlag = 1;
}

namespace {

// A counter summed over the helpers taking part in the current search.
uint64_t helperSum(Relaxed<uint64_t> SearchThread::*counter) {
    uint64_t sum = 0;
    for (int i = 0; i < helpersInSearch; i++) sum += helpers[i]->thread.*counter;
    return sum;
}

}  // namespace

uint64_t helperNodes() { return helperSum(&SearchThread::nodeCount); }

void setNodeBudget(uint64_t nodes) { sharedNodeBudget.store(nodes, std::memory_order_relaxed); }
uint64_t nodeBudget() { return sharedNodeBudget.load(std::memory_order_relaxed); }

void stopWholeSearch() {
    searchMain->stopFlag = 1;
    stopHelpers();
}

uint64_t allSearchNodes() { return searchMain->nodeCount + helperNodes(); }
uint64_t helperTbHits() { return helperSum(&SearchThread::tbHits); }

void beginIteration(int iteration) { searchers[iteration].fetch_add(1, std::memory_order_relaxed); }
void endIteration(int iteration) { searchers[iteration].fetch_sub(1, std::memory_order_relaxed); }

int nextIteration(const SearchThread& thread, int iteration) {
    if (!isHelper(thread)) return iteration;
    // A helper passes over the iterations that half the threads are on already: it adds a depth
    // instead of repeating one, and its deeper results reach the main thread through the table
    // and its answer.
    const int enough = iterationQuorum.load(std::memory_order_relaxed);
    while (iteration < MAX_ITERATION - 1 &&
           searchers[iteration].load(std::memory_order_relaxed) >= enough)
        iteration++;
    return iteration;
}

void publishIteration(const SearchThread& thread, int depth, Move move, int score) {
    if (!isHelper(thread)) return;
    const uint64_t word = uint64_t(depth) << 40 | uint64_t(score + 32768) << 24 | (move & 0xffffff);
    helpers[thread.threadIndex - 1]->result.store(word, std::memory_order_relaxed);
}

HelperResult deepestHelperResult() {
    HelperResult best{0, NO_MOVE, 0};
    for (int i = 0; i < helpersInSearch; i++) {
        const uint64_t word = helpers[i]->result.load(std::memory_order_relaxed);
        const int depth = int(word >> 40);
        if (depth > best.depth)
            best = {depth, Move(word & 0xffffff), int((word >> 24) & 0xffff) - 32768};
    }
    return best;
}

SearchThread& helperThread(int index) { return helpers[index - 1]->thread; }

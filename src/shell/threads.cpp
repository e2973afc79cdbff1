#include "shell/threads.h"

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>

#include "shell/driver.h"
#include "shell/uci.h"

namespace {

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
    AutoResetEvent started, idle, wake;
    pthread_t handle;
    bool running = false;
    // Main thread's bookkeeping: the helper's idle signal of its current cycle has been consumed.
    bool knownIdle = false;
};

Helper helpers[HELPER_COUNT];
std::mutex sharedMutex;
int32_t helperCommand = IDLE_CYCLE;  // guarded by sharedMutex
Position sharedPosition;             // guarded by sharedMutex
int32_t sharedSearchMoveCount = 0;   // the root moves the go line listed, guarded likewise
Move sharedSearchMoves[MAX_MOVES];
int helpersInSearch = 0;  // helpers released for the latest search (main thread only)

// A line may run 255 plies deep, plus nested internal deepening and verification frames at the
// same ply. An alpha-beta frame with its move lists takes about 4.5 KB in the release build, so
// the deepest chain needs under 2 MB; sanitizer builds need several times that.
constexpr size_t HELPER_STACK_SIZE = size_t(32) << 20;

// How many threads search each iteration right now: a helper passes over one that enough threads
// are on already.
std::atomic<int> searchers[MAX_ITERATION + 1];
// The number of threads on one iteration after which helpers pass it over, set for each search
// (Threads may change while a helper of the last search still unwinds).
std::atomic<int> iterationQuorum{1};

// A helper's deepest completed iteration as one word, so that it is never read torn: depth in
// bits 40-47, score + 32768 in bits 24-39, move in bits 0-23; 0 when there is none.
std::atomic<uint64_t> helperResult[HELPER_COUNT];

int32_t readCommand() {
    std::lock_guard lock(sharedMutex);
    return helperCommand;
}
void setCommand(int32_t command) {
    std::lock_guard lock(sharedMutex);
    helperCommand = command;
}

int activeHelpers() { return threadCount - 1; }

void waitIdle(Helper& h) {
    if (h.knownIdle) return;
    h.idle.wait();
    h.knownIdle = true;
}
void wake(Helper& h) {
    h.knownIdle = false;
    h.wake.signal();
}

// One wait-and-obey cycle.
void helperStep(Helper& h) {
    h.idle.signal();
    h.wake.wait();
    switch (readCommand()) {
        case SEARCH: {
            // Without limits of their own: the main thread tells them when to stop.
            GoLimits limits;
            limits.holdBestMove = 1;
            startSearch(h.thread, limits);
            break;
        }
        case EXIT:
            h.thread.quitFlag = 1;
            break;
        default:
            break;
    }
}

void* helperMain(void* arg) {
    Helper& h = *static_cast<Helper*>(arg);
    h.started.signal();
    while (!h.thread.quitFlag) helperStep(h);
    return nullptr;
}

}  // namespace

void createHelpers() {
    setStartPosition(sharedPosition);
    helperCommand = IDLE_CYCLE;
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, HELPER_STACK_SIZE);
    for (int i = 0; i < HELPER_COUNT; i++) {
        Helper& h = helpers[i];
        initThread(h.thread, i);
        h.running = pthread_create(&h.handle, &attr, helperMain, &h) == 0;
        if (h.running) h.started.wait();
    }
    pthread_attr_destroy(&attr);
}

void waitForIdleHelpers() {
    for (Helper& h : helpers)
        if (h.running) waitIdle(h);
}

void destroyHelpers() {
    waitForIdleHelpers();
    setCommand(EXIT);
    for (Helper& h : helpers) {
        if (!h.running) continue;
        wake(h);
        pthread_join(h.handle, nullptr);
        h.running = false;
        releaseThread(h.thread);
    }
}

void syncHelpers(SearchThread& thread) {
    if (thread.threadIndex != MAIN_THREAD || threadCount <= 1) return;
    // Helpers of the previous search may still be unwinding, whether or not they take part now.
    for (int i = 0; i < helpersInSearch; i++) waitIdle(helpers[i]);
    for (int i = 0; i < activeHelpers(); i++) waitIdle(helpers[i]);
    setCommand(IDLE_CYCLE);
    for (int i = 0; i < activeHelpers(); i++) wake(helpers[i]);
}

void copyRootPosition(SearchThread& thread) {
    std::lock_guard lock(sharedMutex);
    if (thread.threadIndex == MAIN_THREAD) {
        if (threadCount < 2) return;
        sharedPosition = thread.position;
        sharedSearchMoveCount = thread.searchMoveCount;
        std::copy_n(thread.searchMoves, thread.searchMoveCount, sharedSearchMoves);
    } else {
        thread.position = sharedPosition;
        thread.searchMoveCount = sharedSearchMoveCount;
        std::copy_n(sharedSearchMoves, sharedSearchMoveCount, thread.searchMoves);
    }
}

void releaseHelpers(SearchThread& thread) {
    if (thread.threadIndex != MAIN_THREAD) return;
    if (threadCount <= 1) {
        // Helpers of an earlier search with more threads must be idle before this one counts.
        for (int i = 0; i < helpersInSearch; i++) waitIdle(helpers[i]);
        helpersInSearch = 0;
        return;
    }
    for (int i = 0; i < activeHelpers(); i++) {
        waitIdle(helpers[i]);
        // Cleared here, while the helper waits: its own search start must not undo a stop that
        // comes before it has even begun.
        helpers[i].thread.stopFlag = 0;
    }
    for (auto& result : helperResult) result.store(0, std::memory_order_relaxed);
    helpersInSearch = activeHelpers();
    iterationQuorum.store(std::max(1, (helpersInSearch + 1) / 2), std::memory_order_relaxed);
    setCommand(SEARCH);
    for (int i = 0; i < helpersInSearch; i++) wake(helpers[i]);
}

void stopHelpers(SearchThread& thread) {
    if (thread.threadIndex != MAIN_THREAD || threadCount <= 1) return;
    setCommand(STOP);
    // Every node reads its thread's stop flag, so this ends the helpers' searches at once; the
    // main thread does not wait for them to unwind.
    for (int i = 0; i < helpersInSearch; i++) helpers[i].thread.stopFlag = 1;
}

bool helperShouldStop() {
    const int32_t command = readCommand();
    return command == STOP || command == EXIT;
}

uint64_t helperNodes() {
    uint64_t nodes = 0;
    for (int i = 0; i < activeHelpers(); i++) nodes += helpers[i].thread.nodeCount;
    return nodes;
}

void clearHelpers() {
    waitForIdleHelpers();
    for (Helper& h : helpers)
        if (h.running) clearSearchState(h.thread);
}

void beginIteration(int iteration) { searchers[iteration].fetch_add(1, std::memory_order_relaxed); }
void endIteration(int iteration) { searchers[iteration].fetch_sub(1, std::memory_order_relaxed); }

int nextIteration(const SearchThread& thread, int iteration) {
    if (thread.threadIndex == MAIN_THREAD) return iteration;
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
    if (thread.threadIndex == MAIN_THREAD) return;
    const uint64_t word = uint64_t(depth) << 40 | uint64_t(score + 32768) << 24 | (move & 0xffffff);
    helperResult[thread.threadIndex].store(word, std::memory_order_relaxed);
}

HelperResult deepestHelperResult() {
    HelperResult best{0, NO_MOVE, 0};
    for (int i = 0; i < helpersInSearch; i++) {
        const uint64_t word = helperResult[i].load(std::memory_order_relaxed);
        const int depth = int(word >> 40);
        if (depth > best.depth)
            best = {depth, Move(word & 0xffffff), int((word >> 24) & 0xffff) - 32768};
    }
    return best;
}

SearchThread& helperThread(int index) { return helpers[index].thread; }

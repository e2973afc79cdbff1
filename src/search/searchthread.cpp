#include "search/searchthread.h"

#include <chrono>
#include <cstring>

#include "eval/material.h"
#include "eval/pawns.h"

namespace {

std::chrono::steady_clock::duration sinceStart() {
    static const auto origin = std::chrono::steady_clock::now();
    return std::chrono::steady_clock::now() - origin;
}

}  // namespace

int32_t clockMs() {
    return int32_t(std::chrono::duration_cast<std::chrono::milliseconds>(sinceStart()).count());
}

int64_t clockMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(sinceStart()).count();
}

void initThread(SearchThread& thread, int index) {
    thread.threadIndex = index;
    thread.stopFlag = 0;
    thread.nodeCount = 0;
    thread.pollCountdown = thread.checkInterval = POLL_INTERVAL;
    thread.selDepth = 0;
    thread.hooks = nullptr;
    thread.limits = {};
    thread.state = {};
    thread.state.startTime = clockMs();
    setStartPosition(thread.position);
    clearOrderingTables(thread.orderingTables);
    // Both caches start zero-filled, the material table first.
    thread.materialTable = new MaterialTable();
    thread.pawnTable = new PawnHashTable();
}

void releaseThread(SearchThread& thread) {
    delete thread.materialTable;
    delete thread.pawnTable;
    thread.materialTable = nullptr;
    thread.pawnTable = nullptr;
}

void clearSearchState(SearchThread& thread) {
    std::memset(thread.materialTable, 0, sizeof *thread.materialTable);
    std::memset(thread.pawnTable, 0, sizeof *thread.pawnTable);
    clearOrderingTables(thread.orderingTables);
}

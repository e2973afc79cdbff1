#include "shell/searchthread.h"

#include <chrono>
#include <cstring>

#include "eval/material.h"
#include "eval/pawns.h"

int32_t clockMs() {
    static const auto origin = std::chrono::steady_clock::now();
    const auto elapsed = std::chrono::steady_clock::now() - origin;
    return int32_t(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

void initThread(SearchThread& thread, int index) {
    thread.threadIndex = index;
    thread.startTime = clockMs();
    // A record that has never searched withholds its best move.
    thread.holdBestMove = 1;
    thread.depthLimited = thread.depthLimit = 0;
    thread.timeLimited = thread.softTime = thread.hardTime = 0;
    thread.stopFlag = 0;
    thread.quitFlag = thread.ponderHit = 0;
    thread.iteration = thread.rootMoveIndex = thread.bestMove = 0;
    thread.bestScore = NO_SCORE;
    thread.previousScore = thread.rootResearched = thread.easyMove = 0;
    thread.scoreDropped = thread.previousScoreDropped = 0;
    thread.nodeCount = 0;
    thread.pollCountdown = POLL_INTERVAL;
    thread.nodesLimited = thread.mateLimit = thread.searchMoveCount = 0;
    thread.nodeLimit = 0;
    thread.reportDepth = thread.reportScore = thread.scoreShown = thread.completedDepth = 0;
    thread.multiPv = 1;
    thread.pvLineDepth = thread.pvLineCount = 0;
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

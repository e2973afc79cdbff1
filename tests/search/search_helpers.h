// A search thread of its own for library-level search tests, and FEN set-up for it.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "search/tt.h"
#include "shell/driver.h"
#include "shell/notation.h"
#include "shell/searchthread.h"
#include "shell/uci.h"

struct SearchResult {
    int score;
    Move bestMove;
    uint64_t nodes;
};

struct ThreadDeleter {
    void operator()(SearchThread* t) const {
        releaseThread(*t);
        delete t;
    }
};
using ThreadPtr = std::unique_ptr<SearchThread, ThreadDeleter>;

inline ThreadPtr newMainThread() {
    ThreadPtr thread(new SearchThread());
    initThread(*thread, MAIN_THREAD);
    return thread;
}

// Sets the thread's position from "placement side castling ep".
inline bool setFen(SearchThread& thread, const std::string& fen) {
    char f[4][100];
    if (std::sscanf(fen.c_str(), "%99s %99s %99s %99s", f[0], f[1], f[2], f[3]) != 4) return false;
    return readFen(thread.position, f[0], f[1], f[2], f[3]);
}

// A fixed-depth search on a fresh table, as the go command runs it, without output.
inline SearchResult searchTo(SearchThread& thread, int depth) {
    if (tt.entries == nullptr) ttResize(16);
    ttClear();
    positionValid = true;
    benchMode = true;
    startSearch(thread, 0, 1, depth, 0, 0, 0);
    benchMode = false;
    return {thread.bestScore, Move(thread.bestMove), thread.nodeCount};
}

inline SearchResult searchFen(const std::string& fen, int depth) {
    ThreadPtr thread = newMainThread();
    EXPECT_TRUE(setFen(*thread, fen)) << fen;
    return searchTo(*thread, depth);
}

inline std::string text(Move m) {
    char buffer[6];
    moveToText(m, buffer);
    return buffer;
}

// A search thread of its own for library-level search tests, and FEN set-up for it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "board/notation.h"
#include "search/driver.h"
#include "search/searchthread.h"
#include "search/tt.h"
#include "shell/bench.h"
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
    return readFenText(thread.position, fen.c_str());
}

// A fixed-depth search on a fresh table, as the go command runs it, without output.
inline SearchResult searchTo(SearchThread& thread, int depth) {
    searchFromScratch(thread, depth);
    return {thread.state.bestScore, Move(thread.state.bestMove), thread.nodeCount};
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

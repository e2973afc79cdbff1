// Helper threads: many short four-thread searches, stop and quit while they run, Threads and Hash
// changed between searches (and right after a bestmove, while helpers may still unwind), helpers
// that stop at their next node and use no processor time between searches, and helpers that
// take no part staying idle; helpers passing over the iterations others search. Run under the
// thread sanitizer by the tsan preset.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "search/search_helpers.h"
#include "search/threads.h"
#include "shell/bench.h"
#include "shell/engine_process.h"
#include "shell/options.h"

using namespace engine_process;

namespace {

// Every bestmove names a legal move of the position set just before its go.
void expectLegalAnswers(const std::string& input, const std::string& output) {
    ThreadPtr board = newMainThread();
    size_t in = 0, out = 0;
    for (;;) {
        const size_t go = input.find("\ngo ", in);
        if (go == std::string::npos) break;
        const size_t start = input.rfind("position fen ", go);
        ASSERT_TRUE(setFen(*board, input.substr(start + 13, go - start - 13)));
        out = output.find("bestmove ", out);
        ASSERT_NE(out, std::string::npos) << output;
        const std::string move =
            output.substr(out + 9, output.find_first_of(" \n", out + 9) - out - 9);
        EXPECT_NE(textToMove(board->position, move.c_str()), NO_MOVE) << move;
        in = go + 1;
        out++;
    }
}

}  // namespace

TEST(ThreadsDialogue, ManyShortSearchesAndChangingThreadCounts) {
    // As a GUI does, each search is sent when the last bestmove has come.
    Engine e = startEngine();
    std::string input, output;
    const int counts[] = {4, 2, 1, 3};
    for (int i = 0; i < 24; i++) {
        std::string lines;
        if (i % 6 == 0)
            lines += "setoption name Threads value " + std::to_string(counts[i / 6]) + "\n";
        lines += std::string("position fen ") + BenchPositions[i] + "\n";
        lines += i % 2 ? "go movetime 20\n" : "go depth 6\n";
        std::string out;
        ASSERT_TRUE(exchange(e, lines, out, false, "bestmove"));
        while (out.find('\n', out.find("bestmove")) == std::string::npos)
            ASSERT_TRUE(exchange(e, "", out, false, "\n"));
        // Hash replaced right after a bestmove, while helpers may still be unwinding.
        if (i % 5 == 4) {
            ASSERT_TRUE(exchange(
                e, "setoption name Hash value " + std::to_string(16 << (i % 3)) + "\nisready\n",
                out, false, "readyok"));
        }
        input += lines;
        output += out;
    }
    EXPECT_EQ(count(output, "bestmove "), 24) << output;
    expectLegalAnswers(input, output);
    std::string rest;
    exchange(e, "quit\n", rest, true);
    EXPECT_EQ(waitEngine(e), 0);
}

TEST(ThreadsDialogue, StopQuitAndNewSearchesWhileHelpersUnwind) {
    Engine e = startEngine();
    std::string out;
    const std::string start =
        "setoption name Threads value 4\nposition fen " + std::string(BenchPositions[1]) + "\n";
    ASSERT_TRUE(exchange(e, start + "go infinite\nisready\n", out, false, "readyok"));
    usleep(200000);
    ASSERT_TRUE(exchange(e, "stop\n", out, false, "bestmove"));
    // A new go at once: the next search waits for the helpers of the last one.
    for (int i = 0; i < 5; i++) {
        out.clear();
        ASSERT_TRUE(exchange(e, "go movetime 30\n", out, false, "bestmove"));
    }
    out.clear();
    ASSERT_TRUE(exchange(e, "go infinite\n", out, false, "info depth 7"));
    ASSERT_TRUE(exchange(e, "quit\n", out, true, "bestmove"));
    EXPECT_EQ(waitEngine(e), 0);
}

// The last line with a score before a bestmove, and the first move of its pv.
std::string lastScoredMove(const std::string& out) {
    const size_t at = out.rfind(" score ");
    if (at == std::string::npos) return "";
    const size_t pv = out.find(" pv ", at);
    if (pv == std::string::npos || pv > out.find('\n', at)) return "";
    return out.substr(pv + 4, out.find_first_of(" \n", pv + 4) - pv - 4);
}

TEST(ThreadsDialogue, AnswersFromAnyThreadAgreeWithTheirScoreLines) {
    // Helpers run ahead of the main thread and may give the answer: it is still legal, shown with
    // its score, and ends a depth search once some thread has completed the depth.
    Engine e = startEngine();
    send(e, "setoption name Threads value 2\n");
    std::string input;
    std::string output;
    for (int p : {0, 6, 13, 22, 27}) {
        const std::string lines = "position fen " + std::string(BenchPositions[p]) + "\n" +
                                  (p % 2 ? "go depth 9\n" : "go movetime 300\n");
        const std::string out = bestMoveAfter(e, lines);
        const size_t best = out.rfind("bestmove ");
        ASSERT_NE(best, std::string::npos) << out;
        EXPECT_EQ(out.substr(best + 9, out.find_first_of(" \n", best + 9) - best - 9),
                  lastScoredMove(out))
            << out;
        input += lines;
        output += out;
    }
    expectLegalAnswers(input, output);
    // A depth of 0 still completes the first iteration and shows its score.
    std::string out = bestMoveAfter(e, "position startpos\ngo depth 0\n");
    EXPECT_NE(out.find(" score cp "), std::string::npos) << out;
    // Several lines are the main thread's own: all of them at the depth asked for.
    out = bestMoveAfter(e, "setoption name MultiPV value 3\nposition fen " +
                               std::string(BenchPositions[2]) + "\ngo depth 8\n");
    int lines = 0;
    std::istringstream in(out);
    for (std::string l; std::getline(in, l);)
        lines += l.rfind("info depth 8 ", 0) == 0 && l.find(" multipv ") != std::string::npos;
    EXPECT_EQ(lines, 3) << out;
    expectExit(e, "quit\n");
}

// Processor time the process has used so far, in clock ticks.
long processorTicks(pid_t pid) {
    FILE* f = std::fopen(("/proc/" + std::to_string(pid) + "/stat").c_str(), "r");
    if (!f) return -1;
    char text[1024] = "";
    const size_t n = std::fread(text, 1, sizeof text - 1, f);
    std::fclose(f);
    text[n] = '\0';
    // utime and stime are the 14th and 15th fields; the command name may hold blanks.
    const char* p = std::strrchr(text, ')');
    long utime = 0, stime = 0;
    if (!p || std::sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %ld %ld", &utime,
                          &stime) != 2)
        return -1;
    return utime + stime;
}

TEST(ThreadsDialogue, HelpersUseNoProcessorTimeBetweenSearches) {
    Engine e = startEngine();
    std::string out;
    ASSERT_TRUE(exchange(e,
                         "setoption name Threads value 4\nposition fen " +
                             std::string(BenchPositions[9]) + "\ngo infinite\nisready\n",
                         out, false, "readyok"));
    usleep(300000);
    ASSERT_TRUE(exchange(e, "stop\n", out, false, "bestmove"));
    usleep(50000);
    const long before = processorTicks(e.pid);
    usleep(400000);
    const long after = processorTicks(e.pid);
    ASSERT_GE(before, 0);
    // A clock tick is 10 ms; four searching threads would have used some 160 in this while.
    EXPECT_LE(after - before, 2);
    ASSERT_TRUE(exchange(e, "go depth 1\n", out, false, "bestmove"));
    ASSERT_TRUE(exchange(e, "quit\n", out, true));
    EXPECT_EQ(waitEngine(e), 0);
}

TEST(ThreadsInProcess, StoppedHelpersCountNoFurtherNodes) {
    ASSERT_EQ(resizeThreads(4), 4);
    ThreadPtr thread = newMainThread();
    for (int p : {5, 9, 12}) {
        ASSERT_TRUE(setFen(*thread, BenchPositions[p]));
        searchTo(*thread, 9);
        // The search is over and the helpers are told: each unwinds without a node more than
        // the one it may have been entering (it used to run on to its next periodic check).
        uint64_t atStop[4];
        for (int i = 1; i < 4; i++) atStop[i] = helperThread(i).nodeCount;
        waitForIdleHelpers();
        for (int i = 1; i < 4; i++)
            EXPECT_LE(helperThread(i).nodeCount - atStop[i], 4u) << p << " helper " << i;
    }
    destroyHelpers();
}

TEST(ThreadsInProcess, ThePoolGrowsAndShrinksBetweenSearches) {
    ThreadPtr thread = newMainThread();
    ASSERT_TRUE(setFen(*thread, BenchPositions[5]));
    ASSERT_EQ(resizeThreads(4), 4);
    searchTo(*thread, 8);
    waitForIdleHelpers();
    for (int i = 1; i < 4; i++) EXPECT_GT(helperThread(i).nodeCount, 0u);

    // Shrinking ends the helpers past the count; those left search and are counted.
    ASSERT_EQ(resizeThreads(2), 2);
    searchTo(*thread, 8);
    waitForIdleHelpers();
    EXPECT_EQ(helperNodes(), helperThread(1).nodeCount);
    EXPECT_GT(helperNodes(), 0u);

    // Growing again starts new helpers with empty caches; counts beyond the range clamp.
    EXPECT_EQ(resizeThreads(6), 6);
    EXPECT_EQ(resizeThreads(0), 1);
    EXPECT_EQ(helperNodes(), 0u);
    // With one thread the search is the plain single-thread one, node for node.
    const SearchResult single = searchTo(*thread, 8);
    EXPECT_EQ(helperNodes(), 0u);
    ThreadPtr fresh = newMainThread();
    ASSERT_TRUE(setFen(*fresh, BenchPositions[5]));
    EXPECT_EQ(searchTo(*fresh, 8).nodes, single.nodes);
}

TEST(ThreadsInProcess, HelpersPassOverIterationsHalfTheThreadsSearch) {
    ThreadPtr thread = newMainThread();
    // Searches that end with helpers cut off inside an iteration leave no thread counted on one.
    ASSERT_EQ(resizeThreads(4), 4);
    SearchThread& helper = helperThread(1);
    for (int p : {3, 17, 22}) {
        ASSERT_TRUE(setFen(*thread, BenchPositions[p]));
        EXPECT_NE(searchTo(*thread, 8).bestMove, NO_MOVE) << p;
        waitForIdleHelpers();
        for (int i = 1; i < MAX_ITERATION; i++) ASSERT_EQ(nextIteration(helper, i), i) << p;
    }
    // Of four threads, two on an iteration are enough; the main thread never passes one over.
    beginIteration(7);
    EXPECT_EQ(nextIteration(helper, 7), 7);
    beginIteration(7);
    beginIteration(8);
    beginIteration(8);
    EXPECT_EQ(nextIteration(helper, 7), 9);
    EXPECT_EQ(nextIteration(*thread, 7), 7);
    for (int i : {7, 7, 8, 8}) endIteration(i);
    // Of two, one is.
    ASSERT_EQ(resizeThreads(2), 2);
    searchTo(*thread, 6);
    waitForIdleHelpers();
    beginIteration(7);
    EXPECT_EQ(nextIteration(helperThread(1), 7), 8);
    endIteration(7);
    destroyHelpers();
}

namespace {

// What `go nodes` at several threads may spend beyond its budget, as the README states it: the
// helpers check the budget as the main thread does, and all stop at their next node once one
// thread finds it spent.
uint64_t nodeBudgetTolerance(uint64_t budget, int threads) {
    return budget / 50 + 1024 * uint64_t(threads);
}

// Nodes of every thread of the search that just ended, counted once all have stopped.
uint64_t nodesOnceIdle(const SearchThread& thread) {
    waitForIdleHelpers();
    return searchNodes(thread);
}

uint64_t budgetSearch(SearchThread& thread, uint64_t nodes) {
    GoLimits limits;
    limits.nodesLimited = 1;
    limits.nodeLimit = nodes;
    startSearch(thread, limits, nullptr);
    return nodesOnceIdle(thread);
}

}  // namespace

TEST(ThreadsInProcess, ANodeBudgetHoldsFreshAndAfterADeeperSearch) {
    // KESTRUN_NODE_FIGURES=1 runs the closing note's measurement: 20 searches of each kind after
    // a depth 11 search, with the maximum and median printed.
    const bool figures = std::getenv("KESTRUN_NODE_FIGURES") != nullptr;
    const int runs = figures ? 20 : 3;
    const int deeper = figures ? 11 : 8;
    constexpr uint64_t Budget = 20000;
    const char* const fen = "r1bq1rk1/ppp2ppp/2np1n2/2b1p3/2B1P3/2PP1N2/PP3PPP/RNBQ1RK1 w - -";
    for (int threads : {2, 4}) {
        for (bool afterDeeper : {false, true}) {
            std::vector<uint64_t> totals;
            for (int run = 0; run < runs; run++) {
                // Fresh: new helpers, an empty table and caches, as a new process has them.
                destroyHelpers();
                ASSERT_EQ(resizeThreads(threads), threads);
                ThreadPtr thread = newMainThread();
                ASSERT_TRUE(setFen(*thread, fen));
                clearHash();
                if (afterDeeper) {
                    searchTo(*thread, deeper);
                    nodesOnceIdle(*thread);
                }
                const uint64_t total = budgetSearch(*thread, Budget);
                EXPECT_GE(total, Budget) << threads << " threads";
                EXPECT_LE(total, Budget + nodeBudgetTolerance(Budget, threads))
                    << threads << " threads" << (afterDeeper ? " after a deeper search" : "");
                totals.push_back(total);
            }
            std::sort(totals.begin(), totals.end());
            if (figures)
                std::printf("go nodes %llu, Threads %d, %s: median %llu, max %llu over %d\n",
                            static_cast<unsigned long long>(Budget), threads,
                            afterDeeper ? "after go depth 11" : "fresh",
                            static_cast<unsigned long long>(totals[totals.size() / 2]),
                            static_cast<unsigned long long>(totals.back()), runs);
        }
    }
    destroyHelpers();
}

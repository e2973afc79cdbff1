// Any thread count and table size: pools of 8 to 64 threads started, stopped, shrunk and grown
// between searches (run under the thread sanitizer by the tsan preset), tables from 1 MB to
// 2 GB, a table the system cannot give, and the single-thread fingerprint at several sizes.
#include <gtest/gtest.h>

#include <string>

#include "search/search_helpers.h"
#include "search/tt.h"
#include "shell/bench.h"
#include "shell/engine_process.h"

using namespace engine_process;

namespace {

// The move a bestmove line names is legal in the position.
void expectLegalAnswer(const char* fen, const std::string& out) {
    const size_t at = out.rfind("bestmove ");
    ASSERT_NE(at, std::string::npos) << out;
    const std::string move = out.substr(at + 9, out.find_first_of(" \n", at + 9) - at - 9);
    ThreadPtr board = newMainThread();
    ASSERT_TRUE(setFen(*board, fen));
    EXPECT_NE(textToMove(board->position, move.c_str()), NO_MOVE) << fen << "\n" << out;
}

std::string positionLine(const char* fen) { return std::string("position fen ") + fen + "\n"; }

// The node count of the last line that closes an iteration, and the bestmove line.
std::string countAndAnswer(const std::string& out) {
    const size_t last = out.rfind("\ninfo depth ");
    const size_t nodes = out.find(" nodes ", last);
    return out.substr(nodes, out.find(" nps", nodes) - nodes) + out.substr(out.rfind("bestmove"));
}

}  // namespace

TEST(ThreadsDialogue, PoolsOfEightToSixtyFourStopShrinkGrowAndQuit) {
    Engine e = startEngine();
    const char* fen = BenchPositions[9];
    send(e, "setoption name Threads value 8\n" + positionLine(fen));
    expectLegalAnswer(fen, bestMoveAfter(e, "go depth 8\n"));
    say(e, "go infinite\nisready\n", "readyok");
    usleep(100000);
    expectLegalAnswer(fen, bestMoveAfter(e, "stop\n"));

    fen = BenchPositions[13];
    send(e, "setoption name Threads value 64\n" + positionLine(fen));
    expectLegalAnswer(fen, bestMoveAfter(e, "go movetime 200\n"));
    say(e, "go infinite\nisready\n", "readyok");
    usleep(100000);
    expectLegalAnswer(fen, bestMoveAfter(e, "stop\n"));

    // Shrunk to one thread: the plain search, counted as a fresh process counts it.
    const std::string single =
        countAndAnswer(bestMoveAfter(e, "setoption name Threads value 1\nucinewgame\n" +
                                            positionLine(BenchPositions[2]) + "go depth 7\n"));
    Engine fresh = startEngine();
    EXPECT_EQ(
        countAndAnswer(bestMoveAfter(fresh, positionLine(BenchPositions[2]) + "go depth 7\n")),
        single);
    expectExit(fresh, "quit\n");

    fen = BenchPositions[21];
    send(e, "setoption name Threads value 32\n" + positionLine(fen));
    expectLegalAnswer(fen, bestMoveAfter(e, "go wtime 500 btime 500\n"));
    // quit during a search: its answer first, then the exit.
    say(e, "go infinite\nisready\n", "readyok");
    usleep(100000);
    std::string out;
    exchange(e, "quit\n", out, true);
    expectLegalAnswer(fen, out);
    EXPECT_EQ(waitEngine(e), 0);
}

TEST(HashSizes, SmallLargeAndRefusedTablesAllSearch) {
    Engine e = startEngine();
    const char* fen = BenchPositions[5];
    for (const char* hash : {"1", "2048", "3"}) {
        const std::string out = bestMoveAfter(e, std::string("setoption name Hash value ") + hash +
                                                     "\n" + positionLine(fen) + "go depth 9\n");
        EXPECT_EQ(out.find("info string"), std::string::npos) << out;
        expectLegalAnswer(fen, out);
    }
    // More than the system gives: one line says so, the old table stays and the next search
    // runs on it.
    const std::string out = bestMoveAfter(
        e, "setoption name Hash value 33554432\nuci\n" + positionLine(fen) + "go depth 9\n");
    EXPECT_EQ(count(out,
                    "info string Hash 33554432 MB could not be allocated; the table stays "
                    "at 2 MB\n"),
              1)
        << out;
    EXPECT_NE(out.find("option name Hash type spin default 3 min 1 max 33554432\n"),
              std::string::npos);
    expectLegalAnswer(fen, out);
    expectExit(e, "quit\n");
}

// The table's size changes which entries collide, but at one thread and a fresh table of 16 to
// 512 MB the search counts exactly the same.
TEST(HashSizes, SingleThreadCountsAreTheSameFrom16To512) {
    const uint64_t expected[4] = {21392, 437423, 17658, 119197};
    for (int megabytes : {64, 512, 16}) {
        ASSERT_TRUE(ttResize(megabytes));
        for (int i = 0; i < 4; i++) {
            ThreadPtr thread = newMainThread();
            ASSERT_TRUE(setFen(*thread, BenchPositions[i]));
            EXPECT_EQ(searchTo(*thread, 7).nodes, expected[i]) << megabytes << " MB, " << i;
        }
    }
}

// The go line's limits: the time arithmetic with its worked examples, the own clock, movestogo,
// and the mended edges (negative clocks, a keyword with no value, overflowing products).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "board/notation.h"
#include "search/timeman.h"
#include "shell/go.h"
#include "shell/options.h"

namespace {

GoLimits limits(const std::string& go, int side = White) {
    static std::string storage;
    storage = go;
    TokenLine line;
    line.text.assign(storage.begin(), storage.end());
    line.text.push_back('\0');
    char* p = line.text.data();
    for (char* t = strtok(p, " "); t; t = strtok(nullptr, " ")) line.tokens.push_back(t);
    line.count = int(line.tokens.size());
    static Position pos;
    setStartPosition(pos);
    pos.sideToMove = side;
    return goLimits(pos, line);
}

void expectTimes(const GoLimits& l, int soft, int hard) {
    EXPECT_TRUE(l.timeLimited);
    EXPECT_EQ(l.softTime, soft);
    EXPECT_EQ(l.hardTime, hard);
}

}  // namespace

TEST(GoLimits, ClockArithmetic) {
    ASSERT_EQ(settings.moveOverhead, DEFAULT_MOVE_OVERHEAD);
    ASSERT_EQ(DEFAULT_MOVE_OVERHEAD, 50);
    expectTimes(limits("go wtime 60000 btime 60000"), 2278, 28475);
    expectTimes(limits("go wtime 10000 btime 10000 winc 100 binc 100 movestogo 10"), 990, 4950);
    expectTimes(limits("go movetime 1000"), 5000, 1000);
    // movestogo above 25 (or 0) counts as 25.
    expectTimes(limits("go wtime 60000 movestogo 40"), 2278, 28475);
    expectTimes(limits("go wtime 60000 movestogo 0"), 2278, 28475);
    // The reserve is 5 % rounded up and the overhead: 53 ms or less leaves nothing available,
    // whatever the increment, and a millisecond more buys a millisecond.
    expectTimes(limits("go wtime 53 winc 5000"), 0, 0);
    expectTimes(limits("go wtime 54 winc 5000"), 1, 1);
    // A 1 ms, a 100 ms and a 10 s clock keep back exactly what the rule says, and a clock above
    // the reserve never plans a zero budget.
    EXPECT_EQ(clockReserve(1, 50), 51);
    expectTimes(limits("go wtime 1"), 0, 0);
    EXPECT_EQ(clockReserve(100, 50), 55);
    expectTimes(limits("go wtime 100"), 1, 22);
    EXPECT_EQ(clockReserve(10000, 50), 550);
    expectTimes(limits("go wtime 10000"), 378, 4725);
    // An increment counts less the overhead, which every move spends again.
    expectTimes(limits("go wtime 1000 winc 10"), 36, 450);
    expectTimes(limits("go wtime 1000 winc 150"), 132, 900);
    for (int time = 54; time < 3000; time++)
        EXPECT_GE(limits("go wtime " + std::to_string(time)).softTime, 1) << time;
    // Black reads its own clock.
    expectTimes(limits("go wtime 1 btime 60000 winc 99999", Black), 2278, 28475);
    const GoLimits none = limits("go depth 5");
    EXPECT_FALSE(none.timeLimited);
    EXPECT_TRUE(none.depthLimited);
    EXPECT_EQ(none.depthLimit, 5);
}

TEST(GoLimits, FlagsAndMendedEdges) {
    GoLimits l = limits("go ponder wtime 60000 btime 60000");
    EXPECT_TRUE(l.holdBestMove);
    expectTimes(l, 2278, 28475);
    EXPECT_TRUE(limits("go infinite").holdBestMove);
    EXPECT_FALSE(limits("go infinite").timeLimited);
    EXPECT_TRUE(limits("go depth 0").depthLimited);
    // A negative clock is no time left, not a missing clock.
    expectTimes(limits("go wtime -500 btime 60000"), 0, 0);
    expectTimes(limits("go movetime -1"), 0, 0);
    // A keyword as the last token has no value.
    EXPECT_FALSE(limits("go wtime").timeLimited);
    EXPECT_FALSE(limits("go infinite depth").depthLimited);
    // Products beyond 32 bits do not wrap.
    expectTimes(limits("go movetime 2147483647"), INT32_MAX, INT32_MAX);
    l = limits("go wtime 99999999999 winc 99999999999 movestogo 2");
    EXPECT_GT(l.softTime, 0);
    EXPECT_GE(l.hardTime, l.softTime);
    // A later keyword overrides an earlier one.
    expectTimes(limits("go movetime 10 movetime 20"), 100, 20);
}

TEST(GoLimits, NodesMateAndTheMoveOverhead) {
    GoLimits l = limits("go nodes 5000 mate 3");
    EXPECT_TRUE(l.nodesLimited);
    EXPECT_EQ(l.nodeLimit, 5000u);
    EXPECT_EQ(l.mateLimit, 3);
    EXPECT_FALSE(l.timeLimited);
    EXPECT_FALSE(l.depthLimited);
    EXPECT_TRUE(limits("go nodes 0").nodesLimited);
    // Missing, negative or non-numeric values are absent; a huge count saturates.
    for (const char* go : {"go nodes", "go nodes -5", "go nodes abc", "go nodes depth 5"})
        EXPECT_FALSE(limits(go).nodesLimited) << go;
    EXPECT_EQ(limits("go nodes 99999999999999999999999").nodeLimit, uint64_t(INT64_MAX));
    for (const char* go : {"go mate", "go mate -2", "go mate x", "go mate 0"})
        EXPECT_EQ(limits(go).mateLimit, 0) << go;
    // An unusable value leaves the earlier one of its keyword.
    EXPECT_EQ(limits("go nodes 1000 nodes -5 depth 8").nodeLimit, 1000u);
    EXPECT_EQ(limits("go nodes 1000 nodes abc").nodeLimit, 1000u);
    EXPECT_EQ(limits("go mate 1 mate x depth 5").mateLimit, 1);

    // The clock rule keeps back the Move Overhead instead of a fixed second.
    settings.moveOverhead = 100;
    expectTimes(limits("go wtime 60000 btime 60000"), 2276, 28450);
    expectTimes(limits("go wtime 1000 winc 100"), 34, 425);
    settings.moveOverhead = 1000;
    expectTimes(limits("go wtime 60000 btime 60000"), 2240, 28000);
    settings.moveOverhead = DEFAULT_MOVE_OVERHEAD;
}

TEST(GoLimits, SearchMovesKeepTheLegalOnesInGenerationOrder) {
    auto listed = [](const std::string& go) {
        const GoLimits l = limits(go);
        std::string moves;
        char text[6];
        for (int i = 0; i < l.searchMoveCount; i++) {
            moveToText(l.searchMoves[i], text);
            moves += std::string(moves.empty() ? "" : " ") + text;
        }
        return moves;
    };
    // Garbage, illegal texts and repeats are skipped; the list ends at the next keyword.
    EXPECT_EQ(listed("go searchmoves e2e4 zz a2a3 e2e5 e2e4 depth 6"), "a2a3 e2e4");
    EXPECT_TRUE(limits("go searchmoves e2e4 depth 6").depthLimited);
    EXPECT_EQ(listed("go depth 3 searchmoves g1f3 infinite b1c3"), "g1f3");
    EXPECT_EQ(listed("go searchmoves e7e5 h2h5"), "");
    EXPECT_EQ(listed("go searchmoves"), "");
}

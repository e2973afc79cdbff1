// The go line's limits: the time arithmetic with its worked examples, the own clock, movestogo,
// and the mended edges (negative clocks, a keyword with no value, overflowing products).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "shell/go.h"

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
    return goLimits(side, line);
}

void expectTimes(const GoLimits& l, int soft, int hard) {
    EXPECT_TRUE(l.timeLimited);
    EXPECT_EQ(l.softTime, soft);
    EXPECT_EQ(l.hardTime, hard);
}

}  // namespace

TEST(GoLimits, ClockArithmetic) {
    expectTimes(limits("go wtime 60000 btime 60000"), 2240, 28000);
    expectTimes(limits("go wtime 10000 btime 10000 winc 100 binc 100 movestogo 10"), 940, 4700);
    expectTimes(limits("go movetime 1000"), 5000, 1000);
    // movestogo above 25 (or 0) counts as 25.
    expectTimes(limits("go wtime 60000 movestogo 40"), 2240, 28000);
    expectTimes(limits("go wtime 60000 movestogo 0"), 2240, 28000);
    // 1053 ms or less leaves nothing available, whatever the increment.
    expectTimes(limits("go wtime 1053 winc 5000"), 0, 0);
    // Black reads its own clock.
    expectTimes(limits("go wtime 1 btime 60000 winc 99999", Black), 2240, 28000);
    const GoLimits none = limits("go depth 5");
    EXPECT_FALSE(none.timeLimited);
    EXPECT_TRUE(none.depthLimited);
    EXPECT_EQ(none.depthLimit, 5);
}

TEST(GoLimits, FlagsAndMendedEdges) {
    GoLimits l = limits("go ponder wtime 60000 btime 60000");
    EXPECT_TRUE(l.holdBestMove);
    expectTimes(l, 2240, 28000);
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

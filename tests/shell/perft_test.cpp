// perftCount, the counter behind the speed command, against the published counts.
#include <gtest/gtest.h>

#include "board/perft_positions.h"
#include "shell/speed.h"

TEST(SpeedCount, PerftCountGivesThePublishedCounts) {
    for (const board_test::PerftPosition& p : board_test::perftPositions()) {
        Position pos = board_test::fromFen(p.fen);
        for (size_t d = 0; d < p.counts.size(); d++)
            EXPECT_EQ(perftCount(pos, int(d) + 1), p.counts[d]) << p.name << " depth " << d + 1;
    }
}

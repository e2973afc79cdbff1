// Leaf counts of the legal move tree against the published counts, reached two ways: through
// generateAll as the speed command counts, and through the generators the search uses
// (tactical then quiet moves, evasions in check). Each position is also counted colour-mirrored,
// so both instantiations of every generator meet the same numbers.
#include <gtest/gtest.h>

#include "board/legal.h"
#include "board/perft_positions.h"

using board_test::fromFen;
using board_test::mirrored;
using board_test::PerftPosition;
using board_test::perftPositions;

namespace {

void expectPublishedCounts(PerftRoute route) {
    for (const PerftPosition& p : perftPositions()) {
        Position pos = fromFen(p.fen, p.chess960);
        Position flipped = mirrored(pos);
        for (size_t d = 0; d < p.counts.size(); d++) {
            EXPECT_EQ(perftCount(pos, int(d) + 1, route), p.counts[d])
                << p.name << " depth " << d + 1;
            EXPECT_EQ(perftCount(flipped, int(d) + 1, route), p.counts[d])
                << p.name << " mirrored, depth " << d + 1;
        }
    }
}

void expectDeepCounts(PerftRoute route) {
    for (const PerftPosition& p : perftPositions()) {
        if (!p.deep.depth) continue;
        Position pos = fromFen(p.fen, p.chess960);
        EXPECT_EQ(perftCount(pos, p.deep.depth, route), p.deep.count)
            << p.name << " depth " << p.deep.depth;
    }
}

}  // namespace

TEST(Perft, GenerateAllGivesThePublishedCounts) { expectPublishedCounts(PerftRoute::All); }

TEST(Perft, TacticalQuietAndEvasionsGiveThePublishedCounts) {
    expectPublishedCounts(PerftRoute::Staged);
}

// Release only: the sanitizer test preset leaves out names containing "Deep".
TEST(DeepPerft, GenerateAllGivesThePublishedCounts) { expectDeepCounts(PerftRoute::All); }

TEST(DeepPerft, TacticalQuietAndEvasionsGiveThePublishedCounts) {
    expectDeepCounts(PerftRoute::Staged);
}

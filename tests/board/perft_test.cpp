// Leaf counts of the legal move tree against the published counts, reached two ways: through
// generateAll as the speed command counts, and through the generators the search uses
// (tactical then quiet moves, evasions in check). Each position is also counted colour-mirrored,
// so both instantiations of every generator meet the same numbers.
#include <gtest/gtest.h>

#include "board/attacks.h"
#include "board/evasions.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/perft_positions.h"

using board_test::fromFen;
using board_test::mirrored;
using board_test::PerftPosition;
using board_test::perftPositions;

namespace {

enum class Route { All, Staged };

template <Colour Us>
uint64_t perft(Position& pos, int depth, Route route) {
    constexpr Colour Them = opposite(Us);
    Move moves[MAX_MOVES], quiet[MAX_MOVES];
    int n = 0, quiets = 0;
    if (route == Route::All) {
        n = generateAll<Us>(pos, moves);
    } else if (isAttackedBy<Them>(pos, pos.block<Us>().kingSquare)) {
        n = generateEvasions<Us>(pos, moves);
    } else {
        n = generateTactical<Us>(pos, moves);
        quiets = generateQuiet<Us>(pos, quiet);
    }
    uint64_t count = 0;
    for (int i = 0; i < n + quiets; i++) {
        const Move m = i < n ? moves[i] : quiet[i - n];
        UndoRecord undo;
        makeMove<Us>(pos, undo, m);
        // Evasions may still hold an en-passant capture that uncovers the king.
        if (!isAttackedBy<Them>(pos, pos.block<Us>().kingSquare))
            count += depth < 2 ? 1 : perft<Them>(pos, depth - 1, route);
        unmakeMove<Us>(pos, undo, m);
    }
    return count;
}

uint64_t perft(Position& pos, int depth, Route route) {
    return pos.sideToMove == White ? perft<White>(pos, depth, route)
                                   : perft<Black>(pos, depth, route);
}

void expectPublishedCounts(Route route) {
    for (const PerftPosition& p : perftPositions()) {
        Position pos = fromFen(p.fen);
        Position flipped = mirrored(pos);
        for (size_t d = 0; d < p.counts.size(); d++) {
            EXPECT_EQ(perft(pos, int(d) + 1, route), p.counts[d]) << p.name << " depth " << d + 1;
            EXPECT_EQ(perft(flipped, int(d) + 1, route), p.counts[d])
                << p.name << " mirrored, depth " << d + 1;
        }
    }
}

void expectDeepCounts(Route route) {
    for (const PerftPosition& p : perftPositions()) {
        if (!p.deep.depth) continue;
        Position pos = fromFen(p.fen);
        EXPECT_EQ(perft(pos, p.deep.depth, route), p.deep.count)
            << p.name << " depth " << p.deep.depth;
    }
}

}  // namespace

TEST(Perft, GenerateAllGivesThePublishedCounts) { expectPublishedCounts(Route::All); }

TEST(Perft, TacticalQuietAndEvasionsGiveThePublishedCounts) {
    expectPublishedCounts(Route::Staged);
}

// Release only: the sanitizer test preset leaves out names containing "Deep".
TEST(DeepPerft, GenerateAllGivesThePublishedCounts) { expectDeepCounts(Route::All); }

TEST(DeepPerft, TacticalQuietAndEvasionsGiveThePublishedCounts) { expectDeepCounts(Route::Staged); }

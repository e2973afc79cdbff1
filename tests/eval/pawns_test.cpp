#include "eval/pawns.h"

#include <gtest/gtest.h>

#include <memory>

#include "board/board_helpers.h"
#include "eval/flip.h"

using board_test::build;

namespace {

// White's pawn terms of the placement, checked to equal Black's on the mirrored board.
Score whitePawns(const char* placement, Bitboard* passedOut = nullptr) {
    const Position pos = build(placement);
    Bitboard passed, mirrorPassed;
    const Score score = pawnStructure<White>(pos, passed);
    const Score mirror = pawnStructure<Black>(eval_test::flipped(pos), mirrorPassed);
    EXPECT_EQ(mirror.mg, score.mg) << placement;
    EXPECT_EQ(mirror.eg, score.eg) << placement;
    EXPECT_EQ(__builtin_bswap64(mirrorPassed), passed) << placement;
    if (passedOut) *passedOut = passed;
    return score;
}

constexpr Bitboard at(const char* name) { return bit(board_test::sq(name)); }

}  // namespace

TEST(PawnStructure, StartPositionHasNoPenaltiesAndNoPassers) {
    Bitboard passed;
    const Score score = whitePawns("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR", &passed);
    EXPECT_EQ(score.mg, -15 - 5 + 0 + 5 + 5 + 0 - 5 - 15);
    EXPECT_EQ(score.eg, 0);
    EXPECT_EQ(passed, 0u);
}

TEST(PawnStructure, DoubledIsolatedAndPassed) {
    // a3 pays for a2 behind it; a2, blocked by a3, is isolated but not open, so not passed.
    Bitboard passed;
    Score score = whitePawns("4k3/8/8/8/8/P7/P7/4K3", &passed);
    EXPECT_EQ(score.mg, (-15 - 10) + (-15 - 10 - 20 + 10));
    EXPECT_EQ(score.eg, (-20) + (-20 - 20 + 20));
    EXPECT_EQ(passed, at("a3"));
    // Three on a file pay twice.
    score = whitePawns("4k3/8/8/8/P7/P7/P7/4K3");
    EXPECT_EQ(score.mg, (-15 - 10) + (-15 - 10 - 10) + (-15 - 10 - 20 + 16));
    // A black pawn on the b-file ahead takes the passer away.
    whitePawns("4k3/8/1p6/8/8/P7/P7/4K3", &passed);
    EXPECT_EQ(passed, 0u);
}

TEST(PawnStructure, BackwardUnlessItCanJoinItsNeighbour) {
    // e4 has no support, but d5 stands on a square it attacks and e5 is free and unattacked.
    Bitboard passed;
    Score score = whitePawns("4k3/8/8/3P4/4P3/8/8/4K3", &passed);
    EXPECT_EQ(score.mg, (25 + 16) + (15 + 28));
    EXPECT_EQ(score.eg, 20 + 20);
    EXPECT_EQ(passed, at("e4") | at("d5"));
    // A black pawn on f6 guards e5: e4 is backward (and open), and no longer passed.
    score = whitePawns("4k3/8/5p2/3P4/4P3/8/8/4K3");
    EXPECT_EQ(score.mg, (25 - 16) + (15 + 28));
    EXPECT_EQ(score.eg, -10 + 20);
    // From its first square the double step joins d4 ...
    score = whitePawns("4k3/8/8/8/3P4/8/4P3/4K3");
    EXPECT_EQ(score.mg, (5 + 10) + (25 + 16));
    // ... unless the square it would land on is attacked.
    score = whitePawns("4k3/8/8/5p2/3P4/8/4P3/4K3");
    EXPECT_EQ(score.mg, (5 - 16) + (25 + 16));
    EXPECT_EQ(score.eg, -10 + 20);
}

TEST(PawnStructure, CandidateCountsHelpersAgainstSentries) {
    // c4 faces d6 with b3 beside it, and no black pawn attacks c4: a candidate. b3 is backward
    // by its mask but can join c4, and nothing on the a-, b- or c-files ahead stops it.
    Score score = whitePawns("4k3/8/3p4/8/2P5/1P6/8/4K3");
    EXPECT_EQ(score.mg, (0 + 10) + (-5 + 10));
    EXPECT_EQ(score.eg, 20 + 20);
    // A second sentry on b6 outnumbers the helper: no candidate, and b3 is no longer passed.
    score = whitePawns("4k3/8/1p1p4/8/2P5/1P6/8/4K3");
    EXPECT_EQ(score.mg, 0 + (-5));
    EXPECT_EQ(score.eg, 0);
}

TEST(PawnStructure, EntryAndTable) {
    auto table = std::make_unique<PawnHashTable>();
    // Without pawns the key is 0 and the zero-filled slot is already the right entry.
    const Position bare = build("4k3/8/8/8/8/8/8/R3K3");
    ASSERT_EQ(bare.pawnKey, 0u);
    const PawnEntry& zero = probePawns(bare, *table);
    EXPECT_EQ(&zero, &table->entries[0]);
    EXPECT_EQ(zero.mg, 0);
    EXPECT_EQ(zero.eg, 0);
    PawnEntry computed{1, 1, 1, {1, 1}, {1, 1}, 1, 1};
    evaluatePawns(bare, computed);
    EXPECT_EQ(computed.key, 0u);
    EXPECT_EQ(computed.mg, 0);
    EXPECT_EQ(computed.eg, 0);
    EXPECT_EQ(computed.whitePassed | computed.blackPassed, 0u);
    // A refilled entry holds no shelter of the structure it replaced.
    EXPECT_EQ(computed.shelter[0] | computed.shelter[1], 0);

    // White's terms minus Black's, with both passed sets.
    const Position pos = build("4k3/8/5p2/3P4/4P3/8/8/4K3");
    const PawnEntry& e = probePawns(pos, *table);
    EXPECT_EQ(e.key, pos.pawnKey);
    // f6: open and isolated; e4 stands ahead of it on a neighbouring file, so it is not passed.
    EXPECT_EQ(e.mg, (25 - 16) + (15 + 28) - (0 - 20));
    EXPECT_EQ(e.eg, (-10 + 20) - (-20));
    EXPECT_EQ(e.whitePassed, at("d5"));
    EXPECT_EQ(e.blackPassed, 0u);
}

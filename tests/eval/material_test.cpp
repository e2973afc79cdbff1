#include "eval/material.h"

#include <gtest/gtest.h>

#include "board/board_helpers.h"
#include "eval/flip.h"

using board_test::build;

namespace {

MaterialEntry entryFor(const char* placement, Colour side = White) {
    MaterialEntry entry{};
    evaluateMaterial(build(placement, side), entry);
    return entry;
}

}  // namespace

TEST(MaterialTable, StartPositionIsLevelWithTheLazyExitAllowed) {
    MaterialEntry e = entryFor("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR");
    EXPECT_EQ(e.mg, 0);
    EXPECT_EQ(e.eg, 0);
    EXPECT_EQ(e.phase, 0);
    EXPECT_EQ(e.whiteScale, 16);
    EXPECT_EQ(e.blackScale, 16);
    EXPECT_EQ(e.flags, LAZY_EXIT);
}

TEST(MaterialTable, BalanceBishopPairAndPhase) {
    // Two bishops and three pawns against a rook and two pawns.
    MaterialEntry e = entryFor("4k3/ppr5/8/8/8/8/PPP5/2B1KB2");
    EXPECT_EQ(e.mg, 80 + 650 - 500 + 50);
    EXPECT_EQ(e.eg, 90 + 650 - 500 + 50);
    EXPECT_EQ(e.phase, (256 * (24 - 2 - 2) + 12) / 24);
    // Only kings and pawns: a bare endgame, no lazy exit without pieces.
    e = entryFor("4k3/pp6/8/8/8/8/PPP5/4K3");
    EXPECT_EQ(e.phase, 256);
    EXPECT_EQ(e.whiteScale, 16);
    EXPECT_EQ(e.blackScale, 16);
    EXPECT_EQ(e.flags, 0);
    // One pawn against two: the lone pawn's side may be scaled.
    e = entryFor("4k3/p7/8/8/8/8/PP6/4K3");
    EXPECT_EQ(e.flags, e.whiteScale != 16 || e.blackScale != 16 ? SCALING : 0);
}

TEST(MaterialTable, DrawishEndingsAreScaledAsStated) {
    // Two knights cannot mate: White's factor 0; Black's by the general pawnless rule.
    MaterialEntry e = entryFor("4k3/8/8/8/8/8/8/1N2K1N1");
    EXPECT_EQ(e.whiteScale, 0);
    EXPECT_EQ(e.blackScale, 2);
    // Rook and pawn against rook: Black's rook counts as traded for the pawn.
    e = entryFor("4k3/r7/8/8/8/8/P7/R3K3");
    EXPECT_EQ(e.whiteScale, 16);
    EXPECT_EQ(e.blackScale, 2);
    EXPECT_EQ(e.flags, SCALING | SINGLE_PAWN_ROOKS);
    // Knight and pawn against knight.
    e = entryFor("4k3/n7/8/8/8/8/P7/N3K3");
    EXPECT_EQ(e.whiteScale, 4);
    EXPECT_EQ(e.blackScale, 2);
    // Queen against queen, rook against rook, without pawns: both factors 0.
    e = entryFor("3qk3/8/8/8/8/8/8/3QK3");
    EXPECT_EQ(e.whiteScale, 0);
    EXPECT_EQ(e.blackScale, 0);
    e = entryFor("3rk3/8/8/8/8/8/8/3RK3");
    EXPECT_EQ(e.whiteScale, 0);
    EXPECT_EQ(e.blackScale, 0);
    // Bishop each with pawn counts two apart: the opposite-bishop test is armed.
    e = entryFor("2b1k3/ppp5/8/8/8/8/P7/2B1K3");
    EXPECT_EQ(e.flags & (SCALING | OPPOSITE_BISHOPS), SCALING | OPPOSITE_BISHOPS);
    // Two bishops against a knight, no pawns.
    e = entryFor("4k3/8/8/8/8/8/8/2BnKB2");
    EXPECT_EQ(e.whiteScale, 8);
}

TEST(MaterialTable, ScaleRulesForBlackAsStated) {
    // Black's single pawn against White's minor with Black a bare minor up: the factor 4.
    MaterialEntry e = entryFor("4k1n1/p7/8/8/8/8/8/4K1N1");
    EXPECT_EQ(e.blackScale, 4);
    // Black's two knights and a pawn against a knight.
    e = entryFor("1n2k1n1/p7/8/8/8/8/8/4K1N1");
    EXPECT_EQ(e.blackScale, 4);
    // Black's rook and pawn against a rook and knight: White's knight counts as traded for the
    // pawn, leaving Black close enough in units for the factor 8.
    e = entryFor("r3k3/p7/8/8/8/8/8/R3K1N1");
    EXPECT_EQ(e.blackScale, 8);
    // Against a lone bishop the rook is a full exchange up: no scaling.
    e = entryFor("r3k3/p7/8/8/8/8/8/2B1K3");
    EXPECT_EQ(e.blackScale, 16);
}

TEST(MaterialTable, BalanceAndPhaseAreColourSymmetric) {
    const char* placements[] = {
        "4k3/ppr5/8/8/8/8/PPP5/2B1KB2",    "r1bqk2r/pp3ppp/2n5/8/8/5N2/PP3PPP/R2QKB1R",
        "4k3/8/8/8/8/8/PPPPPPPP/RNBQKBNR", "1n2k3/pppp4/8/8/8/8/8/4K3",
        "4k3/8/8/8/8/8/8/4KQQQ",
    };
    for (const char* placement : placements) {
        Position pos = build(placement, White);
        MaterialEntry a{}, b{};
        evaluateMaterial(pos, a);
        evaluateMaterial(eval_test::flipped(pos), b);
        EXPECT_EQ(a.mg, -b.mg) << placement;
        EXPECT_EQ(a.eg, -b.eg) << placement;
        EXPECT_EQ(a.phase, b.phase) << placement;
    }
}

TEST(MaterialTable, ProbeFillsTheSlotOnceAndRefillsOnAnotherKey) {
    static MaterialTable table{};
    Position pos = build("4k3/r7/8/8/8/8/P7/R3K3");
    const MaterialEntry& e = probeMaterial(pos, table);
    EXPECT_EQ(e.key, pos.materialKey);
    EXPECT_EQ(&probeMaterial(pos, table), &e);
    // A different configuration in the same slot takes it over with its own entry.
    Position other = build("4k3/8/8/8/8/8/8/1N2K1N1");
    MaterialEntry& slot = table.entries[other.materialKey & (MATERIAL_TABLE_SIZE - 1)];
    slot = e;
    slot.key = other.materialKey ^ 1;
    const MaterialEntry& refilled = probeMaterial(other, table);
    EXPECT_EQ(refilled.key, other.materialKey);
    EXPECT_EQ(refilled.whiteScale, 0);
}

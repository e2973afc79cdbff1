#include "eval/kingsafety.h"

#include <gtest/gtest.h>

#include "board/board_helpers.h"
#include "eval/flip.h"

using board_test::build;
using board_test::sq;

namespace {

int whiteShelter(const char* placement, const char* square) {
    const Position pos = build(placement);
    const int value = kingShelter<White>(pos, sq(square));
    EXPECT_EQ(kingShelter<Black>(eval_test::flipped(pos), sq(square) ^ 56), value) << placement;
    return value;
}

int whitePenalty(const char* placement, const char* castling) {
    const Position pos = build(placement, White, castling);
    const int value = shelterPenalty<White>(pos);
    EXPECT_EQ(shelterPenalty<Black>(eval_test::flipped(pos)), value) << placement;
    return value;
}

// Both race tests for White's pawn on the square, each checked against Black's on the mirror.
struct Race {
    bool unstoppable, escorted;
    int value;  // the race term of that pawn alone
};
Race whiteRace(const char* placement, Colour toMove, const char* pawn) {
    const Position pos = build(placement, toMove);
    const Position mirror = eval_test::flipped(pos);
    const int s = sq(pawn);
    const Race race{passerUnstoppable<White>(pos, s), passerEscorted<White>(pos, s),
                    passedPawnRace<White>(pos, bit(s))};
    EXPECT_EQ(passerUnstoppable<Black>(mirror, s ^ 56), race.unstoppable) << placement;
    EXPECT_EQ(passerEscorted<Black>(mirror, s ^ 56), race.escorted) << placement;
    EXPECT_EQ(passedPawnRace<Black>(mirror, bit(s ^ 56)), race.value) << placement;
    return race;
}

}  // namespace

TEST(KingShelter, PawnWallsAndStorms) {
    // A full wall in front still leaves 11.
    EXPECT_EQ(whiteShelter("4k3/8/8/8/8/8/5PPP/6K1", "g1"), 11);
    // g3 one step out counts double on the king's file.
    EXPECT_EQ(whiteShelter("4k3/8/8/8/8/6P1/5P1P/6K1", "g1"), 22);
    // No pawn on the king's file: the far rank stands in (36, doubled); a storming pawn on g3.
    EXPECT_EQ(whiteShelter("4k3/8/8/8/8/6p1/5P1P/6K1", "g1"), 72 + 60);
    // The enemy pawn nearest the first rank counts, wherever it stands.
    EXPECT_EQ(whiteShelter("4k3/8/8/8/6p1/8/5PPP/6K1", "g1"), 11 + 30);
    EXPECT_EQ(whiteShelter("4k3/8/8/6p1/8/8/5PPP/6K1", "g1"), 11 + 10);
    // A pawn behind the king gives no shelter; edge files look at one neighbour only.
    EXPECT_EQ(whiteShelter("4k3/8/8/8/8/8/6PP/7K", "h1"), 0 + 0 + 11);
    EXPECT_EQ(whiteShelter("4k3/8/8/8/8/8/6PP/8", "h2"), 11);
    EXPECT_EQ(whiteShelter("4k3/8/8/8/8/8/6PP/8", "h3"), 2 * 36 + 36);
}

TEST(KingShelter, CastlingSquaresStillOnOffer) {
    // King on e1 in the open, but castling short would put it behind f2, g2, h2.
    EXPECT_EQ(whitePenalty("4k3/8/8/8/8/8/5PPP/4K2R", "K"), (108 + 11) / 2);
    EXPECT_EQ(whitePenalty("4k3/8/8/8/8/8/5PPP/4K2R", "-"), 108);
    // Long castling looks at b1; with both wings open the better one counts.
    EXPECT_EQ(whitePenalty("4k3/8/8/8/8/8/PPP5/R3K3", "Q"), (2 * 36 + 36 + 36 + 11) / 2);
    EXPECT_EQ(whitePenalty("4k3/8/8/8/8/8/5PPP/R3K2R", "KQ"), (108 + 11) / 2);
    // The start position: every square is behind a full wall, 11 each.
    EXPECT_EQ(whitePenalty("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR", "KQkq"), 11);
}

TEST(PassedPawnRace, UnstoppableAndEscortedPawns) {
    // e7 against a lone king on a1: one step to go against seven, base 920.
    Race r = whiteRace("8/4P3/8/8/8/8/8/k6K", White, "e7");
    EXPECT_TRUE(r.unstoppable);
    EXPECT_EQ(r.value, 920 + 5 * (4 * 7 - 7));
    // A knight for Black: no longer a pure race; e8 is safe, so base 180.
    r = whiteRace("8/4P3/8/8/8/n7/8/k6K", White, "e7");
    EXPECT_EQ(r.value, 180 + 5 * (4 * 7 - 7));
    // The extra tempo decides: a5 against a king four steps from a8.
    EXPECT_TRUE(whiteRace("8/8/8/P3k3/8/8/8/7K", White, "a5").unstoppable);
    EXPECT_FALSE(whiteRace("8/8/8/P3k3/8/8/8/7K", Black, "a5").unstoppable);
    // From its first square the pawn double-steps.
    EXPECT_TRUE(whiteRace("8/6k1/8/8/8/8/P7/7K", White, "a2").unstoppable);
    EXPECT_FALSE(whiteRace("8/5k2/8/8/8/8/P7/7K", White, "a2").unstoppable);
    // Its own king in the path stops it.
    EXPECT_FALSE(whiteRace("8/K7/8/P7/8/8/8/7k", White, "a5").unstoppable);
    // A rook pawn with its king in front is not escorted; beside it, it is.
    EXPECT_FALSE(whiteRace("8/K7/P7/8/8/8/8/7k", White, "a6").escorted);
    EXPECT_TRUE(whiteRace("8/1K6/P7/8/8/8/8/7k", White, "a6").escorted);
    EXPECT_TRUE(whiteRace("8/4K3/4P3/8/8/8/8/k7", White, "e6").escorted);
}

TEST(PassedPawnRace, BaseAndKingDistances) {
    // e5 with the enemy king on e8 and nothing attacking e6: base 180.
    Race r = whiteRace("4k3/8/8/4P3/8/8/8/4K3", White, "e5");
    EXPECT_EQ(r.value, ((180 + 5 * (4 * 2 - 5)) * 77 + 128) / 256);
    // A defended stop square (the black king next to it) leaves the base at 120.
    r = whiteRace("8/4k3/8/4P3/8/8/8/4K3", White, "e5");
    EXPECT_EQ(r.value, ((120 + 5 * (4 * 1 - 5)) * 77 + 128) / 256);
    // A blocked pawn: 120 too.
    r = whiteRace("8/8/4k3/4P3/8/8/8/4K3", White, "e5");
    EXPECT_EQ(r.value, ((120 + 5 * (0 - 5)) * 77 + 128) / 256);
    // Below the fourth rank nothing, whatever the base.
    EXPECT_EQ(whiteRace("8/8/8/8/8/4P3/8/k3K3", White, "e3").value, 0);
}

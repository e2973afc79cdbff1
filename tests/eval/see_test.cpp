#include "eval/see.h"

#include <gtest/gtest.h>

#include "board/board_helpers.h"
#include "eval/flip.h"

using board_test::build;
using board_test::sq;

namespace {

// The exchange value of the move named by its squares, checked to be the same for the other
// colour on the mirrored board.
int exchange(const char* placement, Colour side, const char* from, const char* to,
             int promotion = 0) {
    Position pos = build(placement, side);
    const Move m =
        makeMoveWord(sq(from), sq(to), typeOf(pos.board[sq(from)]), pos.board[sq(to)], promotion);
    const int value = see(pos, m);
    Position mirror = eval_test::flipped(pos);
    EXPECT_EQ(see(mirror, eval_test::flippedMove(m)), value) << "mirrored " << placement;
    return value;
}

}  // namespace

TEST(StaticExchange, EarlyExitsAndSimpleTrades) {
    // A quiet push to a square no enemy piece attacks.
    EXPECT_EQ(exchange("4k3/8/8/8/8/8/4P3/4K3", White, "e2", "e3"), 0);
    // A knight taking a pawn that a pawn defends: the pawn shortcut, whatever else attacks.
    EXPECT_EQ(exchange("4k3/8/4p3/3p4/8/2N5/8/3QK3", White, "c3", "d5"), -225);
    // A rook taking an undefended queen.
    EXPECT_EQ(exchange("q3k3/8/8/8/8/8/8/R3K3", White, "a1", "a8"), 1000);
    // A queen taking a pawn that only a rook defends.
    EXPECT_EQ(exchange("3rk3/8/8/3p4/8/8/8/3QK3", White, "d1", "d5"), -900);
    // A pawn takes a knight defended by a rook, a white rook behind: positive after the
    // recapture, so the exchange stops there.
    EXPECT_EQ(exchange("3rk3/8/8/3n4/4P3/8/8/3RK3", White, "e4", "d5"), 225);
    // The king may not step onto a defended square.
    EXPECT_EQ(exchange("4k3/8/8/8/8/2n5/4p3/4K3", White, "e1", "e2"), -10000);
    // The same cases with Black moving.
    EXPECT_EQ(exchange("3qk3/8/8/8/3P4/8/8/3RK3", Black, "d8", "d4"), -900);
}

TEST(StaticExchange, XRaysJoinFromBehind) {
    // Rooks stacked on the d-file on both sides; the rear ones join only after the front ones
    // have captured. Without White's rear rook Black would come out level (0).
    EXPECT_EQ(exchange("3rk3/3r4/8/3p4/4P3/8/3R4/3RK3", White, "e4", "d5"), 100);
    // The capturing rook's own square is left open, so the rook behind it joins at once.
    EXPECT_EQ(exchange("3rk3/3r4/8/3p4/8/8/3R4/3RK3", White, "d2", "d5"), -400);
    // A queen behind her bishop on the long diagonal makes the knight's capture pay.
    EXPECT_EQ(exchange("4r1k1/8/2n5/4p3/8/5N2/1B6/Q3K3", White, "f3", "e5"), 100);
}

TEST(StaticExchange, PromotionsByCaptureAndRecapture) {
    // The defending pawn recaptures on the first rank and promotes.
    EXPECT_EQ(exchange("7k/8/8/8/8/7K/4p3/R2r4", White, "a1", "d1"), -900);
    // A capturing promotion onto an undefended square is worth the captured piece: nothing
    // recaptures.
    EXPECT_EQ(exchange("3r3k/4P3/8/8/8/8/8/4K3", White, "e7", "d8", Queen), 500);
    // A quiet promotion that a rook takes back.
    EXPECT_EQ(exchange("r6k/1P6/8/8/8/8/8/4K3", White, "b7", "b8", Queen), -100);
}

TEST(StaticExchange, KingRecapturesAndEnPassant) {
    // The king may take back only when nothing else attacks the square.
    EXPECT_EQ(exchange("8/8/4k3/3p4/8/8/8/3RK3", White, "d1", "d5"), 100 - 500);
    EXPECT_EQ(exchange("8/8/4k3/3p4/8/1B6/8/3RK3", White, "d1", "d5"), 100);
    // En passant: the taken pawn stays in the occupancy, so the rook behind it does not join.
    const Position pos = build("3r2k1/8/8/3pP3/8/8/8/3RK3", White);
    const Move ep = makeMoveWord(sq("e5"), sq("d6"), Pawn, Black + Pawn, 0, 1);
    EXPECT_EQ(see(pos, ep), 0);
    EXPECT_EQ(see(eval_test::flipped(pos), eval_test::flippedMove(ep)), 0);
}

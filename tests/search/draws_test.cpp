// Draw rules: material that cannot win (with the king-and-pawn and wrong-bishop judgments, each in
// both colours), the fifty-move rule with its mate exception, and the repetition scan's reach.
#include <gtest/gtest.h>

#include "board/board_helpers.h"
#include "eval/flip.h"
#include "search/draws.h"

using board_test::build;
using eval_test::flipped;

namespace {

// The verdict for the position and, with colours exchanged, for its mirror image.
void expectChances(const std::string& placement, Colour toMove, int expected) {
    const Position pos = build(placement, toMove);
    EXPECT_EQ(winningChances(pos), expected) << placement << " to move " << toMove;
    const int mirrored = (expected & White ? Black : 0) | (expected & Black ? White : 0);
    EXPECT_EQ(winningChances(flipped(pos)), mirrored) << placement << " mirrored";
}

}  // namespace

TEST(WinningChances, PiecesThatCannotMate) {
    expectChances("4k3/8/8/8/8/8/8/1NN1K3", White, 0);      // two knights
    expectChances("4k3/8/8/2n5/8/8/8/2B1K3", White, 0);     // bishop against knight
    expectChances("4k3/8/8/8/8/8/8/R3K3", Black, White);    // a rook wins
    expectChances("4k3/8/8/8/8/8/8/2BBK3", White, White);   // two bishops can
    expectChances("4k3/p7/8/8/8/8/8/2N1K3", White, Black);  // the pawn side can win, not the knight
    expectChances("4k3/pppp4/8/8/8/8/8/RRRQK3", White, White | Black);  // three pieces: no verdict
}

TEST(WinningChances, KingAndPawnAgainstKing) {
    // Weak king in front of a pawn on the seventh with the strong king diagonally behind.
    expectChances("4k3/4P3/5K2/8/8/8/8/8", White, 0);
    expectChances("4k3/4P3/5K2/8/8/8/8/8", Black, White);
    // Opposition in front of a pawn on the fifth rank or lower.
    expectChances("8/8/4k3/8/4P3/4K3/8/8", White, 0);
    // A rook pawn is drawn with the defender in the corner...
    expectChances("k7/8/8/P7/8/8/8/7K", White, 0);
    // ...but not when the defender is far, even with the kings on the far edge files.
    expectChances("8/8/8/7k/P7/7K/8/8", White, White);
    // Strong king on the rook file, defender shutting it in on the c-file.
    expectChances("8/2k5/K7/P7/8/8/8/8", Black, 0);
    // King in front of a centre pawn: drawn only with the defender holding the opposition.
    expectChances("8/4k3/8/4K3/4P3/8/8/8", White, 0);
    expectChances("8/4k3/8/4K3/4P3/8/8/8", Black, White);
}

TEST(WinningChances, WrongBishop) {
    // h-pawn, defender in the corner: drawn with the bishop of a1's colour, won with the other.
    expectChances("8/8/8/8/8/2b5/7p/7K", White, 0);
    expectChances("8/8/8/8/8/3b4/7p/7K", White, Black);
    // a-pawn for White: a8 is light, so the dark bishop is the wrong one.
    expectChances("k7/P7/8/8/8/8/8/4B2K", Black, 0);
    expectChances("k7/P7/8/8/8/8/8/5B1K", Black, White);
}

TEST(FiftyMoveRule, MateOnTheHundredthHalfMoveStillCounts) {
    Position mated = build("R5k1/5ppp/8/8/8/8/8/6K1", Black);
    mated.halfmoveClock = 100;
    EXPECT_FALSE(isFiftyMoveDraw(mated));
    mated.halfmoveClock = 101;
    EXPECT_TRUE(isFiftyMoveDraw(mated));
    Position checked = build("R5k1/5pp1/8/8/8/8/8/6K1", Black);  // in check with h7 free
    checked.halfmoveClock = 100;
    EXPECT_TRUE(isFiftyMoveDraw(checked));
    Position quiet = build("6k1/5ppp/8/8/8/8/8/R5K1", Black);
    quiet.halfmoveClock = 100;
    EXPECT_TRUE(isFiftyMoveDraw(quiet));
}

TEST(Repetition, EvenDistancesFromFourWithinTheClockAndTheHistory) {
    Position pos = build("4k3/8/8/8/8/8/8/4K2R");
    pos.gamePly = 10;
    pos.halfmoveClock = 10;
    for (int i = 0; i < 10; i++) pos.keyHistory[i] = i + 1;
    EXPECT_FALSE(isRepetition(pos));
    pos.keyHistory[pos.gamePly - 2] = pos.hashKey();  // two plies back is never compared
    EXPECT_FALSE(isRepetition(pos));
    pos.keyHistory[pos.gamePly - 3] = pos.hashKey();  // nor an odd distance
    EXPECT_FALSE(isRepetition(pos));
    pos.keyHistory[pos.gamePly - 6] = pos.hashKey();
    EXPECT_TRUE(isRepetition(pos));
    pos.halfmoveClock = 5;  // a pawn move or capture since then
    EXPECT_FALSE(isRepetition(pos));
    pos.halfmoveClock = 60;  // the history holds fewer keys than the clock counts
    pos.keyHistory[pos.gamePly - 6] = 0;
    pos.keyHistory[0] = pos.hashKey();
    EXPECT_TRUE(isRepetition(pos));
    pos.keyHistory[0] = 1;
    EXPECT_FALSE(isRepetition(pos));
}

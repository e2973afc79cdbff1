// Stored-move tests: isGenerated is exact against the generators; isPseudoLegal accepts every
// generated word and, for the quiet words killers hold, agrees with isGenerated on words that
// other positions produced.
#include "board/validity.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "board/board_helpers.h"
#include "board/movegen.h"
#include "board/perft_positions.h"

using board_test::checkEveryNode;
using board_test::fromFen;
using board_test::listOf;
using board_test::mirrored;
using board_test::moveText;
using board_test::sq;

namespace {

using testing::AssertionFailure;
using testing::AssertionResult;
using testing::AssertionSuccess;

// The words of the last node visited with each side to move: mostly a sibling or cousin of the
// current node, so its words are near misses here.
std::vector<Move> foreignWords[2];

AssertionResult storedMoveTestsHold(Position& pos) {
    const std::vector<Move> all = listOf(generateAll, pos);
    for (Move m : all) {
        if (!isGenerated(pos, m))
            return AssertionFailure() << "isGenerated rejects " << moveText(m);
        if (!isPseudoLegal(pos, m))
            return AssertionFailure() << "isPseudoLegal rejects " << moveText(m);
    }
    std::vector<Move>& foreign = foreignWords[colourIndex(pos.sideToMove)];
    for (Move m : foreign) {
        const bool generated = std::find(all.begin(), all.end(), m) != all.end();
        if (isGenerated(pos, m) != generated)
            return AssertionFailure()
                   << "isGenerated of foreign " << moveText(m) << " is " << !generated;
        if (!isTactical(m) && isPseudoLegal(pos, m) != generated)
            return AssertionFailure()
                   << "isPseudoLegal of foreign quiet " << moveText(m) << " is " << !generated;
    }
    foreign = all;
    return AssertionSuccess();
}

Move word(const char* from, const char* to, int type, int captured = 0, int flag = 0) {
    return makeMoveWord(sq(from), sq(to), type, captured, 0, flag);
}

}  // namespace

TEST(StoredMoves, AcceptGeneratedAndRejectForeignWordsAtEveryNode) {
    foreignWords[0].clear();
    foreignWords[1].clear();
    EXPECT_GT(checkEveryNode(storedMoveTestsHold), 100000);
}

TEST(StoredMoves, KillerWordsThatNoLongerFitAreRejected) {
    Position pos = fromFen("4k3/8/8/4n3/3P4/8/6P1/4KB2 w - -");
    // The from-square holds another piece than the word's mover.
    EXPECT_FALSE(isPseudoLegal(pos, word("f1", "d3", Knight)));
    EXPECT_TRUE(isPseudoLegal(pos, word("f1", "d3", Bishop)));
    // The captured code must be the piece on the target now.
    const Move takesKnight = word("d4", "e5", Pawn, Black + Knight);
    const Move takesPawn = word("d4", "e5", Pawn, Black + Pawn);
    EXPECT_TRUE(isPseudoLegal(pos, takesKnight));
    EXPECT_TRUE(isGenerated(pos, takesKnight));
    EXPECT_FALSE(isPseudoLegal(pos, takesPawn));
    EXPECT_FALSE(isGenerated(pos, takesPawn));
    EXPECT_FALSE(isPseudoLegal(pos, word("f1", "e2", Bishop, Black + Pawn)));
    // A slider may not pass a piece.
    EXPECT_TRUE(isPseudoLegal(pos, word("f1", "a6", Bishop)));
    Position blocked = fromFen("4k3/8/8/4n3/2PP4/8/6P1/4KB2 w - -");
    EXPECT_FALSE(isPseudoLegal(blocked, word("f1", "a6", Bishop)));
    // A double push needs the passed square empty as well as the target.
    EXPECT_TRUE(isPseudoLegal(pos, word("g2", "g4", Pawn)));
    Position passed = fromFen("4k3/8/8/4n3/3P4/6N1/6P1/4KB2 w - -");
    EXPECT_FALSE(isPseudoLegal(passed, word("g2", "g4", Pawn)));
    // A push onto an occupied square, an en-passant word without the position's square, and
    // the type fields no piece has.
    EXPECT_FALSE(isPseudoLegal(passed, word("g2", "g3", Pawn)));
    EXPECT_FALSE(isPseudoLegal(pos, word("d4", "e5", Pawn, Black + Pawn, 1)));
    EXPECT_FALSE(isPseudoLegal(pos, makeMoveWord(sq("g2"), sq("g3"), 0)));
    EXPECT_FALSE(isPseudoLegal(pos, makeMoveWord(sq("g2"), sq("g3"), 7)));
    // A king step of two squares is castling or nothing. (The castling conditions are tested
    // with the generators.)
    EXPECT_FALSE(isPseudoLegal(pos, word("e1", "e3", King)));

    Position black = mirrored(pos);
    EXPECT_FALSE(isPseudoLegal(black, word("f8", "d6", Knight)));
    EXPECT_TRUE(isPseudoLegal(black, word("f8", "d6", Bishop)));
    EXPECT_FALSE(isPseudoLegal(black, word("d5", "e4", Pawn, White + Pawn)));
    EXPECT_TRUE(isPseudoLegal(black, word("d5", "e4", Pawn, White + Knight)));
    EXPECT_FALSE(isPseudoLegal(mirrored(passed), word("g7", "g5", Pawn)));
}

TEST(StoredMoves, PawnWordsMustMatchTheirFlagAndStep) {
    // White to move after ...d7-d5 with the e5 pawn able to take en passant on d6.
    Position pos = fromFen("4k3/8/8/3pP3/8/8/8/4K3 w - d6");
    const Move enPassant = makeMoveWord(sq("e5"), sq("d6"), Pawn, Black + Pawn, 0, 1);
    ASSERT_TRUE(isPseudoLegal(pos, enPassant));
    // The same capture without the flag would leave the d5 pawn on the board.
    EXPECT_FALSE(isPseudoLegal(pos, makeMoveWord(sq("e5"), sq("d6"), Pawn, Black + Pawn)));
    // A flagged capture onto a square a pawn really stands on is no en passant.
    Position occupied = fromFen("4k3/8/3p4/4P3/8/8/8/4K3 w - -");
    EXPECT_FALSE(
        isPseudoLegal(occupied, makeMoveWord(sq("e5"), sq("d6"), Pawn, Black + Pawn, 0, 1)));
    EXPECT_TRUE(isPseudoLegal(occupied, makeMoveWord(sq("e5"), sq("d6"), Pawn, Black + Pawn)));
    // A backward step (a word of the other colour) is refused without looking off the board.
    Position low = fromFen("4k3/8/8/8/8/8/P7/4K3 w - -");
    EXPECT_FALSE(isPseudoLegal(low, makeMoveWord(sq("a2"), sq("a1"), Pawn)));
}

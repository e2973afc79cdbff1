// Attack, pin, check and exposure tests against the slow answers: ray walks for attackers and
// pins, make plus attack test for givesCheck and exposesKing.
#include "board/attacks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "board/board_helpers.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/perft_positions.h"
#include "board/tables.h"

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

// The squares each piece of the colour attacks, by plain ray walks, folded into attackers per
// square.
void slowAttackers(const Position& pos, int colour, Bitboard attackers[64]) {
    const Bitboard occ = pos.occupancy();
    for (int s = 0; s < 64; s++) attackers[s] = 0;
    for (int u = 0; u < 64; u++) {
        if (!pos.board[u] || colourOf(pos.board[u]) != colour) continue;
        Bitboard a = 0;
        switch (typeOf(pos.board[u])) {
            case Pawn:
                a = PawnAttacks[colourIndex(colour)][u];
                break;
            case Knight:
                a = KnightAttacks[u];
                break;
            case Bishop:
                a = slowSliderAttacks(u, occ, false);
                break;
            case Rook:
                a = slowSliderAttacks(u, occ, true);
                break;
            case Queen:
                a = slowSliderAttacks(u, occ, false) | slowSliderAttacks(u, occ, true);
                break;
            case King:
                a = KingAttacks[u];
                break;
        }
        while (a) attackers[popLsb(a)] |= bit(u);
    }
}

// A piece is pinned when taking it off the board lets an enemy slider see its king.
bool slowPinned(const Position& pos, int s) {
    const int colour = colourOf(pos.board[s]);
    const ColourBlock& own = pos.side[colourIndex(colour)];
    const ColourBlock& enemy = pos.side[1 - colourIndex(colour)];
    const int k = own.kingSquare;
    const Bitboard occ = pos.occupancy(), without = occ ^ bit(s);
    const Bitboard straight = enemy.bb[Rook] | enemy.bb[Queen];
    const Bitboard diagonal = enemy.bb[Bishop] | enemy.bb[Queen];
    return (slowSliderAttacks(k, without, true) & ~slowSliderAttacks(k, occ, true) & straight) ||
           (slowSliderAttacks(k, without, false) & ~slowSliderAttacks(k, occ, false) & diagonal);
}

// Whether, once m is made, the mover's king (own) or the enemy king is attacked.
bool kingAttackedAfter(Position& pos, Move m, bool own) {
    const Colour us = Colour(pos.sideToMove), them = opposite(us);
    UndoRecord undo;
    makeMove(pos, undo, m);
    const int k = pos.side[colourIndex(own ? us : them)].kingSquare;
    const bool attacked =
        (own ? them : us) == White ? isAttackedBy<White>(pos, k) : isAttackedBy<Black>(pos, k);
    unmakeMove(pos, undo, m);
    return attacked;
}

AssertionResult attacksAndPinsMatch(Position& pos) {
    Bitboard slow[2][64];
    slowAttackers(pos, White, slow[0]);
    slowAttackers(pos, Black, slow[1]);
    for (int s = 0; s < 64; s++) {
        const Bitboard white = attackersOf<White>(pos, s), black = attackersOf<Black>(pos, s);
        if (white != slow[0][s] || black != slow[1][s])
            return AssertionFailure() << "attackers of square " << s;
        if (isAttackedBy<White>(pos, s) != (white != 0) ||
            isAttackedBy<Black>(pos, s) != (black != 0))
            return AssertionFailure() << "isAttackedBy on square " << s;
        const int code = pos.board[s];
        if (!code || typeOf(code) == King) continue;
        const bool pinned =
            colourOf(code) == White ? isPinned<White>(pos, s) : isPinned<Black>(pos, s);
        if (pinned != slowPinned(pos, s)) return AssertionFailure() << "isPinned on square " << s;
    }
    return AssertionSuccess();
}

AssertionResult checksAndExposuresMatch(Position& pos) {
    const bool checked = inCheck(pos);
    for (Move m : listOf(generateAll, pos)) {
        if (givesCheck(pos, m) != kingAttackedAfter(pos, m, false))
            return AssertionFailure() << "givesCheck of " << moveText(m);
        if (!checked && exposesKing(pos, m) != kingAttackedAfter(pos, m, true))
            return AssertionFailure() << "exposesKing of " << moveText(m);
    }
    return AssertionSuccess();
}

Move word(const char* from, const char* to, int type, int captured = 0, int flag = 0) {
    return makeMoveWord(sq(from), sq(to), type, captured, 0, flag);
}

}  // namespace

TEST(Attacks, AttackersAndPinsEqualRayWalksAtEveryNode) {
    EXPECT_GT(checkEveryNode(attacksAndPinsMatch), 100000);
}

TEST(Attacks, GivesCheckAndExposesKingEqualMakeAndTestAtEveryNode) {
    EXPECT_GT(checkEveryNode(checksAndExposuresMatch), 100000);
}

TEST(Attacks, SquareBehindTheKingCountsAsNotAttacked) {
    // The rook on e8 checks the king on e2; e1 behind it is hidden by the king itself.
    Position pos = fromFen("k3r3/8/8/8/8/8/4K3/8 w - -");
    EXPECT_TRUE(isAttackedBy<Black>(pos, sq("e3")));
    EXPECT_TRUE(isAttackedBy<Black>(pos, sq("e2")));
    EXPECT_FALSE(isAttackedBy<Black>(pos, sq("e1")));
    Position black = mirrored(pos);
    EXPECT_FALSE(isAttackedBy<White>(black, sq("e8")));
}

TEST(Attacks, GivesCheckByDiscoveryOnlyWhenTheLineOpens) {
    // The c3 pawn leaves the b2 bishop's diagonal to g7.
    Position pawn = fromFen("8/6k1/8/8/8/2P5/1B6/K7 w - -");
    EXPECT_TRUE(givesCheck(pawn, word("c3", "c4", Pawn)));
    Position pawnBlack = mirrored(pawn);
    EXPECT_TRUE(givesCheck(pawnBlack, word("c6", "c5", Pawn)));

    // A rook moving along the file between its queen and the king keeps the line shut.
    Position rook = fromFen("4k3/4p3/8/8/4R3/8/8/4Q1K1 w - -");
    EXPECT_FALSE(givesCheck(rook, word("e4", "e5", Rook)));
    EXPECT_FALSE(givesCheck(rook, word("e4", "e6", Rook)));
    EXPECT_FALSE(givesCheck(rook, word("e4", "e3", Rook)));
}

TEST(Attacks, CastlingChecksWithTheRook) {
    Position kingSide = fromFen("5k2/8/8/8/8/8/8/4K2R w K -");
    EXPECT_TRUE(givesCheck(kingSide, WHITE_KING_CASTLE));
    Position queenSide = fromFen("3k4/8/8/8/8/8/8/R3K3 w Q -");
    EXPECT_TRUE(givesCheck(queenSide, WHITE_QUEEN_CASTLE));
    Position blackKingSide = mirrored(kingSide), blackQueenSide = mirrored(queenSide);
    EXPECT_TRUE(givesCheck(blackKingSide, BLACK_KING_CASTLE));
    EXPECT_TRUE(givesCheck(blackQueenSide, BLACK_QUEEN_CASTLE));
    Position none = fromFen("6k1/8/8/8/8/8/8/4K2R w K -");
    EXPECT_FALSE(givesCheck(none, WHITE_KING_CASTLE));
}

TEST(Attacks, EnPassantThatEmptiesTheRankExposesTheKing) {
    // d7-d5 has just been played; e5 takes d6 and both pawns leave the rank of the h5 rook.
    Position pos = fromFen("8/8/8/K2pP2r/8/8/8/7k w - d6");
    const Move capture = word("e5", "d6", Pawn, Black + Pawn, 1);
    const std::vector<Move> all = listOf(generateAll, pos);
    ASSERT_NE(std::find(all.begin(), all.end(), capture), all.end());
    EXPECT_TRUE(exposesKing(pos, capture));
    for (Move m : board_test::legalMoves(pos)) EXPECT_NE(m, capture);

    Position black = mirrored(pos);
    const Move blackCapture = word("e4", "d3", Pawn, White + Pawn, 1);
    EXPECT_TRUE(exposesKing(black, blackCapture));
    for (Move m : board_test::legalMoves(black)) EXPECT_NE(m, blackCapture);
}

// Check evasions against the legal move list, and the order they are written in: king steps,
// captures of the checker, interpositions.
#include "board/evasions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "board/attacks.h"
#include "board/board_helpers.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/perft_positions.h"
#include "board/tables.h"

using board_test::checkEveryNode;
using board_test::fromFen;
using board_test::legalMoves;
using board_test::listOf;
using board_test::mirrored;
using board_test::mirroredMove;
using board_test::movesText;
using board_test::moveText;
using board_test::promotionOrder;
using board_test::sq;

namespace {

using testing::AssertionFailure;
using testing::AssertionResult;
using testing::AssertionSuccess;

Bitboard checkersOf(const Position& pos) {
    return pos.sideToMove == White ? attackersOf<Black>(pos, pos.side[0].kingSquare)
                                   : attackersOf<White>(pos, pos.side[1].kingSquare);
}

// Stage and key of an evasion: king steps by target; captures of the checker by capturer
// (promotions queen, knight, rook, bishop), en passant after them; interpositions by square,
// pieces by their square before the pawn push. -1 for a move that answers nothing.
int evasionKey(const Position& pos, Move m) {
    const int k = pos.side[colourIndex(pos.sideToMove)].kingSquare;
    const int f = moveFrom(m), t = moveTo(m);
    if (f == k) return t;
    const Bitboard checkers = checkersOf(pos);
    if (moreThanOne(checkers)) return -1;
    const int c = lsb(checkers);
    if (moveType(m) == Pawn && moveSpecial(m)) return 2 * 65536 + f;
    if (t == c) return 1 * 65536 + f * 4 + promotionOrder(m);
    if (Between[k][c] & bit(t))
        return 3 * 65536 + t * 128 + (moveType(m) == Pawn ? 64 + promotionOrder(m) : f);
    return -1;
}

// An en-passant capture whose landing square stands between a checker and the king: legal, but
// the evasion generator only takes en passant as the capture of a checking pawn.
bool interposesEnPassant(const Position& pos, Move m) {
    if (moveType(m) != Pawn || !moveSpecial(m)) return false;
    const int k = pos.side[colourIndex(pos.sideToMove)].kingSquare;
    Bitboard checkers = checkersOf(pos);
    while (checkers)
        if (Between[k][popLsb(checkers)] & bit(moveTo(m))) return true;
    return false;
}

int inCheckNodes = 0;

AssertionResult evasionsAreTheLegalMoves(Position& pos) {
    if (!inCheck(pos)) return AssertionSuccess();
    inCheckNodes++;
    const std::vector<Move> evasions = listOf(generateEvasions, pos);
    const std::vector<Move> all = listOf(generateAll, pos);
    const std::vector<Move> legal = legalMoves(pos);
    auto has = [](const std::vector<Move>& list, Move m) {
        return std::find(list.begin(), list.end(), m) != list.end();
    };
    for (size_t i = 0; i < evasions.size(); i++) {
        const Move m = evasions[i];
        if (!has(all, m)) return AssertionFailure() << moveText(m) << " is not a generated word";
        // The one excused kind: an en passant by an unpinned pawn, illegal only because the
        // captured pawn leaves a line to the king.
        const bool excused = moveType(m) == Pawn && moveSpecial(m) &&
                             !(pos.sideToMove == White ? isPinned<White>(pos, moveFrom(m))
                                                       : isPinned<Black>(pos, moveFrom(m)));
        if (!has(legal, m) && !excused)
            return AssertionFailure() << "illegal evasion " << moveText(m);
        const int key = evasionKey(pos, m);
        if (key < 0) return AssertionFailure() << moveText(m) << " answers no check";
        if (i && evasionKey(pos, evasions[i - 1]) >= key)
            return AssertionFailure() << "out of order: " << movesText(evasions);
    }
    for (Move m : legal)
        if (!has(evasions, m) && !interposesEnPassant(pos, m))
            return AssertionFailure()
                   << "legal " << moveText(m) << " missing from " << movesText(evasions);
    return AssertionSuccess();
}

Move word(const char* from, const char* to, int type, int captured = 0, int flag = 0) {
    return makeMoveWord(sq(from), sq(to), type, captured, 0, flag);
}

std::vector<Move> sorted(std::vector<Move> list) {
    std::sort(list.begin(), list.end());
    return list;
}

// The evasions of pos must be expected, in that order; those of its mirror are the mirrored
// words (in the mirror's own square order). In both the legal moves are the same set.
void expectEvasions(const Position& pos, const std::vector<Move>& expected) {
    Position white = pos, black = mirrored(pos);
    std::vector<Move> mirroredExpected;
    for (Move m : expected) mirroredExpected.push_back(mirroredMove(m));
    EXPECT_EQ(movesText(listOf(generateEvasions, white)), movesText(expected));
    EXPECT_EQ(listOf(generateEvasions, white), expected);
    EXPECT_EQ(sorted(listOf(generateEvasions, black)), sorted(mirroredExpected));
    for (Position* p : {&white, &black})
        EXPECT_EQ(movesText(sorted(listOf(generateEvasions, *p))),
                  movesText(sorted(legalMoves(*p))));
}

}  // namespace

TEST(Evasions, EqualTheLegalMovesInOrderAtEveryCheckedNode) {
    inCheckNodes = 0;
    checkEveryNode(evasionsAreTheLegalMoves, 1);
    EXPECT_GT(inCheckNodes, 10000);
}

TEST(Evasions, DoubleCheckGivesKingStepsOnly) {
    // Rook e3 and bishop b5 both check the king on e2. e1 and f1 lie behind it on the checking
    // lines; the undefended rook can be taken by the king but not by the knight.
    expectEvasions(fromFen("7k/8/8/1b6/6N1/4r3/4K3/8 w - -"),
                   {word("e2", "d1", King), word("e2", "d2", King), word("e2", "f2", King),
                    word("e2", "e3", King, Black + Rook)});
}

TEST(Evasions, PawnCheckLeavesTheStepAlongItsDiagonal) {
    Position pos = fromFen("7k/8/8/3p4/4K3/8/8/8 w - -");
    const std::vector<Move> evasions = listOf(generateEvasions, pos);
    EXPECT_NE(std::find(evasions.begin(), evasions.end(), word("e4", "f3", King)), evasions.end());
    expectEvasions(pos, evasions);
}

TEST(Evasions, PinnedPiecesNeverEvade) {
    // The knight on d2 could take the checking rook and the bishop on f2 could block on e3, but
    // both are pinned.
    expectEvasions(fromFen("7k/8/8/8/1b2r2b/8/3N1B2/4K3 w - -"),
                   {word("e1", "d1", King), word("e1", "f1", King)});
    // A pawn pinned along the second rank could block the diagonal check with a single push
    // (c2-c3) or a double push (c2-c4).
    for (const char* fen : {"7k/8/8/4b3/8/8/1KP4r/8 w - -", "6k1/8/4b3/8/8/8/K1P4r/8 w - -"}) {
        Position pos = fromFen(fen);
        std::vector<Move> evasions = listOf(generateEvasions, pos);
        ASSERT_FALSE(evasions.empty()) << fen;
        for (Move m : evasions) EXPECT_EQ(moveType(m), King) << fen << " " << moveText(m);
        expectEvasions(pos, evasions);
    }
}

TEST(Evasions, OrderIsKingThenCapturesThenInterpositions) {
    // The rook on h4 checks along the rank. Captures by the g2 knight, g3 pawn and d8 bishop;
    // blocks on d4 (knight, then the double push from the home rank), on f4 (both knights, then
    // the pawn) and on g4.
    expectEvasions(fromFen("3B3k/8/8/8/K6r/5PP1/3PN1N1/8 w - -"),
                   {word("a4", "a3", King), word("a4", "b3", King), word("a4", "a5", King),
                    word("a4", "b5", King), word("g2", "h4", Knight, Black + Rook),
                    word("g3", "h4", Pawn, Black + Rook), word("d8", "h4", Bishop, Black + Rook),
                    word("e2", "d4", Knight), word("d2", "d4", Pawn), word("e2", "f4", Knight),
                    word("g2", "f4", Knight), word("f3", "f4", Pawn), word("g3", "g4", Pawn)});
}

TEST(Evasions, InterpositionsOnTheFirstRank) {
    // No pawn stands behind a first-rank square; the knight blocks on d1 and f1.
    expectEvasions(fromFen("7k/8/8/8/8/4N3/8/K6r w - -"),
                   {word("a1", "a2", King), word("a1", "b2", King), word("e3", "d1", Knight),
                    word("e3", "f1", Knight)});
}

TEST(Evasions, EnPassantTakesTheCheckingPawnUnlessPinned) {
    // d7-d5 checks the king on c4. The knight takes on d5 before the en-passant capture although
    // it stands on a higher square; the c5 pawn is pinned by the c8 rook.
    Position pos = fromFen("2r4k/3p4/1N6/2P1P3/2K5/8/8/8 b - -");
    UndoRecord undo;
    makeMove(pos, undo, word("d7", "d5", Pawn));
    ASSERT_EQ(pos.epSquare, sq("d6"));
    expectEvasions(pos,
                   {word("c4", "b3", King), word("c4", "c3", King), word("c4", "d3", King),
                    word("c4", "b4", King), word("c4", "d4", King), word("c4", "b5", King),
                    word("c4", "d5", King, Black + Pawn), word("b6", "d5", Knight, Black + Pawn),
                    word("e5", "d6", Pawn, Black + Pawn, 1)});
}

TEST(Evasions, EnPassantOntoTheCheckingLineIsNotWritten) {
    // The b8 bishop checks through d6, where c5 could take en passant. The square is set by hand:
    // no double push can leave it (White was in check before d7-d5), so a FEN drops it.
    Position pos = fromFen("1b5k/8/8/2Pp4/5K2/8/8/8 w - -");
    pos.epSquare = sq("d6");
    const Move block = word("c5", "d6", Pawn, Black + Pawn, 1);
    const std::vector<Move> legal = legalMoves(pos), evasions = listOf(generateEvasions, pos);
    EXPECT_NE(std::find(legal.begin(), legal.end(), block), legal.end());
    EXPECT_EQ(std::find(evasions.begin(), evasions.end(), block), evasions.end());
    EXPECT_EQ(evasions.size() + 1, legal.size());
}

// Chess960 at the board: the castling field in its three spellings, castling move text in both
// variants, and castling words carried from one position into another. The trees themselves
// (counts, make and unmake, every generator, stored-move tests) are walked with the other
// reference positions.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "board/board_helpers.h"
#include "board/perft_positions.h"
#include "board/validity.h"

using board_test::fromFen;
using board_test::legalMoves;
using board_test::setFen;
using board_test::sq;

namespace {

std::string text(Move m, const Position& pos) {
    char buffer[6];
    moveToText(m, buffer, &pos);
    return buffer;
}

// The castling moves of the side to move, as the variant writes them, sorted.
std::vector<std::string> castlings(Position& pos) {
    std::vector<std::string> out;
    for (Move m : legalMoves(pos))
        if (isKingMove(m) && moveSpecial(m)) out.push_back(text(m, pos));
    std::sort(out.begin(), out.end());
    return out;
}

using Texts = std::vector<std::string>;

// The castling rooks granted, king side then queen side, White then Black ("-": none).
std::string rights(const Position& pos) {
    std::string out;
    for (int c = 0; c < 2; c++)
        for (int wing : {KING_SIDE, QUEEN_SIDE}) {
            const int s = pos.castlingRook[c][wing];
            const bool granted =
                s != NO_SQUARE && pos.moved[s] == 0 && pos.moved[pos.castlingKing[c]] == 0;
            out += granted ? std::string{char('a' + fileOf(s)), char('1' + rankOf(s))} : "-";
            out += c == 1 && wing == QUEEN_SIDE ? "" : " ";
        }
    return out;
}

TEST(Chess960, CastlingFieldByFileLetterOrOutermostRook) {
    // White rooks a1, c1 and h1 round the king on d1; Black's king f8 between rooks b8 and g8.
    const std::string board = "1r3kr1/8/8/8/8/8/8/R1RK3R w ";
    struct Case {
        const char* field;
        const char* rights;
    };
    const Case cases[] = {
        {"KQkq", "h1 a1 g8 b8"},  // K and Q: the outermost rooks
        {"HAgb", "h1 a1 g8 b8"},
        {"HCkb", "h1 c1 g8 b8"},  // an inner rook by its file
        {"Kq", "h1 - - b8"},
        {"-", "- - - -"},
        // Letters without a rook of their colour on the file, or on the king's file.
        {"BDEFGacdfh", "- - - -"},
    };
    for (const Case& c : cases) {
        Position pos;
        ASSERT_TRUE(setFen(pos, board + c.field + " -", true));
        EXPECT_EQ(rights(pos), c.rights) << c.field;
    }
    // No right without the king on the first rank; a position of different back ranks.
    Position pos;
    ASSERT_TRUE(setFen(pos, "1r4r1/5k2/8/8/8/8/3K4/R1R4R w AHbg -", true));
    EXPECT_EQ(rights(pos), "- - - -");
    ASSERT_TRUE(setFen(pos, "nrkbqrbn/pppppppp/8/8/8/8/PPPPPPPP/BQRKNRNB w FCfb -", true));
    EXPECT_EQ(rights(pos), "f1 c1 f8 b8");
    // Standard chess reads the field as it always has: file letters name nothing there.
    Position standard;
    ASSERT_TRUE(setFen(standard, "r3k2r/8/8/8/8/8/8/R3K2R w HAha -"));
    EXPECT_EQ(castlings(standard), Texts{});
    ASSERT_TRUE(setFen(standard, "r3k2r/8/8/8/8/8/8/R3K2R w KQkq -"));
    EXPECT_EQ(castlings(standard), (Texts{"e1c1", "e1g1"}));
}

TEST(Chess960, MoveTextRoundTripsInBothVariants) {
    const char* fens[] = {
        "r3k2r/8/8/8/8/8/8/R3K2R w KQkq -",
        "5rkr/8/8/8/8/8/8/RKR5 b ACfh -",
        "bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w HFhf -",
        "4k3/1P6/8/8/8/8/8/4KR2 w F -",
    };
    for (bool chess960 : {false, true})
        for (const char* fen : fens) {
            Position pos = fromFen(fen, chess960);
            for (Move m : legalMoves(pos)) {
                const std::string t = text(m, pos);
                EXPECT_EQ(textToMove(pos, t.c_str()), m) << fen << " " << t;
            }
        }
    // In Chess960 the king takes its own rook; a two-file king step names nothing.
    Position pos = fromFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", true);
    EXPECT_EQ(castlings(pos), (Texts{"e1a1", "e1h1"}));
    EXPECT_EQ(textToMove(pos, "e1g1"), NO_MOVE);
    EXPECT_EQ(textToMove(pos, "e1c1"), NO_MOVE);
    EXPECT_EQ(textToMove(pos, "e1h1"), WHITE_KING_CASTLE);
    // The king staying on its square; the other rook on the castling rook's destination.
    Position still = fromFen("4k3/8/8/8/8/8/8/6KR w H -", true);
    EXPECT_EQ(castlings(still), (Texts{"g1h1"}));
    EXPECT_EQ(textToMove(still, "g1h1"), makeMoveWord(sq("g1"), sq("g1"), King, 0, 0, 1));
    Position onDestination = fromFen("5rkr/2p5/8/8/8/8/8/RKR5 b ACfh -", true);
    EXPECT_EQ(castlings(onDestination), (Texts{"g8f8"}));
    EXPECT_EQ(textToMove(onDestination, "g8f8"), makeMoveWord(sq("g8"), sq("c8"), King, 0, 0, 1));
}

TEST(Chess960, CastlingWordsFromOtherPositionsAreTestedAgainstTheirRooks) {
    // b1 castles on the king's side with the rook on c1 ...
    Position home = fromFen("5rkr/5ppp/8/8/8/8/8/RKR5 w ACfh -", true);
    const Move kingSide = textToMove(home, "b1c1");
    ASSERT_NE(kingSide, NO_MOVE);
    EXPECT_TRUE(isPseudoLegal(home, kingSide));
    // ... and the same word fits another game whose rook on that wing stands on f1 ...
    Position otherRook = fromFen("5rkr/5ppp/8/8/8/8/8/RK3R2 w AFfh -", true);
    EXPECT_TRUE(isPseudoLegal(otherRook, kingSide));
    EXPECT_EQ(text(kingSide, otherRook), "b1f1");
    // ... but not one where that rook has left, a piece stands in the way, or the king's way
    // is attacked once the rook no longer shields it.
    for (const char* fen :
         {"5rkr/5ppp/8/8/8/8/2R5/RK6 w Afh -", "5rkr/5ppp/8/8/8/8/8/RKR2N2 w ACfh -",
          "5rkr/5ppp/8/8/8/8/8/RKR3r1 w ACfh -"}) {
        Position pos = fromFen(fen, true);
        EXPECT_FALSE(isPseudoLegal(pos, kingSide)) << fen;
    }
    Position shield = fromFen("4k3/8/8/8/8/8/8/qRK4R w HB -", true);
    const Move queenSide = makeMoveWord(sq("c1"), sq("c1"), King, 0, 0, 1);
    EXPECT_FALSE(isPseudoLegal(shield, queenSide));
    EXPECT_EQ(textToMove(shield, "c1b1"), NO_MOVE);
    // A Chess960 word never passes in standard chess, where the table may meet it after a change
    // of variant: not as a castling, not as a plain king step.
    Position standard = fromFen("4k3/8/8/8/8/8/8/5K1R w K -");
    EXPECT_FALSE(isPseudoLegal(standard, makeMoveWord(sq("f1"), sq("g1"), King, 0, 0, 1)));
    EXPECT_TRUE(isPseudoLegal(standard, makeMoveWord(sq("f1"), sq("g1"), King)));
}

}  // namespace

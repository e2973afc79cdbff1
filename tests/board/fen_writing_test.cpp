// FEN writing: every position of random play from the reference positions reads back, in its
// variant, as the same position and writes the same text again; castling letters name the rook
// the reader grants.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "board/board_helpers.h"
#include "board/perft_positions.h"

using board_test::fromFen;

namespace {

std::string fenOf(const Position& pos, int fullmove = 1) {
    char text[FEN_SIZE];
    writeFen(pos, fullmove, text);
    return text;
}

// Reads all six fields the way the position command does.
bool readBack(Position& pos, const std::string& fen, bool chess960) {
    char f[6][96] = {};
    if (std::sscanf(fen.c_str(), "%95s %95s %95s %95s %95s %95s", f[0], f[1], f[2], f[3], f[4],
                    f[5]) != 6)
        return false;
    return readFen(pos, f[0], f[1], f[2], f[3], f[4], chess960);
}

testing::AssertionResult sameGame(const Position& a, const Position& b) {
    for (int s = 0; s < 64; s++)
        if (a.board[s] != b.board[s]) return testing::AssertionFailure() << "board " << s;
    if (a.sideToMove != b.sideToMove || a.epSquare != b.epSquare ||
        a.halfmoveClock != b.halfmoveClock)
        return testing::AssertionFailure() << "side, en passant or clock";
    // A double push that allows a capture leaves the en-passant key in the piece key for the
    // rest of the line, and a FEN set-up has no such past: the piece keys may differ.
    if (a.pawnKey != b.pawnKey || a.materialKey != b.materialKey)
        return testing::AssertionFailure() << "pawn or material key";
    for (int c = 0; c < 2; c++)
        for (int wing : {KING_SIDE, QUEEN_SIDE}) {
            const bool right = castlingRight(a, c, wing);
            if (right != castlingRight(b, c, wing) ||
                (right && a.castlingRook[c][wing] != b.castlingRook[c][wing]))
                return testing::AssertionFailure() << "castling " << c << " " << wing;
        }
    return testing::AssertionSuccess();
}

}  // namespace

TEST(FenWriting, RandomPlayRoundTripsInBothVariants) {
    std::mt19937 rng(36);
    int positions = 0;
    for (const auto& start : board_test::perftPositions()) {
        for (int game = 0; game < 12; game++) {
            Position pos = fromFen(start.fen, start.chess960);
            for (int ply = 0; ply < 80; ply++) {
                const std::string fen = fenOf(pos, 1 + ply / 2);
                Position back;
                ASSERT_TRUE(readBack(back, fen, start.chess960)) << fen;
                ASSERT_TRUE(sameGame(pos, back)) << start.name << ": " << fen;
                ASSERT_EQ(fenOf(back, 1 + ply / 2), fen);
                positions++;
                Move legal[MAX_MOVES];
                const int n = generateLegal(pos, legal);
                if (n == 0) break;
                UndoRecord undo;
                makeMove(pos, undo, legal[rng() % n]);
            }
        }
    }
    EXPECT_GT(positions, 10000);
}

TEST(FenWriting, FieldsAndCastlingLetters) {
    Position pos;
    setStartPosition(pos);
    EXPECT_EQ(fenOf(pos), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    UndoRecord undo;
    makeMove(pos, undo, textToMove(pos, "e2e4"));
    EXPECT_EQ(fenOf(pos, 1), "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1");
    // The en-passant square only where a capture is possible.
    makeMove(pos, undo, textToMove(pos, "d7d5"));
    makeMove(pos, undo, textToMove(pos, "e4e5"));
    makeMove(pos, undo, textToMove(pos, "f7f5"));
    EXPECT_EQ(fenOf(pos, 3), "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3");
    setStartPosition(pos);
    makeMove(pos, undo, textToMove(pos, "e2e4"));
    makeMove(pos, undo, textToMove(pos, "g8f6"));
    makeMove(pos, undo, textToMove(pos, "e1e2"));
    EXPECT_EQ(fenOf(pos, 2), "rnbqkb1r/pppppppp/5n2/8/4P3/8/PPPPKPPP/RNBQ1BNR b kq - 2 2");
    // Chess960: K and Q for the outermost rook of a wing, the file for a rook inside another.
    const std::string board = "1r3kr1/8/8/8/8/8/8/R1RK3R w ";
    EXPECT_EQ(fenOf(fromFen(board + "CHbg -", true)), board + "KCkq - 0 1");
    EXPECT_EQ(fenOf(fromFen(board + "A -", true)), board + "Q - 0 1");
    EXPECT_EQ(fenOf(fromFen("5rkr/8/8/8/8/8/8/RKR5 w ACfh -", true)),
              "5rkr/8/8/8/8/8/8/RKR5 w KQkq - 0 1");
    // The standard variant writes K and Q whatever stands further out.
    EXPECT_EQ(fenOf(fromFen("r3k2r/8/8/8/8/8/8/R3K2R b KQ -")),
              "r3k2r/8/8/8/8/8/8/R3K2R b KQ - 0 1");
}

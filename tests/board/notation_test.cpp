// FEN fields into a Position and move text both ways: the parsing rules, the refused set-ups and
// the fields cut back to what the board can back.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "board/attacks.h"
#include "board/legal.h"
#include "board/movegen.h"
#include "board/notation.h"

namespace {

Position pos;

bool fen(const char* placement, const char* side = "w", const char* castling = "-",
         const char* ep = "-") {
    return readFen(pos, placement, side, castling, ep);
}

constexpr const char* START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR";

}  // namespace

TEST(Fen, StartPositionMatchesSetStartPositionButForCastlingCounters) {
    static Position start;
    setStartPosition(start);
    ASSERT_TRUE(fen(START, "w", "KQkq", "-"));
    EXPECT_EQ(0, std::memcmp(pos.board, start.board, sizeof pos.board));
    for (int s = 0; s < 64; s++) {
        const bool home = s == 0 || s == 4 || s == 7 || s == 56 || s == 60 || s == 63;
        EXPECT_EQ(pos.moved[s], home ? 0 : 1) << s;
    }
    EXPECT_EQ(pos.sideToMove, White);
    EXPECT_EQ(pos.epSquare, NO_SQUARE);
    EXPECT_EQ(pos.halfmoveClock, 0);
    EXPECT_EQ(pos.lastCaptureSquare, NO_SQUARE);
    EXPECT_EQ(pos.gamePly, 0);
    EXPECT_EQ(pos.hashKey(), start.hashKey());
    EXPECT_EQ(pos.materialKey, start.materialKey);
    EXPECT_EQ(0, std::memcmp(pos.side, start.side, sizeof pos.side));
}

TEST(Fen, SideAndCastlingFields) {
    ASSERT_TRUE(fen(START, "b", "-"));
    EXPECT_EQ(pos.sideToMove, Black);
    for (int s = 0; s < 64; s++) EXPECT_EQ(pos.moved[s], 1);
    // A side field that is neither w nor b keeps the side as it was.
    ASSERT_TRUE(fen(START, "x"));
    EXPECT_EQ(pos.sideToMove, Black);
    ASSERT_TRUE(fen(START, "white"));
    EXPECT_EQ(pos.sideToMove, White);
    ASSERT_TRUE(fen(START, "w", "Kq"));
    EXPECT_EQ(pos.moved[4] + pos.moved[7] + pos.moved[60] + pos.moved[56], 0);
    EXPECT_EQ(pos.moved[0], 1);
    EXPECT_EQ(pos.moved[63], 1);
}

TEST(Fen, CastlingRightNeedsKingAndRookAtHome) {
    // No rook on h1: K would castle a rook out of nowhere.
    ASSERT_TRUE(fen("4k3/8/8/8/8/8/8/4K3", "w", "KQkq"));
    for (int s = 0; s < 64; s++) EXPECT_EQ(pos.moved[s], 1) << s;
    // King off its square: no right on either wing.
    ASSERT_TRUE(fen("r3k2r/8/8/8/8/8/8/R2K3R", "w", "KQkq"));
    EXPECT_EQ(pos.moved[0] + pos.moved[7], 2);
    EXPECT_EQ(pos.moved[56] + pos.moved[60] + pos.moved[63], 0);
    // Black pieces on White's home squares do not count.
    ASSERT_TRUE(fen("4k3/8/8/8/8/8/8/b3K2b", "b", "KQ"));
    EXPECT_EQ(pos.moved[0] + pos.moved[4] + pos.moved[7], 3);
}

TEST(Fen, EnPassantSquareOnlyWhereADoublePushLeftIt) {
    ASSERT_TRUE(fen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR", "b", "KQkq", "e3"));
    EXPECT_EQ(pos.epSquare, 20);
    ASSERT_TRUE(fen("rnbqkbnr/ppp1pppp/8/3p4/4P3/8/PPPP1PPP/RNBQKBNR", "w", "KQkq", "d6"));
    EXPECT_EQ(pos.epSquare, 43);
    ASSERT_TRUE(fen("rnbqkbnr/ppp1pppp/8/3p4/4P3/8/PPPP1PPP/RNBQKBNR", "w", "KQkq", "-"));
    EXPECT_EQ(pos.epSquare, NO_SQUARE);
    struct Case {
        const char *placement, *side, *ep;
    };
    const Case dropped[] = {
        {START, "w", "e6"},                                              // no pawn in front
        {START, "w", "e3"},                                              // own side's square
        {"rnbqkbnr/ppp1pppp/8/3p4/8/8/PPPPPPPP/RNBQKBNR", "w", "d3"},    // wrong rank
        {"rnbqkbnr/pppppppp/8/3p4/8/8/PPPPPPPP/RNBQKBNR", "w", "d6"},    // d7 still occupied
        {"rnbqkbnr/ppp1pppp/3n4/3p4/8/8/PPPPPPPP/RNBQKBN1", "w", "d6"},  // d6 occupied
        {"rnbqkbnr/ppp1pppp/8/3P4/8/8/PPP1PPPP/RNBQKBNR", "w", "d6"},    // own pawn in front
        {START, "w", "6"},                                               // no file letter
        {START, "w", "66"},
        {"rnbqkbnr/ppp1pppp/8/3p4/8/8/PPPPPPPP/RNBQKBNR", "w", "d9"},
        // The side to move was already in check before the push.
        {"5b1k/8/8/3pP3/8/K7/8/8", "w", "d6"},
        {"8/8/k7/8/3Pp3/8/8/5B1K", "b", "d3"},
        {"7k/8/2b5/3pP3/4K3/8/8/8", "w", "d6"},
        {"8/8/8/4k3/3Pp3/2B5/8/7K", "b", "d3"},
    };
    static Position withoutSquare;
    for (const Case& c : dropped) {
        ASSERT_TRUE(fen(c.placement, c.side, "-", "-"));
        std::memcpy(&withoutSquare, &pos, sizeof pos);
        ASSERT_TRUE(fen(c.placement, c.side, "-", c.ep)) << c.ep;
        EXPECT_EQ(0, std::memcmp(&pos, &withoutSquare, sizeof pos)) << c.placement << " " << c.ep;
    }
    // The pawn back on d7 shields the king from c8: the check is discovered by the push.
    ASSERT_TRUE(fen("2b4k/8/8/3pPK2/8/8/8/8", "w", "-", "d6"));
    EXPECT_EQ(pos.epSquare, 43);
}

TEST(Fen, EnPassantSquareDoesNotChangeTheKeys) {
    ASSERT_TRUE(fen("rnbqkbnr/ppp1pppp/8/3p4/4P3/8/PPPP1PPP/RNBQKBNR", "w", "KQkq", "d6"));
    const uint64_t withSquare = pos.hashKey();
    ASSERT_TRUE(fen("rnbqkbnr/ppp1pppp/8/3p4/4P3/8/PPPP1PPP/RNBQKBNR", "w", "KQkq", "-"));
    EXPECT_EQ(pos.hashKey(), withSquare);
}

TEST(Fen, RefusedSetUpsLeaveThePositionUntouched) {
    const char* refused[][2] = {
        {"8/8/8/8/8/8/K6k", "w"},      // seven ranks
        {"8/8/8/8/8/8/8/K6k/8", "w"},  // nine ranks
        {"k7/8/8/8/8/8/8/K6", "w"},    // a short rank
        {"k7/8/8/8/8/8/8/K7p", "w"},   // a long rank
        {"k7/8/8/8/8/8/8/K71", "w"},   // digits past the edge
        {"k7/8/8/8/8/8/8/K7/", "w"},   // a trailing slash
        {"kkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkK", "w"},
        {"", "w"},
        {"8/8/8/8/8/8/8/7k", "w"},                 // no white king
        {"k7/8/8/8/8/8/8/K6K", "w"},               // two white kings
        {"k6k/8/8/8/8/8/8/K7", "w"},               // two black kings
        {"k7/8/8/8/8/8/8/K6P", "w"},               // pawn on the first rank
        {"k3p3/8/8/8/8/8/8/K7", "b"},              // pawn on the last rank
        {"k7/8/QQQQQQQQ/QQQQQQQQ/8/8/8/7K", "b"},  // sixteen queens
        {"k7/8/8/8/8/PPPPPPPP/PPPPPPPP/K7", "b"},  // sixteen pawns
        {"k6R/8/8/8/8/8/8/K7", "w"},               // Black in check with White to move
        {"k7/8/8/8/8/8/1q6/K7", "b"},              // White in check with Black to move
        {"4k3/8/3pqq2/4K3/8/8/8/8", "w"},          // three checkers
    };
    ASSERT_TRUE(fen("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R", "w", "KQkq"));
    static Position before;
    std::memcpy(&before, &pos, sizeof pos);
    for (auto& c : refused) {
        EXPECT_FALSE(fen(c[0], c[1], "KQkq", "e3")) << c[0];
        EXPECT_EQ(0, std::memcmp(&pos, &before, sizeof pos)) << c[0];
    }
    // At the limits: fifteen of a kind, the side to move in check, and in double check.
    EXPECT_TRUE(fen("k7/8/QQQQQQQQ/QQQQQQQ1/8/8/8/7K", "b"));
    EXPECT_TRUE(fen("k6R/8/8/8/8/8/8/K7", "b"));
    EXPECT_TRUE(fen("2R1kR2/8/8/8/8/8/8/4K3", "b"));
    // Characters that are not placement letters are passed over.
    EXPECT_FALSE(fen("k7/8/8/8/8/8/8/K6x7", "w"));
    EXPECT_TRUE(fen("k7/8/8/8/8/8/8/K6x1", "w"));
}

TEST(MoveText, MatchesLegalMovesOnly) {
    ASSERT_TRUE(fen("k7/4P3/8/8/8/8/8/4K3", "w"));
    EXPECT_EQ(textToMove(pos, "e7e8"), NO_MOVE);
    EXPECT_EQ(textToMove(pos, "e7e8Q"), NO_MOVE);
    const Move q = textToMove(pos, "e7e8q");
    EXPECT_EQ(q, makeMoveWord(52, 60, Pawn, 0, Queen));
    EXPECT_EQ(textToMove(pos, "e7e8n"), makeMoveWord(52, 60, Pawn, 0, Knight));
    EXPECT_EQ(textToMove(pos, "e7e8qextra"), q);  // text after the fifth character is ignored
    for (const char* bad : {"", "e", "e1", "e1e", "e1e3", "z9z9", "E1E2", "a8a7", "e7e7q"})
        EXPECT_EQ(textToMove(pos, bad), NO_MOVE) << bad;
    // A fifth character after a move that does not promote is ignored.
    EXPECT_EQ(textToMove(pos, "e1f1x"), makeMoveWord(4, 5, King));

    ASSERT_TRUE(fen("r3k2r/8/8/8/8/8/8/R3K2R", "w", "KQkq"));
    EXPECT_EQ(textToMove(pos, "e1g1"), WHITE_KING_CASTLE);
    EXPECT_EQ(textToMove(pos, "e1c1"), WHITE_QUEEN_CASTLE);
    ASSERT_TRUE(fen("r3k2r/8/8/8/8/8/8/R3K2R", "b", "KQkq"));
    EXPECT_EQ(textToMove(pos, "e8c8"), BLACK_QUEEN_CASTLE);
    EXPECT_EQ(textToMove(pos, "e1g1"), NO_MOVE);  // not Black's move
}

TEST(MoveText, EveryLegalMoveSurvivesTheRoundTrip) {
    const char* placements[][2] = {
        {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R", "w"},
        {"r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1", "w"},
        {"rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R", "w"},
    };
    for (auto& p : placements) {
        ASSERT_TRUE(fen(p[0], p[1], "KQkq"));
        Move legal[MAX_MOVES];
        const int n = generateLegal(pos, legal);
        ASSERT_GT(n, 0);
        for (int i = 0; i < n; i++) {
            char text[6];
            moveToText(legal[i], text);
            EXPECT_EQ(std::strlen(text), movePromotion(legal[i]) ? 5u : 4u);
            EXPECT_EQ(textToMove(pos, text), legal[i]) << text;
        }
    }
}

TEST(MoveText, WritesMovesAndLines) {
    char text[6 * 3];
    moveToText(NO_MOVE, text);
    EXPECT_STREQ(text, "a1a1");
    moveToText(makeMoveWord(12, 28, Pawn), text);
    EXPECT_STREQ(text, "e2e4");
    moveToText(makeMoveWord(49, 56, Pawn, Black + Rook, Knight), text);
    EXPECT_STREQ(text, "b7a8n");
    const Move line[3] = {makeMoveWord(12, 28, Pawn), makeMoveWord(52, 36, Pawn),
                          makeMoveWord(55, 63, Pawn, 0, Queen)};
    pvToText(1, line, text);
    EXPECT_STREQ(text, "e2e4");
    pvToText(3, line, text);
    EXPECT_STREQ(text, "e2e4 e7e5 h7h8q");
}

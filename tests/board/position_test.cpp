#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "board/position.h"
#include "board_helpers.h"

using board_test::build;
using board_test::invariantsHold;
using board_test::samePosition;
using board_test::sq;

namespace {

const char* const Kiwipete = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R";

bool isPieceCode(int c) { return (c >= 9 && c <= 14) || (c >= 17 && c <= 22); }

struct Keys {
    uint64_t pawn = 0, piece = 0, material = 0;
};

// The keys by their definition: square keys of every piece, the side key, and the material key
// as the XOR of the first `count` keys of each code.
Keys keysByDefinition(const Position& pos) {
    Keys k;
    int count[32] = {};
    for (int s = 0; s < 64; s++) {
        const int c = pos.board[s];
        if (!isPieceCode(c)) continue;
        (typeOf(c) == Pawn ? k.pawn : k.piece) ^= PieceSquareKeys[c][s];
        count[c]++;
    }
    if (pos.sideToMove == White) k.piece ^= SideKey;
    for (int c = 0; c < 32; c++)
        if (isPieceCode(c) && typeOf(c) != King)
            for (int n = 0; n < count[c] && n < 16; n++) k.material ^= MaterialKeys[c][n];
    return k;
}

void expectKeys(const Position& pos, const Keys& k) {
    EXPECT_EQ(pos.pawnKey, k.pawn);
    EXPECT_EQ(pos.pieceKey, k.piece);
    EXPECT_EQ(pos.materialKey, k.material);
}

// The seeded 32-bit generator written out independently: 16 draws, the low nibble of each.
struct Lcg {
    uint64_t state = 1;
    unsigned draw() {
        state = (state * 214013 + 2531011) % 4294967296ULL;
        return unsigned(state / 65536) % 32768;
    }
    uint64_t key() {
        uint64_t k = 0;
        for (int i = 0; i < 16; i++) k += uint64_t(draw() % 16) << (4 * i);
        return k;
    }
};

}  // namespace

TEST(ZobristKeys, FollowTheSeededGeneratorInOrder) {
    Lcg first;
    // The first draws, worked out by hand from the seed.
    EXPECT_EQ(first.draw(), 41u);
    EXPECT_EQ(first.draw(), 18467u);
    EXPECT_EQ(first.draw(), 6334u);
    EXPECT_EQ(PieceSquareKeys[White + Pawn][0], 0xb9b11902e6c14e39ULL);
    EXPECT_EQ(PieceSquareKeys[White + Knight][0], 0xe776cde49ec7cb63ULL);

    Lcg g;
    for (int s = 0; s < 64; s++) {
        for (int c : {9, 10, 11, 12, 13, 14, 17, 18, 19, 20, 21, 22})
            ASSERT_EQ(PieceSquareKeys[c][s], g.key()) << "code " << c << " square " << s;
        ASSERT_EQ(EnPassantKeys[s], g.key()) << "square " << s;
    }
    EXPECT_EQ(SideKey, g.key());
    for (int n = 0; n < 16; n++)
        for (int c : {9, 10, 11, 12, 13, 17, 18, 19, 20, 21})
            ASSERT_EQ(MaterialKeys[c][n], g.key()) << "code " << c << " count " << n;
    // Codes that are no piece hold no key, so a stray code could never enter a key.
    for (int c = 0; c < 32; c++) {
        if (isPieceCode(c)) continue;
        for (int s = 0; s < 64; s++) ASSERT_EQ(PieceSquareKeys[c][s], 0u) << c;
    }

    // Building again from the seed gives the same tables.
    static uint64_t saved[32][64];
    std::memcpy(saved, PieceSquareKeys, sizeof saved);
    const uint64_t side = SideKey;
    buildKeys();
    EXPECT_EQ(std::memcmp(saved, PieceSquareKeys, sizeof saved), 0);
    EXPECT_EQ(SideKey, side);
}

TEST(SetUpPosition, StartPosition) {
    Position pos;
    setStartPosition(pos);
    ASSERT_TRUE(invariantsHold(pos));
    for (int c = 0; c < 2; c++) {
        const ColourBlock& b = pos.side[c];
        EXPECT_EQ(b.pieceCount, 7);
        EXPECT_EQ(b.count[Pawn], 8);
        EXPECT_EQ(b.count[Knight], 2);
        EXPECT_EQ(b.count[Bishop], 2);
        EXPECT_EQ(b.count[Rook], 2);
        EXPECT_EQ(b.count[Queen], 1);
    }
    EXPECT_EQ(pos.side[0].kingSquare, 4);
    EXPECT_EQ(pos.side[1].kingSquare, 60);
    EXPECT_EQ(pos.side[0].bb[Pawn], RANK_2);
    EXPECT_EQ(pos.side[1].bb[Pawn], RANK_7);
    EXPECT_EQ(pos.side[0].occupied, RANK_1 | RANK_2);
    EXPECT_EQ(pos.side[1].occupied, RANK_7 | RANK_8);
    EXPECT_EQ(pos.side[0].bb[Queen], bit(sq("d1")));
    EXPECT_EQ(pos.side[1].bb[Rook], bit(sq("a8")) | bit(sq("h8")));
    EXPECT_EQ(pos.sideToMove, White);
    EXPECT_EQ(pos.epSquare, NO_SQUARE);
    EXPECT_EQ(pos.halfmoveClock, 0);
    EXPECT_EQ(pos.lastCaptureSquare, NO_SQUARE);
    EXPECT_EQ(pos.gamePly, 0);
    for (int s = 0; s < 64; s++) EXPECT_EQ(pos.moved[s], 0);
    Position built = build("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR");
    for (int& m : built.moved) m = 0;
    EXPECT_TRUE(samePosition(pos, built));

    expectKeys(pos, keysByDefinition(pos));
    // Fixed by the seed: the same on every run and every build.
    EXPECT_EQ(pos.pawnKey, 0x541043929cc0875bULL);
    EXPECT_EQ(pos.pieceKey, 0x8a6602d8ddc00b19ULL);
    EXPECT_EQ(pos.materialKey, 0x11808e61ec22f215ULL);
}

TEST(SetUpPosition, SideToMoveAndEnPassantSquareInKeys) {
    for (const char* placement : {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR", Kiwipete}) {
        const Position white = build(placement, White);
        Position black = build(placement, Black);
        EXPECT_EQ(black.pieceKey, white.pieceKey ^ SideKey);
        EXPECT_EQ(black.pawnKey, white.pawnKey);
        EXPECT_EQ(black.materialKey, white.materialKey);
        black.sideToMove = White;
        black.pieceKey ^= SideKey;
        EXPECT_TRUE(samePosition(white, black));

        // An en-passant square never adds a key at set-up.
        Position ep = white;
        ep.epSquare = sq("e3");
        setUpPosition(ep);
        EXPECT_EQ(ep.hashKey(), white.hashKey());
        EXPECT_EQ(ep.materialKey, white.materialKey);
    }
}

TEST(SetUpPosition, EmptyBoard) {
    Position white = build("8/8/8/8/8/8/8/8", White);
    EXPECT_EQ(white.pawnKey, 0u);
    EXPECT_EQ(white.pieceKey, SideKey);
    EXPECT_EQ(white.materialKey, 0u);
    EXPECT_EQ(white.side[0].kingSquare, NO_SQUARE);
    EXPECT_EQ(white.side[1].kingSquare, NO_SQUARE);
    EXPECT_EQ(white.side[0].occupied | white.side[1].occupied, 0u);
    EXPECT_TRUE(invariantsHold(white));
    const Position black = build("8/8/8/8/8/8/8/8", Black);
    EXPECT_EQ(black.hashKey(), 0u);
    EXPECT_EQ(black.materialKey, 0u);
}

// set-up derives everything from the board and changes nothing the caller wrote, whatever the
// derived fields held before.
TEST(SetUpPosition, IdempotentAndKeepsCallerFields) {
    Position pos = build(Kiwipete, Black);
    const Position clean = pos;
    for (int s = 0; s < 64; s++) pos.moved[s] = s % 3;
    pos.epSquare = sq("c3");
    pos.halfmoveClock = 37;
    pos.lastCaptureSquare = sq("d5");
    pos.gamePly = 5;
    for (int i = 0; i < KEY_HISTORY_SIZE; i++) pos.keyHistory[i] = 0x9e3779b97f4a7c15ULL * i;
    Position expected = pos;
    std::memset(pos.side, 0xab, sizeof pos.side);
    pos.pawnKey = pos.pieceKey = pos.materialKey = ~0ULL;

    setUpPosition(pos);
    EXPECT_EQ(std::memcmp(pos.keyHistory, expected.keyHistory, sizeof pos.keyHistory), 0);
    expected.pawnKey = clean.pawnKey;
    expected.pieceKey = clean.pieceKey;
    expected.materialKey = clean.materialKey;
    std::memcpy(expected.side, clean.side, sizeof expected.side);
    EXPECT_TRUE(samePosition(pos, expected));

    const Position once = pos;
    setUpPosition(pos);
    EXPECT_TRUE(samePosition(pos, once));
}

TEST(SetUpPosition, InvariantsAndKeysOnVariedBoards) {
    const char* const boards[] = {
        Kiwipete,
        "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8",
        "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1",
        "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R",
        "QQQQQQQQ/QQQQQQQQ/8/8/8/8/qqqqqqqq/qqqqqqqk",  // 16 of a kind: the last count key
        "8/8/8/3k4/8/8/8/8",                            // one king only
        "8/PPPPPPPP/8/8/8/8/pppppppp/8",                // no kings at all
    };
    for (const char* b : boards) {
        SCOPED_TRACE(b);
        for (Colour c : {White, Black}) {
            const Position pos = build(b, c);
            EXPECT_TRUE(invariantsHold(pos));
            expectKeys(pos, keysByDefinition(pos));
        }
    }
    const Position queens = build(boards[4]);
    EXPECT_EQ(queens.side[0].count[Queen], 16);
    EXPECT_EQ(queens.side[1].count[Queen], 15);
    EXPECT_EQ(queens.side[0].kingSquare, NO_SQUARE);
    EXPECT_EQ(queens.side[1].kingSquare, sq("h1"));
    EXPECT_EQ(build(boards[6]).side[1].kingSquare, NO_SQUARE);
}

// Codes that are no piece are passed over; seventeen of a kind counts the seventeenth without
// reading past the count keys.
TEST(SetUpPosition, SkipsNonPieceCodesAndStaysInRange) {
    const Position empty = build("4k3/8/8/8/8/8/8/4K3");
    Position junk = empty;
    const int codes[] = {1, 6, 7, 8, 15, 16, 23, 24, 31, -1, 1000};
    for (int i = 0; i < 11; i++) junk.board[16 + i] = codes[i];
    setUpPosition(junk);
    EXPECT_EQ(junk.hashKey(), empty.hashKey());
    EXPECT_EQ(junk.materialKey, empty.materialKey);
    EXPECT_EQ(std::memcmp(junk.side, empty.side, sizeof junk.side), 0);

    Position many = build("NNNNNNNN/NNNNNNNN/N7/8/8/8/8/4k2K");
    EXPECT_EQ(many.side[0].count[Knight], 17);
    EXPECT_EQ(many.side[0].pieceCount, 17);
    EXPECT_TRUE(invariantsHold(many));
    EXPECT_EQ(many.materialKey, keysByDefinition(many).material);
}

TEST(KeyHistory, LongLinesKeepTheirLastHundredKeys) {
    Position pos = build("4k3/8/8/8/8/8/8/4K3");
    for (int i = 0; i < KEY_HISTORY_SIZE; i++) pos.keyHistory[i] = 1000 + i;
    pos.gamePly = 600;
    trimKeyHistory(pos);
    EXPECT_EQ(pos.gamePly, 600);
    EXPECT_EQ(pos.keyHistory[0], 1000u);
    pos.gamePly = 601;
    trimKeyHistory(pos);
    EXPECT_EQ(pos.gamePly, 100);
    for (int i = 0; i < 100; i++) EXPECT_EQ(pos.keyHistory[i], 1000u + 501 + i);
    pos.gamePly = KEY_HISTORY_SIZE;
    for (int i = 0; i < KEY_HISTORY_SIZE; i++) pos.keyHistory[i] = i;
    trimKeyHistory(pos);
    EXPECT_EQ(pos.gamePly, 100);
    EXPECT_EQ(pos.keyHistory[99], uint64_t(KEY_HISTORY_SIZE - 1));
}

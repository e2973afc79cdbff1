#include "board/quietchecks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "board/attacks.h"
#include "board/board_helpers.h"
#include "board/legal.h"
#include "board/makemove.h"
#include "board/movegen.h"

using board_test::build;
using board_test::sq;

namespace {

std::vector<Move> quietChecks(Position& pos) {
    Move list[MAX_MOVES];
    const int n = generateQuietChecks(pos, list);
    return std::vector<Move>(list, list + n);
}

// Every quiet move that gives check, found the slow way.
std::vector<Move> checkingQuiets(Position& pos) {
    Move list[MAX_MOVES];
    const int n = generateQuiet(pos, list);
    std::vector<Move> out;
    for (int i = 0; i < n; i++) {
        UndoRecord undo;
        makeMove(pos, undo, list[i]);
        if (inCheck(pos)) out.push_back(list[i]);
        unmakeMove(pos, undo, list[i]);
    }
    return out;
}

void compareTree(Position& pos, int depth, int& nodes) {
    nodes++;
    std::vector<Move> fast = quietChecks(pos), slow = checkingQuiets(pos);
    std::sort(fast.begin(), fast.end());
    std::sort(slow.begin(), slow.end());
    ASSERT_EQ(fast, slow);
    if (depth == 0) return;
    Move list[MAX_MOVES];
    const int n = generateLegal(pos, list);
    for (int i = 0; i < n; i++) {
        UndoRecord undo;
        makeMove(pos, undo, list[i]);
        compareTree(pos, depth - 1, nodes);
        unmakeMove(pos, undo, list[i]);
    }
}

Move move(const char* from, const char* to, int type) {
    return makeMoveWord(sq(from), sq(to), type);
}

}  // namespace

TEST(QuietChecks, EqualTheCheckingQuietMovesOverWholeTrees) {
    struct Case {
        const char* placement;
        Colour side;
        const char* castling;
    } cases[] = {
        {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R", White, "KQkq"},
        {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8", White, "-"},
        {"rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R", White, "KQ"},
        {"4k3/8/8/8/1B6/3N4/8/R3K2R", White, "KQ"},
        {"r3k2r/8/8/8/8/8/8/4K3", Black, "kq"},
    };
    for (const Case& c : cases) {
        Position pos = build(c.placement, c.side, c.castling);
        int nodes = 0;
        compareTree(pos, 2, nodes);
        EXPECT_GT(nodes, 10) << c.placement;
    }
}

TEST(QuietChecks, DiscoverersWriteEveryQuietMove) {
    // The knight stands alone between its bishop and the king: all its moves discover check.
    Position pos = build("7k/8/8/8/3N4/8/1B6/K7", White);
    std::vector<Move> checks = quietChecks(pos);
    EXPECT_EQ(
        std::count_if(checks.begin(), checks.end(), [](Move m) { return moveType(m) == Knight; }),
        8);

    // The king between its rook and the enemy king on a rank steps off the rank only.
    Position king = build("8/8/8/R2K3k/8/8/8/8", White);
    checks = quietChecks(king);
    for (Move m : checks) {
        if (moveType(m) != King) continue;
        EXPECT_NE(rankOf(moveTo(m)), 4);
    }
    EXPECT_EQ(
        std::count_if(checks.begin(), checks.end(), [](Move m) { return moveType(m) == King; }), 6);
}

TEST(QuietChecks, PawnsAndBishopsFollowTheirLines) {
    // A pawn between its rook and the king on a file pushes along the file: no check.
    Position file = build("4k3/8/8/8/8/8/4P3/4R1K1", White);
    for (Move m : quietChecks(file)) EXPECT_NE(moveType(m), Pawn);
    // Between its bishop and the king on a diagonal, the push leaves the line: check.
    Position diagonal = build("8/8/8/8/7k/8/5P2/4B1K1", White);
    std::vector<Move> checks = quietChecks(diagonal);
    EXPECT_NE(std::find(checks.begin(), checks.end(), move("f2", "f3", Pawn)), checks.end());
    // A bishop on the other square colour than the king gives no direct check.
    Position bishop = build("6k1/8/8/8/8/8/8/K3B3", White);
    for (Move m : quietChecks(bishop)) EXPECT_NE(moveType(m), Bishop);
}

TEST(QuietChecks, CastlingOnlyWhenTheRookChecks) {
    Position checks = build("5k2/8/8/8/8/8/8/4K2R", White, "K");
    std::vector<Move> list = quietChecks(checks);
    EXPECT_NE(std::find(list.begin(), list.end(), WHITE_KING_CASTLE), list.end());
    Position none = build("6k1/8/8/8/8/8/8/4K2R", White, "K");
    list = quietChecks(none);
    EXPECT_EQ(std::find(list.begin(), list.end(), WHITE_KING_CASTLE), list.end());
    Position empty = build("k7/8/8/8/8/8/8/7K", White);
    EXPECT_TRUE(quietChecks(empty).empty());
}

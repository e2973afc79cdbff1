// The search below and at the root: mate scores at fixed depth (castling, en passant and
// under-promotion mates among them), stalemate, the fifty-move and repetition draws inside the
// tree, the verification search, the ply bound, exact restoration of the position, and the
// node-count signature.
#include <gtest/gtest.h>

#include <cstring>

#include "board/attacks.h"
#include "board/board_helpers.h"
#include "board/legal.h"
#include "board/makemove.h"
#include "search/search.h"
#include "search/search_helpers.h"
#include "shell/bench.h"
#include "shell/engine_process.h"

using board_test::samePosition;

namespace {

void play(SearchThread& thread, const std::vector<const char*>& moves) {
    for (const char* text : moves) {
        const Move m = textToMove(thread.position, text);
        ASSERT_NE(m, NO_MOVE) << text;
        UndoRecord undo;
        makeMove(thread.position, undo, m);
    }
}

int searchNode(SearchThread& thread, int depth, int ply, int alpha, int beta, bool nonPv) {
    Move best;
    const int check = inCheck(thread.position);
    return thread.position.sideToMove == White
               ? alphaBeta<White>(thread, depth, ply, check, alpha, beta, nonPv, best)
               : alphaBeta<Black>(thread, depth, ply, check, alpha, beta, nonPv, best);
}

struct MateCase {
    const char* fen;
    int depth;
    int score;
    const char* move;  // nullptr: any
};

}  // namespace

TEST(SearchMates, FoundAtFixedDepthWithTheirDistance) {
    const MateCase cases[] = {
        {"6k1/5ppp/8/8/8/8/8/R5K1 w - -", 3, MATE - 1, "a1a8"},
        {"8/8/8/8/2ppp3/2pkp3/8/R3K1N1 w Q -", 3, MATE - 1, "e1c1"},        // castling
        {"3bbr2/4kp2/4pp2/1B1pP3/2N5/8/8/7K w - d6", 3, MATE - 1, "e5d6"},  // en passant
        {"6r1/5Ppp/6pk/6pp/8/8/8/K7 w - -", 3, MATE - 1, "f7g8n"},          // knight promotion
        {"7k/8/5K2/8/8/8/8/6R1 w - -", 5, MATE - 3, nullptr},
        {"k7/8/8/3K4/8/8/8/7R w - -", 7, MATE - 5, nullptr},
        {"k7/8/1K6/8/8/8/8/7R b - -", 4, -(MATE - 2), "a8b8"},   // mated in 1
        {"k7/8/2K5/8/8/8/8/7R b - -", 6, -(MATE - 4), nullptr},  // mated in 2
        {"6r1/8/8/8/8/5k2/8/7K b - -", 5, MATE - 3, nullptr},    // Black mates
    };
    for (const MateCase& c : cases) {
        const SearchResult r = searchFen(c.fen, c.depth);
        EXPECT_EQ(r.score, c.score) << c.fen;
        if (c.move) {
            EXPECT_EQ(text(r.bestMove), c.move) << c.fen;
        }
    }
}

TEST(SearchNodes, MateStalemateAndTheFiftyMoveRule) {
    ThreadPtr thread = newMainThread();
    ASSERT_TRUE(setFen(*thread, "7k/5Q2/6K1/8/8/8/8/8 b - -"));
    EXPECT_EQ(searchNode(*thread, 8, 1, -MATE, MATE, false), 0);  // stalemate
    ASSERT_TRUE(setFen(*thread, "R5k1/5ppp/8/8/8/8/8/6K1 b - -"));
    EXPECT_EQ(searchNode(*thread, 8, 3, -MATE, MATE, false), 3 - MATE);
    thread->position.halfmoveClock = 100;  // mate on the hundredth half-move still counts
    EXPECT_EQ(searchNode(*thread, 8, 3, -MATE, MATE, false), 3 - MATE);
    thread->position.halfmoveClock = 101;
    EXPECT_EQ(searchNode(*thread, 8, 3, -MATE, MATE, false), 0);

    // From the root: the mate lands on half-move 100, or on 101, which is too late.
    ASSERT_TRUE(setFen(*thread, "6k1/5ppp/8/8/8/8/8/R5K1 w - -"));
    thread->position.halfmoveClock = 99;
    EXPECT_EQ(searchTo(*thread, 3).score, MATE - 1);
    ASSERT_TRUE(setFen(*thread, "6k1/5ppp/8/8/8/8/8/R5K1 w - -"));
    thread->position.halfmoveClock = 100;
    EXPECT_EQ(searchTo(*thread, 3).score, 0);
}

TEST(SearchNodes, RepetitionWithinTheClockIsADrawBeforeAnythingElse) {
    ThreadPtr thread = newMainThread();
    play(*thread, {"e2e4", "e7e5", "g1f3", "g8f6", "f3g1", "f6g8"});
    thread->nodeCount = 0;
    EXPECT_EQ(searchNode(*thread, 12, 1, -MATE, MATE, false), 0);
    EXPECT_EQ(thread->nodeCount, 1u);

    // The same knight dance before the pawn moves: the clock has reset since.
    setStartPosition(thread->position);
    play(*thread, {"g1f3", "g8f6", "f3g1", "f6g8", "e2e4", "e7e5"});
    thread->nodeCount = 0;
    searchNode(*thread, 12, 1, -MATE, MATE, false);
    EXPECT_GT(thread->nodeCount, 100u);
}

TEST(SearchNodes, VerificationWithoutAMoveRewardsNothing) {
    // White has one piece and no legal move; passing fails high, the verification finds no move.
    ThreadPtr thread = newMainThread();
    ASSERT_TRUE(setFen(*thread, "7k/8/8/8/8/p1p5/P1P5/KB6 w - -"));
    clearOrderingTables(thread->orderingTables);
    EXPECT_EQ(searchNode(*thread, 24, 1, -1, 0, true), 0);
    const OrderingTables& t = thread->orderingTables;
    EXPECT_EQ(t.killer1[1], 0);
    for (int piece = 0; piece < 6; piece++)
        for (int s = 0; s < 64; s++) {
            EXPECT_EQ(t.history[piece][s], 0) << piece << " " << s;
            EXPECT_EQ(t.triedCount[piece][s], 1) << piece << " " << s;
        }
}

TEST(SearchNodes, PlyBoundReturnsTheEvaluationUncounted) {
    ThreadPtr thread = newMainThread();
    ASSERT_TRUE(
        setFen(*thread, "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -"));
    thread->nodeCount = 0;
    const int atBound = searchNode(*thread, 40, MAX_PLY, -MATE, MATE, false);
    EXPECT_EQ(thread->nodeCount, 0u);
    EXPECT_LT(std::abs(atBound), 1000);
    // Just below the bound the children stop at once.
    searchNode(*thread, 40, MAX_PLY - 1, -MATE, MATE, false);
    EXPECT_GT(thread->nodeCount, 0u);
    EXPECT_LT(thread->nodeCount, 200u);
}

TEST(SearchNodes, EverySearchLeavesThePositionAsItFoundIt) {
    ThreadPtr thread = newMainThread();
    ttResize(16);
    uint32_t seed = 12345;
    int positions = 0;
    for (int game = 0; game < 30 && positions < 300; game++) {
        setStartPosition(thread->position);
        for (int ply = 0; ply < 40; ply++) {
            Position& pos = thread->position;
            Move moves[MAX_MOVES];
            const int n = generateLegal(pos, moves);
            if (n == 0) break;
            if (ply % 4 == 3) {
                const Position before = pos;
                searchNode(*thread, 12, 1, -MATE, MATE, false);
                searchNode(*thread, 16, 2, -50, -49, true);  // null moves and reductions
                ASSERT_TRUE(samePosition(before, pos));
                positions++;
            }
            seed = seed * 1103515245 + 12345;
            UndoRecord undo;
            makeMove(pos, undo, moves[(seed >> 16) % n]);
        }
    }
    EXPECT_GE(positions, 250);
}

// Node counts at a fixed depth on fresh tables: the search's fingerprint. A change here is a change
// of search behaviour and must be made on purpose.
TEST(SearchSignature, FixedDepthNodeCountsAreReproducible) {
    const uint64_t expected[12] = {21392,  437423, 17658,  119197, 132354, 125575,
                                   116880, 250740, 152744, 255198, 107309, 33146};
    for (int i = 0; i < 12; i++) {
        ThreadPtr thread = newMainThread();
        ASSERT_TRUE(setFen(*thread, BenchPositions[i]));
        const uint64_t first = searchTo(*thread, 7).nodes;
        ThreadPtr again = newMainThread();
        ASSERT_TRUE(setFen(*again, BenchPositions[i]));
        EXPECT_EQ(searchTo(*again, 7).nodes, first) << BenchPositions[i];
        EXPECT_EQ(first, expected[i]) << i << ": " << BenchPositions[i];
    }
}

// The bench command's total at its default depth, through the binary: the signature CI checks.
TEST(DeepSearchSignature, BenchCommandTotal) {
    const engine_process::Result r = engine_process::runEngine("bench\n", 300000);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output.substr(0, r.output.find(" nps")).substr(0, 15), "30768618 nodes ")
        << r.output;
}

// The PV walk follows table moves, but never through a move that leaves the king attacked (a
// torn or colliding entry) nor into a position already on the line or in the game.
TEST(PrincipalVariation, StopsAtAnIllegalMoveAndAtARepeatedPosition) {
    ttResize(16);
    ThreadPtr thread = newMainThread();
    Position& pos = thread->position;
    auto after = [&](std::vector<const char*> moves) {
        setStartPosition(pos);
        play(*thread, moves);
        return pos.hashKey();
    };
    const char* dance[] = {"g1f3", "g8f6", "f3g1", "f6g8"};
    for (int i = 1; i < 4; i++) {
        const uint64_t key = after(std::vector<const char*>(dance, dance + i));
        ttStore(key, textToMove(pos, dance[i]), 8, -MATE, MATE);
    }
    setStartPosition(pos);
    Move pv[MAX_PV];
    ASSERT_EQ(extractPv(pos, textToMove(pos, "g1f3"), pv), 3);
    EXPECT_EQ(text(pv[2]), "f3g1");
    // After the same dance in the game, the line stops before its first move into a position
    // the game has had; the first move itself always stands.
    after(std::vector<const char*>(dance, dance + 4));
    EXPECT_EQ(extractPv(pos, textToMove(pos, "g1f3"), pv), 1);

    // Black's bishop is pinned to its king: its table move must not be printed.
    ASSERT_TRUE(setFen(*thread, "4k3/4b3/8/8/8/8/P7/4R1K1 w - -"));
    const Position before = pos;
    const Move first = textToMove(pos, "a2a3");
    UndoRecord undo;
    makeMove(pos, undo, first);
    ttStore(pos.hashKey(), makeMoveWord(52, 43, Bishop), 8, -MATE, MATE);
    unmakeMove(pos, undo, first);
    EXPECT_EQ(extractPv(pos, first, pv), 1);
    EXPECT_TRUE(samePosition(before, pos));
}

// The fifty-move rule ends a line like a repetition: the move that reaches the hundredth
// half-move stands, nothing after it.
TEST(PrincipalVariation, StopsWhereTheFiftyMoveRuleEndsTheGame) {
    ttResize(16);
    ThreadPtr thread = newMainThread();
    Position& pos = thread->position;
    for (const char* clock : {"0", "98"}) {
        ASSERT_TRUE(readFen(pos, "4k3/8/8/8/8/8/8/4K2R", "w", "K", "-", clock));
        const Position start = pos;
        const char* line[] = {"h1h2", "e8d8", "h2h3"};
        for (int i = 1; i < 3; i++) {
            play(*thread, std::vector<const char*>(line, line + i));
            ttStore(pos.hashKey(), textToMove(pos, line[i]), 8, -MATE, MATE);
            pos = start;
        }
        Move pv[MAX_PV];
        EXPECT_EQ(extractPv(pos, textToMove(pos, "h1h2"), pv), clock[0] == '0' ? 3 : 2) << clock;
    }
    ttResize(16);
}

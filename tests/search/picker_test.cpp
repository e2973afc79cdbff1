#include "search/picker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "board/attacks.h"
#include "board/board_helpers.h"
#include "board/legal.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/tables.h"

using board_test::build;
using board_test::sq;

namespace {

struct Picked {
    std::vector<Move> moves;
    std::vector<int> ratios;
};

Picked pickAll(bool helper, Position& pos, const OrderingTables& tables, int ply, Move tt) {
    MovePicker picker;
    initMovePicker(helper, pos, tables, picker, inCheck(pos), ply, tt);
    Picked out;
    while (Move m = nextMove(helper, pos, tables, picker)) {
        out.moves.push_back(m);
        out.ratios.push_back(picker.cutoffs * FULL_RATIO / picker.tries);
    }
    // Exhausted pickers stay exhausted.
    EXPECT_EQ(nextMove(helper, pos, tables, picker), NO_MOVE);
    return out;
}

std::vector<Move> legalMoves(Position& pos) {
    Move list[MAX_MOVES];
    const int n = generateLegal(pos, list);
    return std::vector<Move>(list, list + n);
}

Move move(const char* from, const char* to, int type, int captured = 0, int promotion = 0) {
    return makeMoveWord(sq(from), sq(to), type, captured, promotion);
}

OrderingTables freshTables() {
    OrderingTables tables;
    clearOrderingTables(tables);
    return tables;
}

const char* const Placements[] = {
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R",
};

// Walks a small tree so the picker sees positions in check and out of it, with killers and a
// table move taken from sibling positions.
void checkEveryNode(Position& pos, OrderingTables& tables, int depth, int ply, Move foreign,
                    int& nodes) {
    nodes++;
    std::vector<Move> legal = legalMoves(pos);
    for (bool helper : {false, true}) {
        for (Move tt : {NO_MOVE, foreign, legal.empty() ? NO_MOVE : legal.back()}) {
            Picked picked = pickAll(helper, pos, tables, ply, tt);
            std::vector<Move> a = picked.moves, b = legal;
            std::sort(a.begin(), a.end());
            std::sort(b.begin(), b.end());
            ASSERT_EQ(a, b) << "picker and legal list differ at ply " << ply;
            if (tt && std::find(legal.begin(), legal.end(), tt) != legal.end()) {
                EXPECT_EQ(picked.moves.front(), tt);
            }
        }
    }
    if (depth == 0) return;
    Move prev = foreign;
    for (Move m : legal) {
        UndoRecord undo;
        makeMove(pos, undo, m);
        checkEveryNode(pos, tables, depth - 1, ply + 1, prev, nodes);
        unmakeMove(pos, undo, m);
        if (!isTactical(m)) rewardQuietMove(pos, tables, m, 16, ply);
        prev = m;
    }
}

}  // namespace

TEST(SortByScore, StableDescendingWithSentinel) {
    Move moves[8] = {1, 2, 3, 4, 5, 6};
    int32_t scores[8] = {5, 9, 5, -3, 9, 5};
    sortByScore(6, moves, scores);
    const Move expected[6] = {2, 5, 1, 3, 6, 4};
    const int32_t expectedScores[6] = {9, 9, 5, 5, 5, -3};
    for (int i = 0; i < 6; i++) {
        EXPECT_EQ(moves[i], expected[i]);
        EXPECT_EQ(scores[i], expectedScores[i]);
    }
    EXPECT_EQ(scores[6], NO_SCORE);
}

TEST(SortByScore, PresortKeepsPromotionOrderAndPrefersHigherFromTo) {
    Move moves[8] = {move("a7", "a8", Pawn, 0, Queen), move("a7", "a8", Pawn, 0, Knight),
                     move("b2", "b3", Pawn), move("h2", "h3", Pawn)};
    int32_t scratch[8];
    presortByFromTo(4, moves, scratch);
    EXPECT_EQ(moves[0], move("a7", "a8", Pawn, 0, Queen));
    EXPECT_EQ(moves[1], move("a7", "a8", Pawn, 0, Knight));
    EXPECT_EQ(moves[2], move("h2", "h3", Pawn));
    EXPECT_EQ(moves[3], move("b2", "b3", Pawn));
}

TEST(MovePicker, HandsOutEveryLegalMoveOnceOnBothThreadKinds) {
    for (const char* placement : Placements)
        for (Colour side : {White, Black}) {
            Position pos = build(placement, side, "KQkq");
            // Rights whose pieces are gone would castle a rook from nowhere; keep the real ones.
            if (pos.board[4] != White + King) pos.moved[4] = 1;
            if (pos.board[60] != Black + King) pos.moved[60] = 1;
            for (int s : {0, 7, 56, 63})
                if (typeOf(pos.board[s]) != Rook) pos.moved[s] = 1;
            // The side not to move must not be in check (its king could be captured).
            const bool otherInCheck = side == White
                                          ? isAttackedBy<White>(pos, pos.side[1].kingSquare)
                                          : isAttackedBy<Black>(pos, pos.side[0].kingSquare);
            if (otherInCheck) continue;
            OrderingTables tables = freshTables();
            int nodes = 0;
            checkEveryNode(pos, tables, 2, 0, move("e2", "e4", Pawn), nodes);
            EXPECT_GT(nodes, 1);
        }
}

TEST(MovePicker, StagesComeInOrder) {
    // The queen can take the knight on d5, which the e6 pawn defends (a losing capture); the e4
    // pawn and the c3 knight take it with gain or level; the knight also takes the loose b5 pawn;
    // the b7 pawn promotes (the queen is good, the under-promotions are deferred).
    Position pos = build("4k3/1P5p/4p3/1p1n4/4P3/2N5/8/3QK3", White);
    OrderingTables tables = freshTables();
    const Move killer1 = move("e1", "f2", King), killer2 = move("h1", "h2", King);
    tables.killer1[0] = int32_t(killer1);
    tables.killer2[0] = int32_t(killer2);
    tables.history[PieceIndex12[White + Queen]][sq("a4")] = 500;
    Picked picked = pickAll(false, pos, tables, 0, NO_MOVE);
    const std::vector<Move>& m = picked.moves;
    ASSERT_EQ(m.size(), legalMoves(pos).size());
    // Good captures by capture order: pawn takes knight 11, knight takes knight 10, knight takes
    // pawn 4, queen promotion -1.
    EXPECT_EQ(m[0], move("e4", "d5", Pawn, Black + Knight));
    EXPECT_EQ(m[1], move("c3", "d5", Knight, Black + Knight));
    EXPECT_EQ(m[2], move("c3", "b5", Knight, Black + Pawn));
    EXPECT_EQ(m[3], move("b7", "b8", Pawn, 0, Queen));
    // killer1 next; killer2 (no king on h1) is not pseudo-legal and is skipped.
    EXPECT_EQ(m[4], killer1);
    EXPECT_EQ(std::count(m.begin(), m.end(), killer1), 1);
    EXPECT_EQ(std::count(m.begin(), m.end(), killer2), 0);
    // Quiet moves by history.
    EXPECT_EQ(m[5], move("d1", "a4", Queen));
    EXPECT_EQ(picked.ratios[5], FULL_RATIO);  // counters start at 1/1
    // The losing capture and the under-promotions last, in the order they were deferred.
    const std::vector<Move> tail(m.end() - 4, m.end());
    EXPECT_EQ(tail[0], move("d1", "d5", Queen, Black + Knight));
    EXPECT_EQ(tail[1], move("b7", "b8", Pawn, 0, Rook));
    EXPECT_EQ(tail[2], move("b7", "b8", Pawn, 0, Bishop));
    EXPECT_EQ(tail[3], move("b7", "b8", Pawn, 0, Knight));
}

TEST(MovePicker, QuietRatioComesFromTheCounters) {
    Position pos = build("4k3/8/8/8/8/8/8/R3K3", White);
    OrderingTables tables = freshTables();
    const int rook = PieceIndex12[White + Rook];
    tables.history[rook][sq("a5")] = 100;
    tables.triedCount[rook][sq("a5")] = 4;
    tables.cutoffCount[rook][sq("a5")] = 3;
    Picked picked = pickAll(false, pos, tables, 0, NO_MOVE);
    ASSERT_FALSE(picked.moves.empty());
    EXPECT_EQ(picked.moves[0], move("a1", "a5", Rook));
    EXPECT_EQ(picked.ratios[0], 3 * FULL_RATIO / 4);
}

TEST(MovePicker, TableMoveFirstOnlyWhenGeneratedAndNeverTwice) {
    Position pos = build("4k3/8/8/8/8/8/4P3/4K2R", White, "K");
    OrderingTables tables = freshTables();
    const Move push = move("e2", "e4", Pawn);
    tables.killer1[3] = int32_t(push);
    Picked picked = pickAll(false, pos, tables, 3, push);
    EXPECT_EQ(picked.moves.front(), push);
    EXPECT_EQ(std::count(picked.moves.begin(), picked.moves.end(), push), 1);
    EXPECT_EQ(picked.moves.size(), legalMoves(pos).size());

    // A stale table move (a capture of a piece that is not there) is never played.
    const Move stale = move("h1", "h8", Rook, Black + Rook);
    picked = pickAll(false, pos, tables, 3, stale);
    EXPECT_EQ(std::count(picked.moves.begin(), picked.moves.end(), stale), 0);
    EXPECT_EQ(picked.moves.size(), legalMoves(pos).size());

    // A table move that would leave the king in check is not played either.
    Position pinned = build("4k3/4r3/8/8/8/8/4B3/4K3", White);
    const Move exposing = move("e2", "d3", Bishop);
    picked = pickAll(false, pinned, tables, 3, exposing);
    EXPECT_EQ(std::count(picked.moves.begin(), picked.moves.end(), exposing), 0);
}

TEST(MovePicker, EqualHistoryTieBreakDiffersBetweenMainAndHelper) {
    // Two king steps with equal (zero) history: generation order on the main thread, higher
    // from/to key first on a helper.
    Position pos = build("7k/8/8/8/8/8/8/K7", White);
    OrderingTables tables = freshTables();
    Picked main = pickAll(false, pos, tables, 0, NO_MOVE);
    Picked helper = pickAll(true, pos, tables, 0, NO_MOVE);
    ASSERT_EQ(main.moves.size(), 3u);
    EXPECT_EQ(main.moves[0], move("a1", "b1", King));
    EXPECT_EQ(main.moves[1], move("a1", "a2", King));
    EXPECT_EQ(main.moves[2], move("a1", "b2", King));
    EXPECT_EQ(helper.moves[0], move("a1", "b2", King));
    EXPECT_EQ(helper.moves[1], move("a1", "a2", King));
    EXPECT_EQ(helper.moves[2], move("a1", "b1", King));
}

TEST(MovePicker, EvasionsSortedByTableMoveKillersAndHistory) {
    // The rook checks along the e-file: king steps d1, f1, f2 and the bishop's interposition e3.
    Position pos = build("4k3/8/8/8/4r3/8/3B4/4K3", White);
    ASSERT_TRUE(inCheck(pos));
    OrderingTables tables = freshTables();
    tables.killer1[2] = int32_t(move("e1", "f2", King));
    MovePicker picker;
    EXPECT_EQ(initMovePicker(false, pos, tables, picker, true, 2, move("d2", "e3", Bishop)), 0);
    const Move expected[4] = {move("d2", "e3", Bishop), move("e1", "f2", King),
                              move("e1", "d1", King), move("e1", "f1", King)};
    for (Move m : expected) EXPECT_EQ(nextMove(false, pos, tables, picker), m);
    EXPECT_EQ(nextMove(false, pos, tables, picker), NO_MOVE);
}

TEST(MovePicker, SingleReplyInCheck) {
    Position pos = build("k7/8/8/8/8/8/1r6/K1r5", White);
    ASSERT_TRUE(inCheck(pos));
    OrderingTables tables = freshTables();
    MovePicker picker;
    EXPECT_EQ(initMovePicker(false, pos, tables, picker, true, 0, NO_MOVE), 1);
    EXPECT_EQ(nextMove(false, pos, tables, picker), move("a1", "b2", King, Black + Rook));
    EXPECT_EQ(nextMove(false, pos, tables, picker), NO_MOVE);
}

TEST(OrderingStatistics, HistoryHalvesAllValuesPastTheLimit) {
    Position pos = build("4k3/8/8/8/8/8/8/R3K3", White);
    OrderingTables tables = freshTables();
    tables.history[PieceIndex12[White + Rook]][sq("a2")] = 16383 - 63;
    tables.history[PieceIndex12[Black + Pawn]][sq("c3")] = 7;
    const Move m = move("a1", "a2", Rook);
    rewardQuietMove(pos, tables, m, 32, 5);  // 32 * 32 / 16 = 64 brings it to 16384
    EXPECT_EQ(tables.history[PieceIndex12[White + Rook]][sq("a2")], 8192);
    EXPECT_EQ(tables.history[PieceIndex12[Black + Pawn]][sq("c3")], 4);
    EXPECT_EQ(tables.killer1[5], int32_t(m));
    // A second reward of the same move keeps the killers as they are.
    tables.killer2[5] = 77;
    rewardQuietMove(pos, tables, m, 4, 5);
    EXPECT_EQ(tables.killer1[5], int32_t(m));
    EXPECT_EQ(tables.killer2[5], 77);
    EXPECT_EQ(tables.history[PieceIndex12[White + Rook]][sq("a2")], 8193);
}

TEST(OrderingStatistics, TryAndCutoffCountersHalveKeepingTheRatio) {
    Position pos = build("4k3/8/8/8/8/8/8/R3K3", White);
    OrderingTables tables = freshTables();
    const int rook = PieceIndex12[White + Rook];
    const Move tried = move("a1", "a3", Rook), cut = move("a1", "a2", Rook);
    const Move capture = move("a1", "a8", Rook, Black + Rook);
    tables.triedCount[rook][sq("a3")] = 16383;
    tables.cutoffCount[rook][sq("a3")] = 8000;
    tables.triedCount[rook][sq("a2")] = 16383;
    tables.cutoffCount[rook][sq("a2")] = 12001;
    const Move searched[3] = {capture, tried, cut};
    countQuietTries(pos, tables, 3, searched);
    EXPECT_EQ(tables.triedCount[rook][sq("a3")], 8192);
    EXPECT_EQ(tables.cutoffCount[rook][sq("a3")], 4000);
    EXPECT_EQ(tables.triedCount[rook][sq("a2")], 8192);
    EXPECT_EQ(tables.cutoffCount[rook][sq("a2")], 6001);
    // The capture is not counted.
    EXPECT_EQ(tables.triedCount[rook][sq("a8")], 1);

    countQuietTries(pos, tables, 1, searched + 2);
    EXPECT_EQ(tables.triedCount[rook][sq("a2")], 8193);
    EXPECT_EQ(tables.cutoffCount[rook][sq("a2")], 6002);
}

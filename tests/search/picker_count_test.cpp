// The move picker must hand out every legal move exactly once at every node: its tree count
// equals the plain legal-tree count, on both the main thread's and a helper's ordering.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "board/attacks.h"
#include "board/legal.h"
#include "board/makemove.h"
#include "board/notation.h"
#include "search/searchthread.h"
#include "shell/speed.h"

namespace {

struct Threads {
    std::unique_ptr<SearchThread> main = std::make_unique<SearchThread>();
    std::unique_ptr<SearchThread> helper = std::make_unique<SearchThread>();
    Threads() {
        initThread(*main, MAIN_THREAD);
        initThread(*helper, 0);
    }
    ~Threads() {
        releaseThread(*main);
        releaseThread(*helper);
    }
};

void expectEqualCounts(Threads& t, const Position& pos, int depth) {
    for (SearchThread* thread : {t.main.get(), t.helper.get()}) {
        thread->position = pos;
        clearOrderingTables(thread->orderingTables);
        const uint64_t plain = perftCount(thread->position, depth);
        EXPECT_EQ(pickerCount(*thread, depth, 0), plain) << "thread " << thread->threadIndex;
    }
}

Position fromFen(const char* placement, const char* side, const char* castling) {
    Position pos;
    setStartPosition(pos);
    EXPECT_TRUE(readFen(pos, placement, side, castling, "-")) << placement;
    return pos;
}

}  // namespace

TEST(PickerCount, EqualsThePlainCountOnThePerftPositions) {
    Threads t;
    expectEqualCounts(t, fromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR", "w", "KQkq"), 4);
    expectEqualCounts(
        t, fromFen("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R", "w", "KQkq"), 3);
    expectEqualCounts(t, fromFen("8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8", "w", "-"), 4);
    expectEqualCounts(
        t, fromFen("r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1", "w", "kq"), 3);
    expectEqualCounts(t, fromFen("rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R", "w", "KQ"), 3);
}

TEST(PickerCount, EqualsThePlainCountAlongRandomGames) {
    Threads t;
    std::mt19937 random(20261207);
    int checks = 0, positions = 0;
    for (int game = 0; game < 12; game++) {
        Position pos;
        setStartPosition(pos);
        for (int ply = 0; ply < 120; ply++) {
            Move moves[MAX_MOVES];
            const int n = generateLegal(pos, moves);
            if (n == 0) break;
            if (ply % 6 == 0 || inCheck(pos)) {
                checks += inCheck(pos);
                positions++;
                expectEqualCounts(t, pos, 2);
            }
            UndoRecord undo;
            makeMove(pos, undo, moves[random() % n]);
        }
    }
    EXPECT_GT(checks, 10);
    EXPECT_GT(positions, 100);
}

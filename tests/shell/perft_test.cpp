// perftCount against the published counts of the well-known perft positions.
#include <gtest/gtest.h>

#include <cstdio>

#include "shell/notation.h"
#include "shell/speed.h"

namespace {

struct PerftCase {
    const char* fen;
    std::vector<uint64_t> counts;  // depth 1, 2, ...
};

const PerftCase Cases[] = {
    {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", {20, 400, 8902, 197281, 4865609}},
    {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
     {48, 2039, 97862, 4085603}},
    {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -", {14, 191, 2812, 43238, 674624}},
    {"r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq -", {6, 264, 9467, 422333}},
    {"r2q1rk1/pP1p2pp/Q4n2/bbp1p3/Np6/1B3NBn/pPPP1PPP/R3K2R b KQ -", {6, 264, 9467, 422333}},
    {"rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ -", {44, 1486, 62379, 2103487}},
    {"r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - -",
     {46, 2079, 89890, 3894594}},
};

Position pos;

void setFen(const char* fen) {
    char placement[100], side[4], castling[8], ep[4];
    ASSERT_EQ(std::sscanf(fen, "%99s %3s %7s %3s", placement, side, castling, ep), 4);
    ASSERT_TRUE(readFen(pos, placement, side, castling, ep));
}

}  // namespace

TEST(Perft, PublishedCounts) {
    for (const PerftCase& c : Cases) {
        setFen(c.fen);
        for (size_t d = 0; d < c.counts.size(); d++)
            EXPECT_EQ(perftCount(pos, int(d) + 1), c.counts[d]) << c.fen << " depth " << d + 1;
    }
}

// Runs in the release build only: the sanitizer run filters out names with Deep.
TEST(PerftDeep, StartPositionSixPlies) {
    setFen(Cases[0].fen);
    EXPECT_EQ(perftCount(pos, 6), 119060324u);
    setFen(Cases[1].fen);
    EXPECT_EQ(perftCount(pos, 5), 193690690u);
}

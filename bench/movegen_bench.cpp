// Move generation with make/unmake over the legal trees of the standard perft positions.
#include <benchmark/benchmark.h>

#include "board/legal.h"
#include "board/notation.h"
#include "board/tables.h"
#include "shell/speed.h"

namespace {

struct Fen {
    const char* placement;
    const char* side;
    const char* castling;
};

const Fen PerftPositions[] = {
    {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR", "w", "KQkq"},
    {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R", "w", "KQkq"},
    {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8", "w", "-"},
    {"r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1", "w", "kq"},
    {"rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R", "w", "KQ"},
};

void tablesOnce() {
    static bool built = false;
    if (built) return;
    buildTables();
    buildKeys();
    built = true;
}

void BM_GenerateMakeUnmake(benchmark::State& state) {
    tablesOnce();
    static Position pos;
    const Fen& fen = PerftPositions[state.range(0)];
    readFen(pos, fen.placement, fen.side, fen.castling, "-");
    const int depth = int(state.range(1));
    uint64_t nodes = 0;
    for (auto _ : state) {
        nodes += perftCount(pos, depth);
    }
    state.counters["nodes/s"] = benchmark::Counter(double(nodes), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_GenerateMakeUnmake)
    ->ArgsProduct({{0, 1, 2, 3, 4}, {4}})
    ->Unit(benchmark::kMillisecond);

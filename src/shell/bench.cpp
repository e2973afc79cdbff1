#include "shell/bench.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "board/notation.h"
#include "search/driver.h"
#include "search/threads.h"
#include "search/tt.h"
#include "shell/options.h"
#include "shell/session.h"
#include "shell/tokens.h"

// Openings, middlegames with tactics, and endgames from pawn races to lone pieces.
const char* const BenchPositions[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq -",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ -",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - -",
    "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq -",
    "rnbqkb1r/pp3ppp/4pn2/2pp4/2PP4/2N1PN2/PP3PPP/R1BQKB1R b KQkq -",
    "r1bq1rk1/ppp2ppp/2np1n2/2b1p3/2B1P3/2PP1N2/PP3PPP/RNBQ1RK1 w - -",
    "r2q1rk1/pb1nbppp/1p2pn2/2pp4/3P4/1PNBPN2/PB3PPP/R2Q1RK1 w - -",
    "2rq1rk1/pp1bppbp/3p1np1/4n3/3NP3/1BN1BP2/PPPQ2PP/2KR3R w - -",
    "r1b2rk1/2q1bppp/p2ppn2/1p6/3BPP2/2N2B2/PPPQ2PP/2KR3R w - -",
    "r2qr1k1/1p1b1ppp/p1nbpn2/3p4/3P4/2NBPN2/PPQ2PPP/R1B2RK1 w - -",
    "3r1rk1/p4ppp/1pq1pn2/2b5/2P5/1P2PN2/PB2QPPP/3R1RK1 w - -",
    "r1bqk2r/pp2bppp/2n1pn2/2pp4/3P4/2PBPN2/PP1N1PPP/R1BQK2R w KQkq -",
    "1r2r1k1/5ppp/p1p1b3/2p5/4P3/1PN2P2/1PP3PP/3RR1K1 w - -",
    "r5k1/pp3ppp/2p5/3p4/3P1n2/2P2N2/PP3PPP/4R1K1 b - -",
    "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - -",
    "8/8/4k3/3p4/3P4/4K3/8/8 w - -",
    "8/5k2/8/3K4/8/8/4P3/8 w - -",
    "8/8/1p4k1/p1p5/P1P3K1/1P6/8/8 w - -",
    "6k1/8/8/8/8/8/2B5/2K2N2 w - -",
    "8/8/8/4k3/8/8/3QK3/8 w - -",
    "8/3k4/8/2r5/8/3K4/3R4/8 w - -",
    "4k3/8/8/8/8/8/4P3/4K2R w K -",
    "2r3k1/1q3pp1/4p2p/1p1pP3/3P4/P3Q2P/5PP1/2R3K1 b - -",
    "r1b1k2r/ppppnppp/2n2q2/2b5/3NP3/2P1B3/PP3PPP/RN1QKB1R w KQkq -",
    "rnbqk2r/ppp1ppbp/3p1np1/8/2PPP3/2N5/PP3PPP/R1BQKBNR w KQkq -",
    "8/8/3k4/8/2pK4/8/1P6/8 b - -",
    "5rk1/pp4pp/4p3/2R3Q1/3n4/2q4r/P1P2PPP/5RK1 b - -",
};
const int BENCH_POSITION_COUNT = int(sizeof BenchPositions / sizeof BenchPositions[0]);

uint64_t searchFromScratch(SearchThread& thread, int depth) {
    positionValid = true;
    clearHash();
    clearSearchState(thread);
    GoLimits limits;
    limits.depthLimited = 1;
    limits.depthLimit = depth;
    startSearch(thread, limits, nullptr);
    return searchNodes(thread);
}

BenchResult runBench(SearchThread& thread, int depth) {
    const Position saved = thread.position;
    const bool savedValid = positionValid;
    BenchResult result{0, 0};
    for (const char* fen : BenchPositions) {
        if (!readFenText(thread.position, fen)) continue;
        const int32_t start = clockMs();
        result.nodes += searchFromScratch(thread, depth);
        result.elapsed += clockMs() - start;
    }
    thread.position = saved;
    positionValid = savedValid;
    return result;
}

void benchCommand(SearchThread& thread, int depth) {
    const BenchResult r = runBench(thread, depth < 1 ? BENCH_DEFAULT_DEPTH : depth);
    const uint64_t rate = r.elapsed > 0 ? r.nodes * 1000 / uint64_t(r.elapsed) : 0;
    std::printf("%" PRIu64 " nodes %" PRIu64 " nps\n", r.nodes, rate);
    flushOutput();
}

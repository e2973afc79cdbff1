// Fixed-depth single-thread search over twelve middlegame and endgame positions, each on fresh
// tables: the rate, and the node count that is the search's signature.
#include <benchmark/benchmark.h>

#include "board/notation.h"
#include "board/tables.h"
#include "eval/evaluate.h"
#include "search/driver.h"
#include "search/tt.h"
#include "shell/bench.h"
#include "shell/uci.h"

namespace {

// Middlegames and endgames from the bench list.
constexpr int Picked[12] = {1, 3, 5, 9, 10, 12, 13, 15, 16, 20, 24, 25};

SearchThread& benchThread() {
    static SearchThread* thread = [] {
        buildTables();
        buildKeys();
        buildEvalTables();
        ttResize(16);
        auto* t = new SearchThread();
        initThread(*t, MAIN_THREAD);
        return t;
    }();
    return *thread;
}

void BM_FixedDepthSearch(benchmark::State& state) {
    SearchThread& thread = benchThread();
    const int depth = int(state.range(0));
    uint64_t nodes = 0, signature = 0;
    for (auto _ : state) {
        signature = 0;
        for (int i : Picked) {
            readFenText(thread.position, BenchPositions[i]);
            signature += searchFromScratch(thread, depth);
        }
        nodes += signature;
    }
    state.counters["nodes/s"] = benchmark::Counter(double(nodes), benchmark::Counter::kIsRate);
    state.counters["signature"] = double(signature);
}

}  // namespace

BENCHMARK(BM_FixedDepthSearch)->Arg(9)->Unit(benchmark::kMillisecond);

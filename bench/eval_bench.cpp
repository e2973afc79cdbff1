// Static evaluation over a few hundred positions from random legal play, with both caches warm
// (every probe hits) and cold (every probe misses and recomputes its entry).
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

#include "board/attacks.h"
#include "board/legal.h"
#include "board/makemove.h"
#include "board/tables.h"
#include "eval/evaluate.h"

namespace {

const std::vector<Position>& evalPositions() {
    static const std::vector<Position> positions = [] {
        buildTables();
        buildKeys();
        buildEvalTables();
        std::vector<Position> list;
        std::mt19937 rng(1234);
        Position pos;
        // Openings, middlegames and endings: every position of twelve games of up to 200 plies,
        // bare kings left out (the search never evaluates them).
        for (int game = 0; game < 12; game++) {
            setStartPosition(pos);
            for (int ply = 0; ply < 200; ply++) {
                Move legal[MAX_MOVES];
                const int n = generateLegal(pos, legal);
                if (n == 0 || pos.halfmoveClock >= 100) break;
                UndoRecord undo;
                makeMove(pos, undo, legal[rng() % n]);
                if (pos.materialKey != 0 && ply % 4 == 0) list.push_back(pos);
            }
        }
        return list;
    }();
    return positions;
}

struct Caches {
    std::unique_ptr<MaterialTable> material{new MaterialTable()};
    std::unique_ptr<PawnHashTable> pawns{new PawnHashTable()};
};

void BM_EvaluateWarm(benchmark::State& state) {
    const auto& positions = evalPositions();
    Caches caches;
    for (const Position& pos : positions)
        evaluate(pos, *caches.material, *caches.pawns, -32767, 32767);
    for (auto _ : state) {
        int sum = 0;
        for (const Position& pos : positions)
            sum += evaluate(pos, *caches.material, *caches.pawns, -32767, 32767);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(positions.size()));
    state.counters["positions"] = double(positions.size());
}

void BM_EvaluateCold(benchmark::State& state) {
    const auto& positions = evalPositions();
    Caches caches;
    for (auto _ : state) {
        int sum = 0;
        for (const Position& pos : positions) {
            // A key that cannot match forces both entries to be computed afresh.
            caches.material->entries[pos.materialKey & (MATERIAL_TABLE_SIZE - 1)].key =
                ~pos.materialKey;
            caches.pawns->entries[pos.pawnKey & (PAWN_TABLE_SIZE - 1)].key = ~pos.pawnKey;
            sum += evaluate(pos, *caches.material, *caches.pawns, -32767, 32767);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(positions.size()));
}

}  // namespace

BENCHMARK(BM_EvaluateWarm)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EvaluateCold)->Unit(benchmark::kMicrosecond);

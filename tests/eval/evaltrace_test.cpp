// The eval command's trace: the same terms the search adds up, so its total is the static
// evaluation on every position, and a mirrored position traces the same rows with the colours
// exchanged.
#include <gtest/gtest.h>

#include <memory>

#include "board/notation.h"
#include "eval/evaltrace.h"
#include "eval/evaluate.h"
#include "eval/flip.h"
#include "eval/positions.h"

namespace {

struct Caches {
    std::unique_ptr<MaterialTable> material{new MaterialTable()};
    std::unique_ptr<PawnHashTable> pawns{new PawnHashTable()};
};

std::vector<Position> tracePositions() {
    std::vector<Position> positions = eval_test::openingPositions();
    for (const Position& pos : eval_test::randomPlayPositions(16, 200, 36))
        positions.push_back(pos);
    return positions;
}

}  // namespace

TEST(EvalTrace, RowsAddUpToTheStaticEvaluation) {
    Caches traced, plain;
    int compared = 0;
    for (const Position& pos : tracePositions()) {
        EvalTrace t;
        const int score = evaluateTraced(pos, *traced.material, *traced.pawns, t);
        ASSERT_EQ(score, evaluate(pos, *plain.material, *plain.pawns, -MATE, MATE))
            << "position " << compared;
        EXPECT_EQ(t.result, score);
        compared++;
        if (t.drawnMaterial) {
            EXPECT_EQ(score, 0);
            continue;
        }
        Score sum;
        for (int row = 0; row < EVAL_TERMS; row++) {
            sum += t.terms[row][0];
            sum -= t.terms[row][1];
        }
        ASSERT_EQ(sum, t.total) << "position " << compared;
        EXPECT_EQ(t.blended, (t.phase * t.total.eg + (256 - t.phase) * t.total.mg) / 256);
        EXPECT_EQ(score, t.blended * (t.blended >= 1 ? t.whiteScale : t.blackScale) / 16);
    }
    EXPECT_GT(compared, 2000);
    // Knight against bishop: neither side can win, and no positional term is added.
    Position minors;
    ASSERT_TRUE(readFenText(minors, "4k3/8/8/3b4/8/8/8/3NK3 w - -"));
    EvalTrace t;
    EXPECT_EQ(evaluateTraced(minors, *traced.material, *traced.pawns, t), 0);
    EXPECT_TRUE(t.drawnMaterial);
    EXPECT_EQ(t.terms[TermMaterial][0], (Score{325, 325}));
    EXPECT_EQ(t.terms[TermKnights][0], Score{});
    // A second pass reads the cached entries the first one filled: the same totals.
    for (const Position& pos : tracePositions()) {
        EvalTrace t;
        ASSERT_EQ(evaluateTraced(pos, *traced.material, *traced.pawns, t),
                  evaluate(pos, *plain.material, *plain.pawns, -MATE, MATE));
    }
}

TEST(EvalTrace, MirroredPositionSwapsTheColumns) {
    Caches caches;
    int compared = 0;
    for (const Position& pos : tracePositions()) {
        MaterialEntry entry{};
        evaluateMaterial(pos, entry);
        // The scale factors favour whichever side they name, so only neutral entries mirror.
        if (entry.whiteScale != 16 || entry.blackScale != 16 || (entry.flags & ~LAZY_EXIT))
            continue;
        EvalTrace t, m;
        const int score = evaluateTraced(pos, *caches.material, *caches.pawns, t);
        ASSERT_EQ(evaluateTraced(eval_test::flipped(pos), *caches.material, *caches.pawns, m),
                  -score);
        for (int row = 0; row < EVAL_TERMS; row++) {
            ASSERT_EQ(t.terms[row][0], m.terms[row][1]) << "row " << row;
            ASSERT_EQ(t.terms[row][1], m.terms[row][0]) << "row " << row;
        }
        compared++;
    }
    EXPECT_GT(compared, 1000);
}

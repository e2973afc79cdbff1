// Colour symmetry: the mirrored position (board flipped rank for rank, colours, side to move and
// castling counters exchanged) must score as the exact negation, term by term.
#include <gtest/gtest.h>

#include <memory>

#include "board/attacks.h"
#include "board/legal.h"
#include "eval/evaluate.h"
#include "eval/flip.h"
#include "eval/kingsafety.h"
#include "eval/pieces.h"
#include "eval/positions.h"
#include "eval/see.h"

using eval_test::flipped;
using eval_test::mirrored;

namespace {

std::vector<Position> testPositions() {
    std::vector<Position> positions = eval_test::openingPositions();
    for (const Position& pos : eval_test::randomPlayPositions(24, 160, 2024))
        positions.push_back(pos);
    return positions;
}

template <int Type>
void expectPieceTermsMirror(const Position& pos, const Position& mirror) {
    const bool whiteGate = attackGateOpen<White>(pos), blackGate = attackGateOpen<Black>(pos);
    ASSERT_EQ(attackGateOpen<Black>(mirror), whiteGate);
    ASSERT_EQ(attackGateOpen<White>(mirror), blackGate);
    KingAttack a, b, c, d;
    const Score white = pieceTerms<White, Type>(pos, whiteGate, a);
    const Score black = pieceTerms<Black, Type>(pos, blackGate, c);
    EXPECT_EQ(white, (pieceTerms<Black, Type>(mirror, whiteGate, b))) << "piece type " << Type;
    EXPECT_EQ(black, (pieceTerms<White, Type>(mirror, blackGate, d))) << "piece type " << Type;
    EXPECT_EQ(a.attackers, b.attackers);
    EXPECT_EQ(a.weight, b.weight);
    EXPECT_EQ(c.attackers, d.attackers);
    EXPECT_EQ(c.weight, d.weight);
}

}  // namespace

TEST(ColourSymmetry, EvaluationIsNegatedWhereTheScalingIsNeutral) {
    const auto positions = testPositions();
    std::unique_ptr<MaterialTable> material(new MaterialTable());
    std::unique_ptr<PawnHashTable> pawns(new PawnHashTable());
    int compared = 0;
    for (const Position& pos : positions) {
        MaterialEntry entry{};
        evaluateMaterial(pos, entry);
        // The scale rules favour whichever side they name, so only neutral entries mirror.
        if (entry.whiteScale != 16 || entry.blackScale != 16 || (entry.flags & ~LAZY_EXIT))
            continue;
        const int score = evaluate(pos, *material, *pawns, -32767, 32767);
        const Position mirror = flipped(pos);
        ASSERT_EQ(evaluate(mirror, *material, *pawns, -32767, 32767), -score)
            << "position " << compared;
        compared++;
    }
    EXPECT_GT(compared, 2000);
}

TEST(ColourSymmetry, EachTermGroupMirrors) {
    for (const Position& pos : testPositions()) {
        const Position mirror = flipped(pos);
        SCOPED_TRACE(testing::Message() << "pawn key " << pos.pawnKey);

        MaterialEntry m1{}, m2{};
        evaluateMaterial(pos, m1);
        evaluateMaterial(mirror, m2);
        EXPECT_EQ(m1.mg, -m2.mg);
        EXPECT_EQ(m1.eg, -m2.eg);
        EXPECT_EQ(m1.phase, m2.phase);

        PawnEntry p1{}, p2{};
        evaluatePawns(pos, p1);
        evaluatePawns(mirror, p2);
        EXPECT_EQ(p1.mg, -p2.mg);
        EXPECT_EQ(p1.eg, -p2.eg);
        EXPECT_EQ(p1.whitePassed, mirrored(p2.blackPassed));
        EXPECT_EQ(p1.blackPassed, mirrored(p2.whitePassed));

        EXPECT_EQ(passedPawnRace<White>(pos, p1.whitePassed),
                  passedPawnRace<Black>(mirror, p2.blackPassed));
        EXPECT_EQ(passedPawnRace<Black>(pos, p1.blackPassed),
                  passedPawnRace<White>(mirror, p2.whitePassed));

        expectPieceTermsMirror<Knight>(pos, mirror);
        expectPieceTermsMirror<Bishop>(pos, mirror);
        expectPieceTermsMirror<Rook>(pos, mirror);
        expectPieceTermsMirror<Queen>(pos, mirror);

        EXPECT_EQ(kingSquareTerms<White>(pos), kingSquareTerms<Black>(mirror));
        EXPECT_EQ(kingSquareTerms<Black>(pos), kingSquareTerms<White>(mirror));
        EXPECT_EQ(shelterPenalty<White>(pos), shelterPenalty<Black>(mirror));
        EXPECT_EQ(shelterPenalty<Black>(pos), shelterPenalty<White>(mirror));
        EXPECT_EQ(patternTerms<White>(pos), patternTerms<Black>(mirror));
        EXPECT_EQ(patternTerms<Black>(pos), patternTerms<White>(mirror));
    }
}

TEST(ColourSymmetry, ExchangeValuesMirror) {
    int compared = 0;
    for (Position pos : testPositions()) {
        const Position mirror = flipped(pos);
        Move legal[MAX_MOVES];
        const int n = generateLegal(pos, legal);
        for (int i = 0; i < n; i++) {
            ASSERT_EQ(see(pos, legal[i]), see(mirror, eval_test::flippedMove(legal[i])))
                << "move " << std::hex << legal[i];
            compared++;
        }
    }
    EXPECT_GT(compared, 50000);
}

#include "eval/pieces.h"

#include <gtest/gtest.h>

#include "board/board_helpers.h"
#include "eval/flip.h"

using board_test::build;

namespace {

// White's terms for one piece kind, checked to equal Black's (counters included) on the
// mirrored board.
template <int Type>
Score whitePieces(const char* placement, KingAttack* attackOut = nullptr) {
    const Position pos = build(placement);
    const bool gate = attackGateOpen<White>(pos);
    KingAttack attack, mirrorAttack;
    const Score score = pieceTerms<White, Type>(pos, gate, attack);
    const Position mirror = eval_test::flipped(pos);
    EXPECT_EQ(attackGateOpen<Black>(mirror), gate) << placement;
    const Score mirrored = pieceTerms<Black, Type>(mirror, gate, mirrorAttack);
    EXPECT_EQ(mirrored.mg, score.mg) << placement;
    EXPECT_EQ(mirrored.eg, score.eg) << placement;
    EXPECT_EQ(mirrorAttack.attackers, attack.attackers) << placement;
    EXPECT_EQ(mirrorAttack.weight, attack.weight) << placement;
    if (attackOut) *attackOut = attack;
    return score;
}

Score whitePatterns(const char* placement) {
    const Position pos = build(placement);
    const Score score = patternTerms<White>(pos);
    const Score mirrored = patternTerms<Black>(eval_test::flipped(pos));
    EXPECT_EQ(mirrored.mg, score.mg) << placement;
    EXPECT_EQ(mirrored.eg, score.eg) << placement;
    return score;
}

}  // namespace

TEST(PieceTerms, KnightTablesAndMobility) {
    // a1 with b3 and c2 free: two squares, four below the norm.
    Score s = whitePieces<Knight>("4k3/8/8/8/8/8/8/N3K3");
    EXPECT_EQ(s.mg, -50 + 4 * (2 - 4));
    EXPECT_EQ(s.eg, -40 + 4 * (2 - 4));
    // Own pieces do not count, enemy pieces do.
    s = whitePieces<Knight>("4k3/8/8/8/8/1p6/2P5/N3K3");
    EXPECT_EQ(s.mg, -50 + 4 * (1 - 4));
    // The corner of the far side is the worst square of all in the middlegame.
    s = whitePieces<Knight>("4k3/8/8/8/8/8/8/4K3");
    EXPECT_EQ(s.mg, 0);
    s = whitePieces<Knight>("N3k3/8/8/8/8/8/8/4K3");
    EXPECT_EQ(s.mg, -135 - 8);
}

TEST(PieceTerms, BishopAndQueenMobility) {
    // A bishop on d4 of an empty board sees 13 squares.
    Score s = whitePieces<Bishop>("k7/8/8/8/3B4/8/8/7K");
    EXPECT_EQ(s.mg, 8 + 5 * (13 - 6));
    EXPECT_EQ(s.eg, 6 + 5 * (13 - 6));
    // A queen there sees 27: each square above 13 is worth 1 and 2.
    s = whitePieces<Queen>("k7/8/8/8/3Q4/8/8/7K");
    EXPECT_EQ(s.mg, 0 + 14);
    EXPECT_EQ(s.eg, 8 + 2 * 14);
    // Boxed in on a1 by its own pieces: mobility 3 (b1 and a2 are own, b2 holds an enemy pawn).
    s = whitePieces<Queen>("4k3/8/8/8/8/8/Pp6/QN2K3");
    EXPECT_EQ(s.mg, -5 + (1 - 13));
    EXPECT_EQ(s.eg, -24 + 2 * (1 - 13));
}

TEST(PieceTerms, RookFilesAndSeventhRank) {
    // d1 on an empty board: open file, 14 squares.
    Score s = whitePieces<Rook>("8/8/k7/8/8/K7/8/3R4");
    EXPECT_EQ(s.mg, 27);
    EXPECT_EQ(s.eg, 38);
    // Half-open (only an enemy pawn on the file) gives half the bonus; an own pawn none.
    s = whitePieces<Rook>("8/3p4/k7/8/8/K7/8/3R4");
    EXPECT_EQ(s.mg, 3 - 10 + 2 * (13 - 7) + 10);
    s = whitePieces<Rook>("8/8/k7/8/8/K7/3P4/3R4");
    EXPECT_EQ(s.mg, 3 - 10 + 2 * (7 - 7));
    // The seventh counts with the enemy king on the eighth ...
    s = whitePieces<Rook>("6k1/R7/8/8/8/8/8/2K5");
    EXPECT_EQ(s.mg, -6 - 10 + 2 * 7 + 20 + 20);
    EXPECT_EQ(s.eg, -10 + 4 * 7 + 20 + 40);
    // ... but not with the king on the seventh and no pawn there ...
    s = whitePieces<Rook>("8/R5k1/8/8/8/8/8/2K5");
    EXPECT_EQ(s.mg, -6 - 10 + 2 * 6 + 20);
    EXPECT_EQ(s.eg, -10 + 4 * 6 + 20);
    // ... while a pawn on the seventh is enough.
    s = whitePieces<Rook>("8/R5kp/8/8/8/8/8/2K5");
    EXPECT_EQ(s.mg, -6 - 10 + 2 * 6 + 20 + 20);
    // A queen on the seventh gets half the rook's bonus.
    s = whitePieces<Queen>("6k1/Q7/8/8/8/8/8/2K5");
    EXPECT_EQ(s.eg, -16 + 2 * (21 - 13) + 20);
}

TEST(PieceTerms, KingAttackCountersAndOpenFilesTowardsTheKing) {
    // Queen and two rooks: the gate is open. Both rooks reach the zone around g8 up their
    // files, the queen on c1 does not.
    KingAttack attack;
    whitePieces<Rook>("6k1/8/8/8/8/8/8/K1Q2R1R", &attack);
    EXPECT_EQ(attack.attackers, 2);
    EXPECT_EQ(attack.weight, 4);
    EXPECT_EQ(kingAttackBonus(attack), 40);
    whitePieces<Queen>("6k1/8/8/8/8/8/8/K1Q2R1R", &attack);
    EXPECT_EQ(attack.attackers, 0);
    // One attacker earns nothing, however heavy.
    EXPECT_EQ(kingAttackBonus({1, 4}), 0);
    EXPECT_EQ(kingAttackBonus({3, 6}), 192 * 6 * 20 / 256);
    // More attackers than the scale lists count as the last entry.
    EXPECT_EQ(kingAttackBonus({20, 30}), 256 * 30 * 20 / 256);

    // An open file on the king's file, or next to it, is worth more with the gate open.
    const Score closed = whitePieces<Rook>("3k4/8/8/8/8/8/8/3R2K1");
    const Score sameFile = whitePieces<Rook>("3k4/8/8/8/8/8/8/Q2R2K1");
    EXPECT_EQ(sameFile.mg - closed.mg, 20 - 2);  // the queen on a1 is one square less
    const Score nextFile = whitePieces<Rook>("4k3/8/8/8/8/8/8/3R2KQ");
    const Score nextClosed = whitePieces<Rook>("4k3/8/8/8/8/8/8/3R2K1");
    EXPECT_EQ(nextFile.mg - nextClosed.mg, 10);
}

TEST(PieceTerms, KingTablesBothWays) {
    const Position pos = build("6k1/8/8/8/8/8/8/1K6");
    EXPECT_EQ(kingSquareTerms<White>(pos), (Score{50, -48}));
    EXPECT_EQ(kingSquareTerms<Black>(pos), (Score{50, -48}));
}

TEST(PieceTerms, TrappedAndBlockedPatterns) {
    // Bishop taken in on a7 by b6; the b8/c7 trap at the same time still counts once.
    EXPECT_EQ(whitePatterns("1B2k3/B1p5/1p6/8/8/8/8/4K3"), (Score{-100, -100}));
    EXPECT_EQ(whitePatterns("4k1B1/5p2/8/8/8/8/8/4K3"), (Score{-100, -100}));
    EXPECT_EQ(whitePatterns("4k3/8/B7/1p6/8/8/8/4K3"), (Score{-50, -50}));
    EXPECT_EQ(whitePatterns("4k3/8/7B/6p1/8/8/8/4K3"), (Score{-50, -50}));
    // A blocked d2 pawn (by a piece of either colour) keeps the c1 bishop in.
    EXPECT_EQ(whitePatterns("4k3/8/8/8/8/3n4/3P4/2B1K3"), (Score{-50, 0}));
    EXPECT_EQ(whitePatterns("4k3/8/8/8/8/4N3/4P3/4KB2"), (Score{-50, 0}));
    EXPECT_EQ(whitePatterns("4k3/8/8/8/8/8/3P4/2B1K3"), (Score{0, 0}));
    // A king stepped aside locks its rook in.
    EXPECT_EQ(whitePatterns("4k3/8/8/8/8/8/8/5K1R"), (Score{-50, 0}));
    EXPECT_EQ(whitePatterns("4k3/8/8/8/8/8/R7/1K6"), (Score{-50, 0}));
    EXPECT_EQ(whitePatterns("4k3/8/8/8/8/8/8/R3K3"), (Score{0, 0}));
}

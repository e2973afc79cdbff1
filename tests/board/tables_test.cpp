#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "board/tables.h"
#include "board_helpers.h"

using board_test::sq;

namespace {

Bitboard squares(std::initializer_list<const char*> names) {
    Bitboard b = 0;
    for (const char* n : names) b |= bit(sq(n));
    return b;
}

bool onBoard(int file, int rank) { return file >= 0 && file < 8 && rank >= 0 && rank < 8; }

// Reference slider: steps (df, dr) by coordinates, keeping each square up to and including the
// first occupied one.
Bitboard rayWalk(int s, Bitboard occ, const int (*dirs)[2], int count = 4) {
    Bitboard result = 0;
    for (int d = 0; d < count; d++) {
        for (int k = 1; k < 8; k++) {
            const int file = s % 8 + k * dirs[d][0], rank = s / 8 + k * dirs[d][1];
            if (!onBoard(file, rank)) break;
            const Bitboard b = Bitboard(1) << (rank * 8 + file);
            result |= b;
            if (occ & b) break;
        }
    }
    return result;
}
constexpr int RookDirs[4][2] = {{0, 1}, {0, -1}, {1, 0}, {-1, 0}};
constexpr int BishopDirs[4][2] = {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}};

// Squares reached by single (df, dr) jumps that stay on the board.
Bitboard jumps(int s, std::initializer_list<std::pair<int, int>> deltas) {
    Bitboard b = 0;
    for (auto [df, dr] : deltas)
        if (onBoard(s % 8 + df, s / 8 + dr)) b |= bit(s + df + 8 * dr);
    return b;
}

// The relevant occupancy: the rays without their final edge square.
Bitboard refMask(int s, const int (*dirs)[2]) {
    Bitboard m = 0;
    for (int d = 0; d < 4; d++)
        for (int k = 1;; k++) {
            const int file = s % 8 + k * dirs[d][0], rank = s / 8 + k * dirs[d][1];
            if (!onBoard(file + dirs[d][0], rank + dirs[d][1])) break;
            m |= bit(rank * 8 + file);
        }
    return m;
}

Bitboard fileBits(int file) { return 0x0101010101010101ULL << file; }

}  // namespace

// Every subset of each square's mask (with random noise on the irrelevant squares, which the
// lookup must ignore) and many fully random occupancies, for both sliders on every square.
TEST(AttackTables, MagicLookupsMatchRayWalk) {
    std::mt19937_64 rng(20261207);
    for (int s = 0; s < 64; s++) {
        for (bool rook : {false, true}) {
            const Bitboard mask = rook ? RookMask[s] : BishopMask[s];
            const auto* dirs = rook ? RookDirs : BishopDirs;
            Bitboard subset = 0;
            do {  // carry-rippler enumeration of all subsets of mask
                const Bitboard occ = subset | (rng() & ~mask);
                const Bitboard got = rook ? RookAttacks(s, occ) : BishopAttacks(s, occ);
                ASSERT_EQ(got, rayWalk(s, occ, dirs)) << "square " << s << " rook " << rook;
                subset = (subset - mask) & mask;
            } while (subset);
        }
        for (int i = 0; i < 3000; i++) {
            Bitboard occ = rng();
            if (i % 3 == 1) occ &= rng();
            if (i % 3 == 2) occ &= rng() & rng();
            ASSERT_EQ(BishopAttacks(s, occ), rayWalk(s, occ, BishopDirs)) << s;
            ASSERT_EQ(RookAttacks(s, occ), rayWalk(s, occ, RookDirs)) << s;
            ASSERT_EQ(QueenAttacks(s, occ),
                      rayWalk(s, occ, BishopDirs) | rayWalk(s, occ, RookDirs));
        }
    }
}

TEST(AttackTables, StoresMasksAndShifts) {
    int bishopEnd = 0, rookEnd = 0;
    for (int s = 0; s < 64; s++) {
        EXPECT_EQ(BishopMask[s], refMask(s, BishopDirs)) << s;
        EXPECT_EQ(RookMask[s], refMask(s, RookDirs)) << s;
        EXPECT_EQ(popCount(BishopMask[s]), 64 - BishopShift[s]) << s;
        EXPECT_EQ(popCount(RookMask[s]), 64 - RookShift[s]) << s;
        // Blocks follow each other in square order without gaps.
        EXPECT_EQ(BishopOffset[s], bishopEnd) << s;
        EXPECT_EQ(RookOffset[s], rookEnd) << s;
        bishopEnd += 1 << (64 - BishopShift[s]);
        rookEnd += 1 << (64 - RookShift[s]);
        EXPECT_EQ(BishopEmptyAttacks[s], rayWalk(s, 0, BishopDirs)) << s;
        EXPECT_EQ(RookEmptyAttacks[s], rayWalk(s, 0, RookDirs)) << s;
    }
    EXPECT_EQ(BISHOP_STORE_SIZE, 5248);
    EXPECT_EQ(ROOK_STORE_SIZE, 102400);
    EXPECT_EQ(bishopEnd, BISHOP_STORE_SIZE);
    EXPECT_EQ(rookEnd, ROOK_STORE_SIZE);
    EXPECT_EQ(RookShift[sq("a1")], 52);
    EXPECT_EQ(BishopShift[sq("d4")], 55);

    EXPECT_EQ(popCount(RookAttacks(sq("a1"), 0)), 14);
    EXPECT_EQ(RookAttacks(sq("a1"), 0), (fileBits(0) | RANK_1) & ~bit(sq("a1")));
    EXPECT_EQ(popCount(BishopAttacks(sq("d4"), 0)), 13);
    EXPECT_EQ(RookAttacks(sq("a1"), bit(sq("a4"))), squares({"a2", "a3", "a4"}) | (RANK_1 & ~1ULL));
}

TEST(AttackTables, LeapersNeverWrap) {
    for (int s = 0; s < 64; s++) {
        EXPECT_EQ(
            KnightAttacks[s],
            jumps(s, {{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}}))
            << s;
        EXPECT_EQ(KingAttacks[s],
                  jumps(s, {{1, 1}, {1, 0}, {1, -1}, {0, -1}, {-1, -1}, {-1, 0}, {-1, 1}, {0, 1}}))
            << s;
        // Entries exist on the first and last ranks too: they answer "attacked by a pawn".
        EXPECT_EQ(PawnAttacks[0][s], jumps(s, {{-1, 1}, {1, 1}})) << s;
        EXPECT_EQ(PawnAttacks[1][s], jumps(s, {{-1, -1}, {1, -1}})) << s;
    }
    EXPECT_EQ(KnightAttacks[sq("a1")], squares({"b3", "c2"}));
    EXPECT_EQ(KnightAttacks[sq("h4")], squares({"g2", "f3", "f5", "g6"}));
    EXPECT_EQ(KingAttacks[sq("h8")], squares({"g8", "g7", "h7"}));
    EXPECT_EQ(KingAttacks[sq("a5")], squares({"a4", "b4", "b5", "b6", "a6"}));
    EXPECT_EQ(PawnAttacks[0][sq("a2")], squares({"b3"}));
    EXPECT_EQ(PawnAttacks[0][sq("h8")], 0u);
    EXPECT_EQ(PawnAttacks[1][sq("a1")], 0u);
    EXPECT_EQ(PawnAttacks[0][sq("e1")], squares({"d2", "f2"}));
    EXPECT_EQ(PawnAttacks[1][sq("h8")], squares({"g7"}));
}

TEST(AttackTables, DistancesDirectionsAndBetween) {
    for (int a = 0; a < 64; a++)
        for (int b = 0; b < 64; b++) {
            const int df = b % 8 - a % 8, dr = b / 8 - a / 8;
            ASSERT_EQ(FileDistance[a][b], std::abs(df));
            ASSERT_EQ(RankDistance[a][b], std::abs(dr));
            ASSERT_EQ(KingDistance[a][b], std::max(std::abs(df), std::abs(dr)));
            int step = 0;
            if (a != b && (df == 0 || dr == 0 || std::abs(df) == std::abs(dr)))
                step = (df > 0) - (df < 0) + 8 * ((dr > 0) - (dr < 0));
            ASSERT_EQ(Direction[a][b], step) << a << " " << b;
            Bitboard between = 0;
            if (step)
                for (int t = a + step; t != b; t += step) between |= bit(t);
            ASSERT_EQ(Between[a][b], between) << a << " " << b;
        }
    EXPECT_EQ(Between[sq("a1")][sq("h8")], squares({"b2", "c3", "d4", "e5", "f6", "g7"}));
    EXPECT_EQ(Between[sq("h8")][sq("a1")], Between[sq("a1")][sq("h8")]);
    EXPECT_EQ(Between[sq("a1")][sq("b3")], 0u);
    EXPECT_EQ(Between[sq("a1")][sq("a2")], 0u);
    EXPECT_EQ(Between[sq("h1")][sq("h8")], fileBits(7) & ~(RANK_1 | RANK_8));
    EXPECT_EQ(Direction[sq("e4")][sq("e4")], 0);
    EXPECT_EQ(Direction[sq("h1")][sq("a8")], 7);
    EXPECT_EQ(Direction[sq("a8")][sq("h1")], -7);
    EXPECT_EQ(Direction[sq("h1")][sq("a2")], 0);  // a wrap along +7 is no line
    EXPECT_EQ(Direction[sq("h2")][sq("a3")], 0);  // nor is one along +1
}

TEST(AttackTables, RaysLinesAndSquareTables) {
    for (int s = 0; s < 64; s++) {
        const int file = s % 8, rank = s / 8;
        const auto ray = [s](int df, int dr) {
            const int dir[1][2] = {{df, dr}};
            return rayWalk(s, 0, dir, 1);
        };
        EXPECT_EQ(RayNorth[s], ray(0, 1));
        EXPECT_EQ(RaySouth[s], ray(0, -1));
        EXPECT_EQ(RayEast[s], ray(1, 0));
        EXPECT_EQ(RayWest[s], ray(-1, 0));
        EXPECT_EQ(RayNorthEast[s], ray(1, 1));
        EXPECT_EQ(RayNorthWest[s], ray(-1, 1));
        EXPECT_EQ(RaySouthEast[s], ray(1, -1));
        EXPECT_EQ(RaySouthWest[s], ray(-1, -1));
        EXPECT_EQ(FileForward[s], ray(0, 1) | bit(s));
        EXPECT_EQ(FileBackward[s], ray(0, -1) | bit(s));
        EXPECT_EQ(Diagonal[s], ray(1, 1) | ray(-1, -1) | bit(s));
        EXPECT_EQ(AntiDiagonal[s], ray(-1, 1) | ray(1, -1) | bit(s));
        EXPECT_EQ(SquareBit[s], Bitboard(1) << s);
        EXPECT_EQ(SquareClear[s], ~(Bitboard(1) << s));
        EXPECT_EQ(FileOf[s], file);
        EXPECT_EQ(RankOf[s], rank);
        EXPECT_EQ(SquareColour[s], (file + rank) % 2 == 0 ? 1 : 0);
        EXPECT_EQ(FileMask[s], fileBits(file));
        EXPECT_EQ(RankMask[s], RANK_1 << (8 * rank));
        EXPECT_EQ(PromotionSquare[s], 56 + file);
        EXPECT_EQ(BaseSquare[s], file);
    }
    EXPECT_EQ(SquareColour[sq("a1")], 1);
    EXPECT_EQ(SquareColour[sq("h1")], 0);
}

TEST(AttackTables, PawnStructureMasks) {
    for (int s = 0; s < 64; s++) {
        const int file = s % 8, rank = s / 8;
        Bitboard adjacent = 0, passedW = 0, passedB = 0, support = 0, advance = 0;
        for (int t = 0; t < 64; t++) {
            const int tf = t % 8, tr = t / 8;
            if (std::abs(tf - file) > 1) continue;
            if (tf != file) {
                adjacent |= bit(t);
                if (tr <= rank) support |= bit(t);
                if (tr >= rank) advance |= bit(t);
            }
            if (tr > rank) passedW |= bit(t);
            if (tr < rank) passedB |= bit(t);
        }
        EXPECT_EQ(AdjacentFiles[s], adjacent) << s;
        EXPECT_EQ(PassedMask[0][s], passedW) << s;
        EXPECT_EQ(PassedMask[1][s], passedB) << s;
        EXPECT_EQ(SupportMask[s], support) << s;
        EXPECT_EQ(AdvanceSupportMask[s], advance) << s;
    }
    EXPECT_EQ(AdjacentFiles[sq("a5")], fileBits(1));
    EXPECT_EQ(AdjacentFiles[sq("h2")], fileBits(6));
    EXPECT_EQ(PassedMask[0][sq("e8")], 0u);
    EXPECT_EQ(PassedMask[1][sq("e1")], 0u);
    EXPECT_EQ(PassedMask[0][sq("a2")], (fileBits(0) | fileBits(1)) & ~(RANK_1 | RANK_2));
    EXPECT_EQ(SupportMask[sq("a3")], squares({"b1", "b2", "b3"}));
    EXPECT_EQ(AdvanceSupportMask[sq("h6")], squares({"g6", "g7", "g8"}));
}

TEST(AttackTables, PieceCodeTables) {
    const int values[7] = {0, 100, 325, 325, 500, 1000, 10000};
    for (int code = 0; code < 32; code++) {
        const int type = code & 7, prefix = code & ~7;
        const bool piece = type >= 1 && type <= 6 && prefix <= Black;
        EXPECT_EQ(PieceValue[code], piece ? values[type] : 0) << code;
        EXPECT_EQ(PieceTypeIndex[code], piece ? type - 1 : -1) << code;
        const int index12 = !piece || prefix == 0 ? 0 : type - 1 + (prefix == Black ? 6 : 0);
        EXPECT_EQ(PieceIndex12[code], index12) << code;
    }
    EXPECT_EQ(PieceValue[0], 0);
    EXPECT_EQ(PieceTypeIndex[0], -1);
    EXPECT_EQ(PieceIndex12[Black + King], 11);
}

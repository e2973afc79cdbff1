#include "eval/evaluate.h"

#include <gtest/gtest.h>

#include <memory>
#include <unordered_map>

#include "board/board_helpers.h"
#include "eval/flip.h"
#include "eval/positions.h"

using board_test::build;

namespace {

constexpr int WIDE = 32767;

struct Caches {
    std::unique_ptr<MaterialTable> material{new MaterialTable()};
    std::unique_ptr<PawnHashTable> pawns{new PawnHashTable()};

    int evaluate(const Position& pos, int alpha = -WIDE, int beta = WIDE) {
        return ::evaluate(pos, *material, *pawns, alpha, beta);
    }
    MaterialEntry& materialSlot(const Position& pos) {
        return material->entries[pos.materialKey & (MATERIAL_TABLE_SIZE - 1)];
    }
    PawnEntry& pawnSlot(const Position& pos) {
        return pawns->entries[pos.pawnKey & (PAWN_TABLE_SIZE - 1)];
    }
};

// The score with some of the material entry's flags taken away: shows what a rule changed.
int evaluateWithoutFlags(const Position& pos, uint8_t flags) {
    Caches caches;
    caches.evaluate(pos);
    caches.materialSlot(pos).flags &= uint8_t(~flags);
    return caches.evaluate(pos);
}

// A position with the given numbers of pieces: White's pawns on rank 2 and pieces on rank 3,
// Black's pawns on rank 7 and pieces on rank 6, kings on e1 and e8.
Position withMaterial(int wp, int wn, int wb, int wr, int wq, int bp, int bn) {
    Position pos = build("4k3/8/8/8/8/8/8/4K3");
    int s = 8;
    for (int i = 0; i < wp; i++) pos.board[s++] = White + Pawn;
    s = 16;
    for (auto [type, n] : {std::pair{Knight, wn}, {Bishop, wb}, {Rook, wr}, {Queen, wq}})
        for (int i = 0; i < n; i++) pos.board[s++] = White + type;
    for (int i = 0; i < bp; i++) pos.board[48 + i] = Black + Pawn;
    for (int i = 0; i < bn; i++) pos.board[40 + i] = Black + Knight;
    setUpPosition(pos);
    return pos;
}

}  // namespace

TEST(Evaluate, StartPositionIsTheSideToMoveBonus) {
    Caches caches;
    Position pos = build("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR", White, "KQkq");
    EXPECT_EQ(caches.evaluate(pos), 20);
    pos.sideToMove = Black;
    setUpPosition(pos);
    EXPECT_EQ(caches.evaluate(pos), -20);
}

TEST(Evaluate, KingAndPawnByHand) {
    // Material 80/90, side to move 20/10; e5 is open, isolated (-20/-20) and passed (28/20) on
    // a 15 square; the kings' tables cancel; phase 256 leaves the endgame part. The race: e6 is
    // free and safe, base 180, so ((180 + 5 * (4 * 2 - 5)) * 77 + 128) / 256 = 59.
    Caches caches;
    Position pos = build("4k3/8/8/4P3/8/8/8/4K3", White);
    EXPECT_EQ(caches.evaluate(pos), 90 + 10 + 0 + 59);
    const Position mirror = eval_test::flipped(pos);
    // Each side's factor is 16 while it has the pawn, so the mirror is the exact negation.
    EXPECT_EQ(caches.evaluate(mirror), -(90 + 10 + 59));
    pos.sideToMove = Black;
    setUpPosition(pos);
    EXPECT_EQ(caches.evaluate(pos), 90 - 10 + 0 + 59);
}

TEST(Evaluate, DrawishMaterialIsScaledDown) {
    Caches caches;
    // Knight against bare king: White's factor 0 takes the positive score to 0.
    EXPECT_EQ(caches.evaluate(build("4k3/8/8/8/8/8/8/1N2K3", White)), 0);
    EXPECT_EQ(caches.evaluate(build("4k3/8/8/8/8/8/8/1N2K3", Black)), 0);
    // Both factors 0: knight against bishop, queen against queen, rook against rook.
    EXPECT_EQ(caches.evaluate(build("2b1k3/8/8/8/8/8/8/1N2K3")), 0);
    EXPECT_EQ(caches.evaluate(build("3qk3/8/8/8/8/8/8/3QK3")), 0);
    EXPECT_EQ(caches.evaluate(build("r3k3/8/8/8/8/8/8/3RK3", Black)), 0);
}

TEST(Evaluate, OppositeBishopsHalveOnlyUnscaledFactors) {
    // Dark bishop (f2) against light bishop (d7), three pawns against two: both 16s become 8.
    const Position pos = build("4k3/3b4/pp6/8/8/8/PPP2B2/4K3");
    const int unscaled = evaluateWithoutFlags(pos, OPPOSITE_BISHOPS);
    ASSERT_NE(unscaled, 0);
    EXPECT_EQ(Caches().evaluate(pos), unscaled * 8 / 16);
    // Same-coloured bishops: nothing changes.
    const Position same = build("4k3/4b3/pp6/8/8/8/PPP2B2/4K3");
    EXPECT_EQ(Caches().evaluate(same), evaluateWithoutFlags(same, OPPOSITE_BISHOPS));
    // Bishop and pawn against bishop: the factors are already 4 and 2 and stay so.
    const Position low = build("4k3/3b4/8/8/8/8/P4B2/4K3");
    EXPECT_EQ(Caches().evaluate(low), evaluateWithoutFlags(low, OPPOSITE_BISHOPS));
}

TEST(Evaluate, SinglePawnRookEndingWithTheKingInFront) {
    // The defending king on the pawn's file in front of it: the stronger side's 16 becomes 1.
    const Position pos = build("7r/8/4k3/8/4P3/8/8/R1K5");
    const int unscaled = evaluateWithoutFlags(pos, SINGLE_PAWN_ROOKS);
    ASSERT_GT(unscaled, 0);
    EXPECT_EQ(Caches().evaluate(pos), unscaled * 1 / 16);
    // The same for Black's pawn.
    const Position mirror = eval_test::flipped(pos);
    EXPECT_EQ(evaluateWithoutFlags(mirror, SINGLE_PAWN_ROOKS), -unscaled);
    EXPECT_EQ(Caches().evaluate(mirror), -unscaled * 1 / 16);
    // A king beside the pawn's path holds nothing.
    const Position aside = build("7r/8/3k4/8/4P3/8/8/R1K5");
    EXPECT_EQ(Caches().evaluate(aside), evaluateWithoutFlags(aside, SINGLE_PAWN_ROOKS));
}

TEST(Evaluate, LazyExitReturnsMaterialAndTheSideToMoveBonus) {
    // A queen up in the middlegame: phase (256 * 4 + 12) / 24 = 43.
    Caches caches;
    Position pos = build("rnb1kbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR", White, "KQkq");
    ASSERT_EQ(caches.materialSlot(pos).key, 0u);
    const int lazy = (43 * 1010 + 213 * 1020) / 256;
    EXPECT_EQ(caches.evaluate(pos, -50, 50), lazy);
    EXPECT_EQ(caches.materialSlot(pos).flags, LAZY_EXIT);
    // Far below the window as well.
    EXPECT_EQ(caches.evaluate(pos, lazy + 400, lazy + 500), lazy);
    // Within 400 of the window the positional terms are counted.
    EXPECT_NE(caches.evaluate(pos, lazy - 300, lazy + 300), lazy);
    pos.sideToMove = Black;
    setUpPosition(pos);
    EXPECT_EQ(caches.evaluate(pos, -50, 50), (43 * 990 + 213 * 980) / 256);
}

TEST(Evaluate, SecondEvaluationReadsBothCachedEntries) {
    Caches caches;
    const Position pos = build("r1bqk2r/pp3ppp/2n2n2/2bpp3/4P3/2NP1N2/PPP2PPP/R1BQKB1R", White);
    const int first = caches.evaluate(pos);
    EXPECT_EQ(caches.materialSlot(pos).key, pos.materialKey);
    EXPECT_EQ(caches.pawnSlot(pos).key, pos.pawnKey);
    EXPECT_EQ(caches.evaluate(pos), first);
    // Altered entries under the right keys are used as they stand, not recomputed.
    caches.materialSlot(pos).flags = 0;  // no lazy exit, so the change shows in full
    caches.materialSlot(pos).mg += 256;
    caches.pawnSlot(pos).mg += 256;
    EXPECT_EQ(caches.evaluate(pos), first + 512);
}

TEST(Evaluate, CollidingKeysEachGetTheirOwnEntry) {
    // Two material configurations in one slot: White with a queen and up to two of each minor
    // and rook, pawns on both sides, Black knights.
    struct Counts {
        int wp, wn, wb, wr, bp, bn;
        Position position() const { return withMaterial(wp, wn, wb, wr, 1, bp, bn); }
    };
    std::unordered_map<uint64_t, std::pair<uint64_t, Counts>> bySlot;
    Position a{}, b{};
    bool found = false;
    for (int i = 0; i < 9 * 3 * 3 * 3 * 9 * 3 && !found; i++) {
        const Counts counts{i % 9, i / 9 % 3, i / 27 % 3, i / 81 % 3, i / 243 % 9, i / 2187};
        const Position pos = counts.position();
        auto [it, fresh] = bySlot.try_emplace(pos.materialKey & (MATERIAL_TABLE_SIZE - 1),
                                              pos.materialKey, counts);
        if (!fresh && it->second.first != pos.materialKey) {
            a = it->second.second.position();
            b = pos;
            found = true;
        }
    }
    const int scoreA = Caches().evaluate(a), scoreB = Caches().evaluate(b);
    Caches shared;
    for (int round = 0; round < 2; round++) {
        EXPECT_EQ(shared.evaluate(a), scoreA);
        EXPECT_EQ(shared.materialSlot(a).key, a.materialKey);
        EXPECT_EQ(shared.evaluate(b), scoreB);
        EXPECT_EQ(shared.materialSlot(a).key, b.materialKey);
    }

    // Two pawn structures in one slot, from random play.
    std::unordered_map<uint64_t, size_t> pawnSlots;
    const auto positions = eval_test::randomPlayPositions(20, 120, 7);
    const Position *c = nullptr, *d = nullptr;
    for (size_t i = 0; i < positions.size() && !c; i++) {
        auto [it, fresh] = pawnSlots.try_emplace(positions[i].pawnKey & (PAWN_TABLE_SIZE - 1), i);
        if (!fresh && positions[it->second].pawnKey != positions[i].pawnKey) {
            c = &positions[it->second];
            d = &positions[i];
        }
    }
    ASSERT_TRUE(c);
    const int scoreC = Caches().evaluate(*c), scoreD = Caches().evaluate(*d);
    for (int round = 0; round < 2; round++) {
        EXPECT_EQ(shared.evaluate(*c), scoreC);
        EXPECT_EQ(shared.pawnSlot(*c).key, c->pawnKey);
        EXPECT_EQ(shared.evaluate(*d), scoreD);
        EXPECT_EQ(shared.pawnSlot(*c).key, d->pawnKey);
    }
}

TEST(Evaluate, KeptShelterFollowsTheKingAndTheCastlingRights) {
    // One pawn structure, both attacks open, kings walking and castling rights dropping: every
    // placement reuses the pawn entry of the one before, and must score as fresh caches do.
    const char* const placements[] = {
        "r3k2r/p1p2pp1/1pnq1n1p/8/8/P1NQ1NP1/1PP2P1P/R3K2R",
        "r3k2r/p1p2pp1/1pnq1n1p/8/8/P1NQ1NP1/1PP2P1P/R4RK1",
        "r3k2r/p1p2pp1/1pnq1n1p/8/8/P1NQ1NP1/1PP2P1P/R4R1K",
        "2kr3r/p1p2pp1/1pnq1n1p/8/8/P1NQ1NP1/1PP2P1P/R4R1K",
        "1k1r3r/p1p2pp1/1pnq1n1p/8/8/P1NQ1NP1/1PP2P1P/R4R1K",
        "1k1r3r/p1p2pp1/1pnq1n1p/8/8/P1NQ1NP1/1PPK1P1P/R4R2",
        // Without pawns the entry is the zero-filled slot, kings on a1 and a8 included.
        "kqr5/8/8/8/8/8/8/KQR5",
        // White's penalty here is too large to be kept.
        "rq4k1/8/8/8/8/5ppp/8/QR4K1",
    };
    const char* const rights[] = {"KQkq", "Kkq", "Qk", "q", "-"};
    Caches warm;
    for (const char* placement : placements)
        for (const char* castling : rights)
            for (Colour toMove : {White, Black}) {
                const Position pos = build(placement, toMove, castling);
                EXPECT_EQ(warm.evaluate(pos), Caches().evaluate(pos))
                    << placement << " " << castling;
            }
}

TEST(Evaluate, WarmCachesGiveTheColdScore) {
    // One pair of caches for all positions against a miss forced on every call.
    Caches warm, cold;
    int compared = 0;
    for (const Position& pos : eval_test::randomPlayPositions(20, 160, 11)) {
        // Bare kings read the zero-filled slot while it is unclaimed, which is not the computed
        // entry; the search never evaluates them (they are a dead draw before that).
        if (pos.materialKey == 0) continue;
        cold.materialSlot(pos).key = ~pos.materialKey;
        cold.pawnSlot(pos).key = ~pos.pawnKey;
        EXPECT_EQ(warm.evaluate(pos), cold.evaluate(pos));
        compared++;
    }
    EXPECT_GT(compared, 1000);
}

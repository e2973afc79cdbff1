#include "eval/pawns.h"

#include "board/tables.h"

namespace {

// Rank 8 at the top.
constexpr SquareTable PawnSquareMg = fromPrinted({
    -15, -5, 0, 5,  5,  0, -5, -15,  //
    -15, -5, 0, 5,  5,  0, -5, -15,  //
    -15, -5, 0, 5,  5,  0, -5, -15,  //
    -15, -5, 0, 15, 15, 0, -5, -15,  //
    -15, -5, 0, 25, 25, 0, -5, -15,  //
    -15, -5, 0, 15, 15, 0, -5, -15,  //
    -15, -5, 0, 5,  5,  0, -5, -15,  //
    -15, -5, 0, 5,  5,  0, -5, -15,  //
});
// The pawn endgame table is 0 everywhere and is left out.
constexpr SquareTable PassedPawnMg = byRank({10, 10, 10, 16, 28, 46, 70, 10});
constexpr SquareTable CandidateMg = byRank({5, 5, 5, 10, 20, 35, 55, 5});
constexpr SquareTable CandidateEg = byRank({10, 10, 10, 20, 40, 70, 110, 10});

// Every square a pawn of colour C in the set attacks.
template <Colour C>
constexpr Bitboard pawnAttackSet(Bitboard pawns) {
    return C == White ? ((pawns & ~FILE_A) << 7) | ((pawns & ~FILE_H) << 9)
                      : ((pawns & ~FILE_A) >> 9) | ((pawns & ~FILE_H) >> 7);
}

}  // namespace

template <Colour Us>
Score pawnStructure(const Position& pos, Bitboard& passed) {
    constexpr Colour Them = opposite(Us);
    constexpr int UsIndex = colourIndex(Us), ThemIndex = colourIndex(Them);
    constexpr Bitboard SecondRank = Us == White ? RANK_2 : RANK_7;
    constexpr const Bitboard* Ahead = Us == White ? RayNorth : RaySouth;
    constexpr const Bitboard* Behind = Us == White ? RaySouth : RayNorth;
    // Neighbouring files, same rank or behind.
    constexpr const Bitboard* Support = Us == White ? SupportMask : AdvanceSupportMask;

    const Bitboard own = pos.block<Us>().bb[Pawn];
    const Bitboard enemy = pos.block<Them>().bb[Pawn];
    const Bitboard allPawns = own | enemy;
    const Bitboard enemyAttacks = pawnAttackSet<Them>(enemy);

    Score score;
    passed = 0;
    for (Bitboard b = own; b;) {
        const int s = popLsb(b);
        // The squares one and two steps ahead as sets, so a pawn on an edge rank indexes nothing.
        const Bitboard here = bit(s), front = shiftUp<Us>(here), front2 = shiftUp<Us>(front);

        score.mg += at<Us>(PawnSquareMg, s);
        if (Behind[s] & own) {
            score.mg -= 10;
            score.eg -= 20;
        }
        const bool open = !(Ahead[s] & allPawns);

        if (!(AdjacentFiles[s] & own)) {
            score.mg -= open ? 20 : 10;
            score.eg -= 20;
        } else if (!(Support[s] & own)) {
            // Not backward when it can still join a pawn it attacks, by a single step or, from
            // its first square, by the double step, without being stopped or attacked.
            const bool joinsAhead = (PawnAttacks[UsIndex][s] & own) && !(front & allPawns) &&
                                    !((here | front) & enemyAttacks);
            const bool joinsByDoubleStep =
                (here & SecondRank) &&
                ((PawnAttacks[UsIndex][s] | pawnAttackSet<Us>(front)) & own) &&
                !((front | front2) & allPawns) && !((here | front | front2) & enemyAttacks);
            if (!joinsAhead && !joinsByDoubleStep) {
                score.mg -= open ? 16 : 8;
                score.eg -= 10;
            }
        }

        if (!open) continue;
        if (!(PassedMask[UsIndex][s] & enemy)) {
            passed |= here;
            score.mg += at<Us>(PassedPawnMg, s);
            score.eg += 20;
            continue;
        }
        // Candidate: at least as many friendly pawns beside or behind as enemy pawns ahead on
        // the neighbouring files, and the square itself defended as often as attacked.
        const int helpers = popCount(own & Support[s]);
        const int sentries = popCount(enemy & PassedMask[UsIndex][s] & AdjacentFiles[s]);
        if (helpers - sentries >= 0 && popCount(PawnAttacks[ThemIndex][s] & own) >=
                                           popCount(PawnAttacks[UsIndex][s] & enemy)) {
            score.mg += at<Us>(CandidateMg, s);
            score.eg += at<Us>(CandidateEg, s);
        }
    }
    return score;
}

template Score pawnStructure<White>(const Position&, Bitboard&);
template Score pawnStructure<Black>(const Position&, Bitboard&);

void evaluatePawns(const Position& pos, PawnEntry& entry) {
    Score score;
    addFor<White>(score, pawnStructure<White>(pos, entry.whitePassed));
    addFor<Black>(score, pawnStructure<Black>(pos, entry.blackPassed));
    entry.key = pos.pawnKey;
    entry.mg = int16_t(score.mg);
    entry.eg = int16_t(score.eg);
    entry.shelter[0] = entry.shelter[1] = 0;
}

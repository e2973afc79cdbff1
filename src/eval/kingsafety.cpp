#include "eval/kingsafety.h"

#include <algorithm>

#include "board/move.h"
#include "board/tables.h"
#include "eval/score.h"
#include "eval/see.h"

namespace {

constexpr int AttackScale[16] = {0,   0,   128, 192, 224, 240, 248, 252,
                                 254, 255, 256, 256, 256, 256, 256, 256};

constexpr SquareTable ShelterPenalty = byRank({0, 0, 11, 20, 27, 32, 35, 36});
constexpr SquareTable StormPenalty = byRank({0, 0, 60, 30, 10, 0, 0, 0});
constexpr SquareTable PassedPawnRace = byRank({0, 0, 0, 26, 77, 154, 256, 0});

// The race term is 0 below the fourth rank, so only these pawns are looked at.
template <Colour Us>
constexpr Bitboard RaceRanks =
    Us == White ? RANK_4 | RANK_5 | RANK_6 | RANK_7 : RANK_5 | RANK_4 | RANK_3 | RANK_2;

// The pawn of the set nearest to Us's first rank.
template <Colour Us>
inline int nearest(Bitboard b) {
    return Us == White ? lsb(b) : msb(b);
}

}  // namespace

int kingAttackBonus(const KingAttack& attack) {
    // More attackers than the scale lists (possible only in artificial set-ups) count in full.
    const int attackers = std::min(attack.attackers, 15);
    return AttackScale[attackers] * attack.weight * 20 / 256;
}

template <Colour Us>
int kingShelter(const Position& pos, int k) {
    constexpr Colour Them = opposite(Us);
    // The far rank stands in for a missing pawn, so every search finds a square.
    constexpr Bitboard FarRank = Us == White ? RANK_8 : RANK_1;
    constexpr const Bitboard* Forward = Us == White ? FileForward : FileBackward;
    const Bitboard own = pos.block<Us>().bb[Pawn] | FarRank;
    const Bitboard enemy = pos.block<Them>().bb[Pawn] | FarRank;
    const int file = fileOf(k);

    int shelter = 2 * at<Us>(ShelterPenalty, nearest<Us>(own & Forward[k]));
    int storm = at<Us>(StormPenalty, nearest<Us>(enemy & FileMask[k]));
    if (file > 0) {
        shelter += at<Us>(ShelterPenalty, nearest<Us>(own & Forward[k - 1]));
        storm += at<Us>(StormPenalty, nearest<Us>(enemy & FileMask[k - 1]));
    }
    if (file < 7) {
        shelter += at<Us>(ShelterPenalty, nearest<Us>(own & Forward[k + 1]));
        storm += at<Us>(StormPenalty, nearest<Us>(enemy & FileMask[k + 1]));
    }
    // A full wall right in front of the king still leaves it a little exposed.
    if (shelter == 0) shelter = 11;
    return shelter + storm;
}

// The castling squares Us's king may still go to: 1 the king's side, 2 the queen's.
template <Colour Us>
inline int castlingOffers(const Position& pos) {
    constexpr int KingHome = relativeSquare(Us, 4);
    constexpr int KingRook = relativeSquare(Us, 7), QueenRook = relativeSquare(Us, 0);
    if (pos.chess960)
        return (castlingRight(pos, colourIndex(Us), KING_SIDE) ? 1 : 0) |
               (castlingRight(pos, colourIndex(Us), QUEEN_SIDE) ? 2 : 0);
    if (pos.moved[KingHome] != 0) return 0;
    return (pos.moved[KingRook] == 0 ? 1 : 0) | (pos.moved[QueenRook] == 0 ? 2 : 0);
}

template <Colour Us>
int shelterPenalty(const Position& pos) {
    constexpr int KingSideSquare = relativeSquare(Us, 6), QueenSideSquare = relativeSquare(Us, 1);
    const int offers = castlingOffers<Us>(pos);
    const int current = kingShelter<Us>(pos, pos.block<Us>().kingSquare);
    int best = current;
    if (offers & 1) best = std::min(best, kingShelter<Us>(pos, KingSideSquare));
    if (offers & 2) best = std::min(best, kingShelter<Us>(pos, QueenSideSquare));
    return (current + best) / 2;
}

template <Colour Us>
int shelterPenalty(const Position& pos, PawnEntry& pawns) {
    // Besides the pawns the penalty depends only on the king's square and the castling offers.
    constexpr int Index = colourIndex(Us);
    const uint8_t king = uint8_t(pos.block<Us>().kingSquare | castlingOffers<Us>(pos) << 6);
    if (pawns.shelter[Index] != 0 && pawns.shelterKing[Index] == king)
        return pawns.shelter[Index] + 10;
    const int penalty = shelterPenalty<Us>(pos);
    pawns.shelterKing[Index] = king;
    pawns.shelter[Index] = uint8_t(penalty - 10 <= 255 ? penalty - 10 : 0);
    return penalty;
}

template <Colour Us>
bool passerUnstoppable(const Position& pos, int s) {
    constexpr Colour Them = opposite(Us);
    constexpr int Up = Us == White ? 8 : -8;
    constexpr Bitboard SecondRank = Us == White ? RANK_2 : RANK_7;
    constexpr const Bitboard* Ahead = Us == White ? RayNorth : RaySouth;
    constexpr const int* Goal = Us == White ? PromotionSquare : BaseSquare;
    if (Ahead[s] & pos.block<Us>().occupied) return false;
    const int p = bit(s) & SecondRank ? s + Up : s;
    const int d = KingDistance[p][Goal[p]] + (pos.sideToMove == Them ? 1 : 0);
    return d < KingDistance[pos.block<Them>().kingSquare][Goal[p]];
}

template <Colour Us>
bool passerEscorted(const Position& pos, int s) {
    constexpr const int* Goal = Us == White ? PromotionSquare : BaseSquare;
    const int k = pos.block<Us>().kingSquare;
    // On a rook file a king in front of its pawn only blocks it.
    const bool blocksRookPawn = fileOf(k) == fileOf(s) && (fileOf(s) == 0 || fileOf(s) == 7);
    return KingDistance[k][s] <= 1 && KingDistance[k][Goal[s]] <= 1 && !blocksRookPawn;
}

template <Colour Us>
int passedPawnRace(const Position& pos, Bitboard passed) {
    constexpr Colour Them = opposite(Us);
    constexpr int Up = Us == White ? 8 : -8;
    const int ownKing = pos.block<Us>().kingSquare;
    const int theirKing = pos.block<Them>().kingSquare;
    const bool onlyPawnsAgainst = pos.block<Them>().pieceCount == 0;
    int eg = 0;
    for (Bitboard b = passed & RaceRanks<Us>; b;) {
        const int s = popLsb(b);
        const int front = s + Up;
        int base = 120;
        if (onlyPawnsAgainst && (passerUnstoppable<Us>(pos, s) || passerEscorted<Us>(pos, s)))
            base = 920;
        else if (pos.board[front] == 0 && see<Us>(pos, makeMoveWord(s, front, Pawn)) >= 0)
            base = 180;
        const int kings = 4 * KingDistance[front][theirKing] - KingDistance[front][ownKing];
        eg += ((base + 5 * kings) * at<Us>(PassedPawnRace, s) + 128) / 256;
    }
    return eg;
}

template int kingShelter<White>(const Position&, int);
template int kingShelter<Black>(const Position&, int);
template int shelterPenalty<White>(const Position&);
template int shelterPenalty<Black>(const Position&);
template int shelterPenalty<White>(const Position&, PawnEntry&);
template int shelterPenalty<Black>(const Position&, PawnEntry&);
template bool passerUnstoppable<White>(const Position&, int);
template bool passerUnstoppable<Black>(const Position&, int);
template bool passerEscorted<White>(const Position&, int);
template bool passerEscorted<Black>(const Position&, int);
template int passedPawnRace<White>(const Position&, Bitboard);
template int passedPawnRace<Black>(const Position&, Bitboard);

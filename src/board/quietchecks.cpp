#include "board/quietchecks.h"

#include "board/castling.h"
#include "board/makemove.h"
#include "board/tables.h"

namespace {

inline void writeTargets(Move* moves, int& n, int from, int type, Bitboard targets) {
    const Move base = makeMoveWord(from, 0, type);
    while (targets) pushMove(moves, n, base | Move(popLsb(targets)));
}

// Own pieces that stand alone between an own slider and the enemy king on k.
template <Colour Us>
Bitboard discoverers(const Position& pos, int k) {
    const ColourBlock& own = pos.block<Us>();
    const Bitboard occ = pos.occupancy();
    Bitboard d = 0;
    const Bitboard straight = own.bb[Rook] | own.bb[Queen];
    if (straight & RookEmptyAttacks[k]) {
        const Bitboard blockers = RookAttacks(k, occ) & own.occupied;
        Bitboard behind = RookAttacks(k, occ ^ blockers) & straight;
        while (behind) d |= Between[k][popLsb(behind)] & blockers;
    }
    const Bitboard diagonal = own.bb[Bishop] | own.bb[Queen];
    if (diagonal & BishopEmptyAttacks[k]) {
        const Bitboard blockers = BishopAttacks(k, occ) & own.occupied;
        Bitboard behind = BishopAttacks(k, occ ^ blockers) & diagonal;
        while (behind) d |= Between[k][popLsb(behind)] & blockers;
    }
    return d;
}

// A pawn push from f to t checks directly, or by discovery when the pawn leaves the line.
template <Colour Us>
inline void pawnPushChecks(Move* moves, int& n, Bitboard targets, int step, int k, Bitboard d) {
    while (targets) {
        const int t = popLsb(targets);
        const int f = t - step;
        const bool check = (bit(f) & d) ? Direction[t][k] != Direction[f][k]
                                        : bool(PawnAttacks[colourIndex(Us)][t] & bit(k));
        if (check) pushMove(moves, n, makeMoveWord(f, t, Pawn));
    }
}

template <Colour Us>
inline void castlingCheck(Position& pos, Move* moves, int& n, Move castle, int k) {
    UndoRecord undo;
    makeMove<Us>(pos, undo, castle);
    const bool check = isAttackedBy<Us>(pos, k);
    unmakeMove<Us>(pos, undo, castle);
    if (check) pushMove(moves, n, castle);
}

}  // namespace

template <Colour Us>
int generateQuietChecks(Position& pos, Move* moves) {
    constexpr Colour Them = opposite(Us);
    constexpr int Up = Us == White ? 8 : -8;
    constexpr Bitboard Rank3 = Us == White ? RANK_3 : RANK_6;
    constexpr Bitboard Rank7 = Us == White ? RANK_7 : RANK_2;
    const ColourBlock& own = pos.block<Us>();
    const int k = pos.block<Them>().kingSquare;
    const Bitboard occ = pos.occupancy();
    const Bitboard empty = ~occ;
    const Bitboard d = discoverers<Us>(pos, k);
    const Bitboard rookFromKing = RookAttacks(k, occ), bishopFromKing = BishopAttacks(k, occ);
    int n = 0;

    const int ownKing = own.kingSquare;
    if (bit(ownKing) & d) {
        Bitboard targets = KingAttacks[ownKing] & empty;
        while (targets) {
            const int t = popLsb(targets);
            if (Direction[t][k] != Direction[ownKing][k])
                pushMove(moves, n, makeMoveWord(ownKing, t, King));
        }
    }
    for (Bitboard b = own.bb[Queen]; b;) {
        const int q = popLsb(b);
        writeTargets(moves, n, q, Queen,
                     QueenAttacks(q, occ) & (rookFromKing | bishopFromKing) & empty);
    }
    for (Bitboard b = own.bb[Rook]; b;) {
        const int r = popLsb(b);
        const Bitboard a = RookAttacks(r, occ) & empty;
        writeTargets(moves, n, r, Rook, (bit(r) & d) ? a : a & rookFromKing);
    }
    for (Bitboard b = own.bb[Bishop]; b;) {
        const int s = popLsb(b);
        const Bitboard a = BishopAttacks(s, occ) & empty;
        if (bit(s) & d)
            writeTargets(moves, n, s, Bishop, a);
        else if (SquareColour[s] == SquareColour[k])
            writeTargets(moves, n, s, Bishop, a & bishopFromKing);
    }
    for (Bitboard b = own.bb[Knight]; b;) {
        const int s = popLsb(b);
        const Bitboard a = KnightAttacks[s] & empty;
        writeTargets(moves, n, s, Knight, (bit(s) & d) ? a : a & KnightAttacks[k]);
    }
    const Bitboard pawns = own.bb[Pawn] & ~Rank7;
    const Bitboard singles = (Us == White ? pawns << 8 : pawns >> 8) & empty;
    pawnPushChecks<Us>(moves, n, singles, Up, k, d);
    const Bitboard third = singles & Rank3;
    const Bitboard doubles = (Us == White ? third << 8 : third >> 8) & empty;
    pawnPushChecks<Us>(moves, n, doubles, 2 * Up, k, d);

    if (pos.chess960) {
        for (int wing : {KING_SIDE, QUEEN_SIDE})
            if (canCastle960<Us>(pos, wing))
                castlingCheck<Us>(pos, moves, n, castlingMove960<Us>(pos, wing), k);
        return n;
    }
    if (canCastleKingSide<Us>(pos)) castlingCheck<Us>(pos, moves, n, KingSideCastle<Us>, k);
    if (canCastleQueenSide<Us>(pos)) castlingCheck<Us>(pos, moves, n, QueenSideCastle<Us>, k);
    return n;
}

template int generateQuietChecks<White>(Position&, Move*);
template int generateQuietChecks<Black>(Position&, Move*);

#include "eval/see.h"

#include "board/tables.h"

namespace {

constexpr int KING_VALUE = 10000;

// The lowest square among the colour's least valuable attackers in a; the king when no other
// piece is left.
inline int leastValuable(const ColourBlock& side, Bitboard a) {
    for (int type = Pawn; type <= Queen; type++)
        if (Bitboard b = a & side.bb[type]) return lsb(b);
    return side.kingSquare;
}

// Sliders behind q as seen from t, on the board as it stood before the exchange.
inline Bitboard xray(const Position& pos, int t, int q, Bitboard occ) {
    const Bitboard straight =
        pos.side[0].bb[Rook] | pos.side[1].bb[Rook] | pos.side[0].bb[Queen] | pos.side[1].bb[Queen];
    const Bitboard diagonal = pos.side[0].bb[Bishop] | pos.side[1].bb[Bishop] |
                              pos.side[0].bb[Queen] | pos.side[1].bb[Queen];
    switch (Direction[t][q]) {
        case 1:
            return RookAttacks(q, occ) & straight & RayEast[q];
        case -1:
            return RookAttacks(q, occ) & straight & RayWest[q];
        case 8:
            return RookAttacks(q, occ) & straight & RayNorth[q];
        case -8:
            return RookAttacks(q, occ) & straight & RaySouth[q];
        case 7:
            return BishopAttacks(q, occ) & diagonal & RayNorthWest[q];
        case -7:
            return BishopAttacks(q, occ) & diagonal & RaySouthEast[q];
        case 9:
            return BishopAttacks(q, occ) & diagonal & RayNorthEast[q];
        case -9:
            return BishopAttacks(q, occ) & diagonal & RaySouthWest[q];
        default:
            return 0;
    }
}

template <Colour C>
constexpr bool promotesFrom(int q) {
    return C == White ? q > 47 : q < 16;
}

}  // namespace

template <Colour Us>
int see(const Position& pos, Move m) {
    constexpr Colour Them = opposite(Us);
    const ColourBlock& own = pos.block<Us>();
    const ColourBlock& enemy = pos.block<Them>();
    const int t = moveTo(m), f = moveFrom(m);
    const int captured = PieceValue[moveCaptured(m)];
    const int mover = PieceValue[moveType(m)];

    // A pawn recapture already makes a capture by a more valuable piece lose the difference.
    if ((PawnAttacks[colourIndex(Us)][t] & enemy.bb[Pawn]) && mover > 100 && captured < mover)
        return captured - mover;

    const Bitboard occ = pos.occupancy() & ~bit(f);
    const Bitboard bishops = own.bb[Bishop] | enemy.bb[Bishop] | own.bb[Queen] | enemy.bb[Queen];
    const Bitboard rooks = own.bb[Rook] | enemy.bb[Rook] | own.bb[Queen] | enemy.bb[Queen];
    Bitboard attackers = (BishopAttacks(t, occ) & bishops) | (RookAttacks(t, occ) & rooks) |
                         (KingAttacks[t] & (bit(own.kingSquare) | bit(enemy.kingSquare))) |
                         (KnightAttacks[t] & (own.bb[Knight] | enemy.bb[Knight])) |
                         (PawnAttacks[colourIndex(Them)][t] & own.bb[Pawn]) |
                         (PawnAttacks[colourIndex(Us)][t] & enemy.bb[Pawn]);
    attackers &= occ;
    if (!(attackers & enemy.occupied)) return captured;

    int onSquare, gain;
    if (const int p = movePromotion(m)) {
        onSquare = PieceValue[p];
        gain = captured - 100 + onSquare;
    } else {
        onSquare = mover;
        gain = captured;
    }
    if (onSquare == KING_VALUE) return -KING_VALUE;
    int low = NO_SCORE, high = gain;

    // The window [low, high] closes in from both sides: each side may stop capturing when that
    // is better, so the result is known as soon as it leaves the window on either side of 0.
    do {
        if (onSquare == KING_VALUE) return low;
        int q = leastValuable(enemy, attackers);
        gain -= onSquare;
        attackers &= ~bit(q);
        onSquare = PieceValue[pos.board[q]];
        if (onSquare == 100 && promotesFrom<Them>(q)) {
            onSquare = 1000;
            gain -= 900;
        }
        if (gain >= high) return high;
        if (gain > low) low = gain;
        if (low > 0) return low;
        attackers |= xray(pos, t, q, occ);

        if (!(attackers & own.occupied)) break;
        if (onSquare == KING_VALUE) return high;
        q = leastValuable(own, attackers);
        gain += onSquare;
        attackers &= ~bit(q);
        onSquare = PieceValue[pos.board[q]];
        if (onSquare == 100 && promotesFrom<Us>(q)) {
            onSquare = 1000;
            gain += 900;
        }
        if (gain <= low) return low;
        if (gain < high) high = gain;
        if (high < 0) return high;
        attackers |= xray(pos, t, q, occ);
    } while (attackers & enemy.occupied);

    if (gain < low) return low;
    return gain < high ? gain : high;
}

template int see<White>(const Position&, Move);
template int see<Black>(const Position&, Move);

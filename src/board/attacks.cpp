#include "board/attacks.h"

#include "board/makemove.h"
#include "board/tables.h"

namespace {

// The line through s in the direction d (any sign) and the attacks along it from s.
struct Line {
    Bitboard mask;
    Bitboard attacks;
    bool straight;  // rank or file: rooks see along it; else a diagonal for bishops
};

inline Line lineThrough(int s, int d, Bitboard occ) {
    switch (d < 0 ? -d : d) {
        case 1:
            return {RankMask[s], RookAttacks(s, occ), true};
        case 8:
            return {FileMask[s], RookAttacks(s, occ), true};
        case 9:
            return {Diagonal[s], BishopAttacks(s, occ), false};
        default:
            return {AntiDiagonal[s], BishopAttacks(s, occ), false};
    }
}

// Whether the piece on s, once it leaves the line towards the king on k, uncovers a slider of
// `sliders` (the colour's rooks/queens and bishops/queens) onto k.
inline bool uncovers(int s, int d, int k, Bitboard occ, Bitboard straightSliders,
                     Bitboard diagonalSliders) {
    Line line = lineThrough(s, d, occ);
    Bitboard seen = line.attacks & line.mask;
    return (seen & bit(k)) && (seen & (line.straight ? straightSliders : diagonalSliders));
}

template <Colour By>
inline Bitboard straightSliders(const Position& pos) {
    const ColourBlock& b = pos.block<By>();
    return b.bb[Rook] | b.bb[Queen];
}
template <Colour By>
inline Bitboard diagonalSliders(const Position& pos) {
    const ColourBlock& b = pos.block<By>();
    return b.bb[Bishop] | b.bb[Queen];
}

}  // namespace

template <Colour By>
bool isAttackedBy(const Position& pos, int s) {
    return isAttackedBy<By>(pos, s, pos.occupancy());
}

template <Colour By>
bool isAttackedBy(const Position& pos, int s, Bitboard occ) {
    constexpr int Other = colourIndex(opposite(By));
    const ColourBlock& b = pos.block<By>();
    if (PawnAttacks[Other][s] & b.bb[Pawn]) return true;
    if (KnightAttacks[s] & b.bb[Knight]) return true;
    if (BishopAttacks(s, occ) & (b.bb[Queen] | b.bb[Bishop])) return true;
    if (RookAttacks(s, occ) & (b.bb[Queen] | b.bb[Rook])) return true;
    return SquareBit[b.kingSquare] & KingAttacks[s];
}

template <Colour By>
Bitboard attackersOf(const Position& pos, int s) {
    constexpr int Other = colourIndex(opposite(By));
    const ColourBlock& b = pos.block<By>();
    const Bitboard occ = pos.occupancy();
    return (RookAttacks(s, occ) & (b.bb[Queen] | b.bb[Rook])) |
           (BishopAttacks(s, occ) & (b.bb[Queen] | b.bb[Bishop])) |
           (SquareBit[b.kingSquare] & KingAttacks[s]) | (KnightAttacks[s] & b.bb[Knight]) |
           (PawnAttacks[Other][s] & b.bb[Pawn]);
}

template <Colour Own>
bool isPinned(const Position& pos, int s) {
    constexpr Colour Them = opposite(Own);
    const int k = pos.block<Own>().kingSquare;
    const int d = Direction[s][k];
    if (d == 0) return false;
    return uncovers(s, d, k, pos.occupancy(), straightSliders<Them>(pos),
                    diagonalSliders<Them>(pos));
}

template <Colour Us>
bool givesCheck(Position& pos, Move m) {
    constexpr Colour Them = opposite(Us);
    const int k = pos.block<Them>().kingSquare;
    const int f = moveFrom(m), t = moveTo(m);
    if (needsFullMake(m)) {
        UndoRecord undo;
        makeMove<Us>(pos, undo, m);
        const bool check = isAttackedBy<Us>(pos, k);
        unmakeMove<Us>(pos, undo, m);
        return check;
    }
    const Bitboard occ = pos.occupancy();
    switch (moveType(m)) {
        case Pawn:
            if (PawnAttacks[colourIndex(Us)][t] & bit(k)) return true;
            break;
        case Knight:
            if (KnightAttacks[t] & bit(k)) return true;
            break;
        case Bishop:
            if (BishopAttacks(t, occ) & bit(k)) return true;
            break;
        case Rook:
            if (RookAttacks(t, occ) & bit(k)) return true;
            break;
        case Queen:
            if (QueenAttacks(t, occ) & bit(k)) return true;
            break;
    }
    const int d = Direction[f][k];
    if (d == 0 || d == Direction[t][k]) return false;
    return uncovers(f, d, k, occ, straightSliders<Us>(pos), diagonalSliders<Us>(pos));
}

template <Colour Us>
bool exposesKing(Position& pos, Move m) {
    constexpr Colour Them = opposite(Us);
    const int k = pos.block<Us>().kingSquare;
    const int f = moveFrom(m), t = moveTo(m);
    const Bitboard occ = pos.occupancy();
    // Not in check, so no slider sees the king's square and the occupancy before the move
    // answers for the target exactly.
    if (moveType(m) == King) return isAttackedBy<Them>(pos, t);
    if (moveSpecial(m)) {
        UndoRecord undo;
        makeMove<Us>(pos, undo, m);
        const bool exposed = isAttackedBy<Them>(pos, k);
        unmakeMove<Us>(pos, undo, m);
        return exposed;
    }
    const int d = Direction[f][k];
    if (d == 0 || d == Direction[t][k]) return false;
    return uncovers(f, d, k, occ, straightSliders<Them>(pos), diagonalSliders<Them>(pos));
}

template bool isAttackedBy<White>(const Position&, int);
template bool isAttackedBy<Black>(const Position&, int);
template bool isAttackedBy<White>(const Position&, int, Bitboard);
template bool isAttackedBy<Black>(const Position&, int, Bitboard);
template Bitboard attackersOf<White>(const Position&, int);
template Bitboard attackersOf<Black>(const Position&, int);
template bool isPinned<White>(const Position&, int);
template bool isPinned<Black>(const Position&, int);
template bool givesCheck<White>(Position&, Move);
template bool givesCheck<Black>(Position&, Move);
template bool exposesKing<White>(Position&, Move);
template bool exposesKing<Black>(Position&, Move);

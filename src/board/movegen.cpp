#include "board/movegen.h"

#include "board/castling.h"
#include "board/tables.h"

namespace {

template <int Type>
inline Bitboard attacksFrom(int s, Bitboard occ) {
    if constexpr (Type == Knight) return KnightAttacks[s];
    if constexpr (Type == Bishop) return BishopAttacks(s, occ);
    if constexpr (Type == Rook) return RookAttacks(s, occ);
    if constexpr (Type == Queen) return QueenAttacks(s, occ);
    if constexpr (Type == King) return KingAttacks[s];
}

// One piece's moves into `targets`, each carrying the code it captures (0 on an empty square).
inline void writeTargets(const Position& pos, Move* moves, int& n, int from, int type,
                         Bitboard targets) {
    const Move base = makeMoveWord(from, 0, type);
    while (targets) {
        int t = popLsb(targets);
        pushMove(moves, n, base | Move(t) | Move(pos.board[t]) << 15);
    }
}

// Per piece of the type, lowest square first: its captures then its quiet moves, as asked.
template <Colour Us, int Type, bool Captures, bool Quiets>
inline void pieceMoves(const Position& pos, Move* moves, int& n) {
    constexpr Colour Them = opposite(Us);
    const ColourBlock& own = pos.block<Us>();
    const Bitboard occ = pos.occupancy();
    const Bitboard enemy = pos.block<Them>().occupied;
    Bitboard pieces = Type == King ? bit(own.kingSquare) : own.bb[Type];
    while (pieces) {
        const int s = popLsb(pieces);
        const Bitboard a = attacksFrom<Type>(s, occ);
        if constexpr (Captures) writeTargets(pos, moves, n, s, Type, a & enemy);
        if constexpr (Quiets) writeTargets(pos, moves, n, s, Type, a & ~occ);
    }
}

// King, queens, rooks, bishops, knights: the order every generator writes the pieces in.
template <Colour Us, bool Captures, bool Quiets>
inline void allPieceMoves(const Position& pos, Move* moves, int& n) {
    pieceMoves<Us, King, Captures, Quiets>(pos, moves, n);
    pieceMoves<Us, Queen, Captures, Quiets>(pos, moves, n);
    pieceMoves<Us, Rook, Captures, Quiets>(pos, moves, n);
    pieceMoves<Us, Bishop, Captures, Quiets>(pos, moves, n);
    pieceMoves<Us, Knight, Captures, Quiets>(pos, moves, n);
}

// Pawn moves whose to-squares are `targets`, each from to - step; to-squares on the last rank
// become the four promotions.
template <Colour Us>
inline void pawnMoves(const Position& pos, Move* moves, int& n, Bitboard targets, int step) {
    constexpr Bitboard LastRank = Us == White ? RANK_8 : RANK_1;
    while (targets) {
        const int t = popLsb(targets);
        const int f = t - step;
        if (bit(t) & LastRank)
            pushPromotions(moves, n, f, t, pos.board[t]);
        else
            pushMove(moves, n, makeMoveWord(f, t, Pawn, pos.board[t]));
    }
}

template <Colour Us>
struct PawnGeometry {
    static constexpr int Up = Us == White ? 8 : -8;
    static constexpr int TowardA = Us == White ? 7 : -9;  // capture step toward the a-file
    static constexpr int TowardH = Us == White ? 9 : -7;
    static constexpr Bitboard Rank3 = Us == White ? RANK_3 : RANK_6;
    static constexpr Bitboard Rank7 = Us == White ? RANK_7 : RANK_2;
    static constexpr Bitboard shift(Bitboard b, int step) {
        return step > 0 ? b << step : b >> -step;
    }
};

template <Colour Us>
inline void pawnCaptures(const Position& pos, Move* moves, int& n) {
    using G = PawnGeometry<Us>;
    const Bitboard pawns = pos.block<Us>().bb[Pawn];
    const Bitboard enemy = pos.block<opposite(Us)>().occupied;
    pawnMoves<Us>(pos, moves, n, G::shift(pawns & ~FILE_A, G::TowardA) & enemy, G::TowardA);
    pawnMoves<Us>(pos, moves, n, G::shift(pawns & ~FILE_H, G::TowardH) & enemy, G::TowardH);
}

template <Colour Us>
inline void enPassant(const Position& pos, Move* moves, int& n) {
    constexpr Colour Them = opposite(Us);
    const int e = pos.epSquare;
    if (e == NO_SQUARE) return;
    Bitboard capturers = PawnAttacks[colourIndex(Them)][e] & pos.block<Us>().bb[Pawn];
    while (capturers)
        pushMove(moves, n, makeMoveWord(popLsb(capturers), e, Pawn, Them + Pawn, 0, 1));
}

template <Colour Us>
inline void doublePushes(const Position& pos, Move* moves, int& n, Bitboard singles) {
    using G = PawnGeometry<Us>;
    Bitboard targets = G::shift(singles & G::Rank3, G::Up) & ~pos.occupancy();
    while (targets) {
        const int t = popLsb(targets);
        pushMove(moves, n, makeMoveWord(t - 2 * G::Up, t, Pawn));
    }
}

template <Colour Us>
inline void castling(const Position& pos, Move* moves, int& n) {
    if (pos.chess960) {
        for (int wing : {KING_SIDE, QUEEN_SIDE})
            if (canCastle960<Us>(pos, wing)) pushMove(moves, n, castlingMove960<Us>(pos, wing));
        return;
    }
    if (canCastleKingSide<Us>(pos)) pushMove(moves, n, KingSideCastle<Us>);
    if (canCastleQueenSide<Us>(pos)) pushMove(moves, n, QueenSideCastle<Us>);
}

}  // namespace

template <Colour Us>
int generateAll(const Position& pos, Move* moves) {
    using G = PawnGeometry<Us>;
    int n = 0;
    allPieceMoves<Us, true, true>(pos, moves, n);
    const Bitboard singles = G::shift(pos.block<Us>().bb[Pawn], G::Up) & ~pos.occupancy();
    pawnMoves<Us>(pos, moves, n, singles, G::Up);
    doublePushes<Us>(pos, moves, n, singles);
    pawnCaptures<Us>(pos, moves, n);
    enPassant<Us>(pos, moves, n);
    castling<Us>(pos, moves, n);
    return n;
}

template <Colour Us>
int generateTactical(const Position& pos, Move* moves) {
    using G = PawnGeometry<Us>;
    int n = 0;
    allPieceMoves<Us, true, false>(pos, moves, n);
    const Bitboard pawns = pos.block<Us>().bb[Pawn];
    pawnMoves<Us>(pos, moves, n, G::shift(pawns & G::Rank7, G::Up) & ~pos.occupancy(), G::Up);
    pawnCaptures<Us>(pos, moves, n);
    enPassant<Us>(pos, moves, n);
    return n;
}

template <Colour Us>
int generateQuiet(const Position& pos, Move* moves) {
    using G = PawnGeometry<Us>;
    int n = 0;
    allPieceMoves<Us, false, true>(pos, moves, n);
    const Bitboard pawns = pos.block<Us>().bb[Pawn];
    const Bitboard empty = ~pos.occupancy();
    pawnMoves<Us>(pos, moves, n, G::shift(pawns & ~G::Rank7, G::Up) & empty, G::Up);
    doublePushes<Us>(pos, moves, n, G::shift(pawns, G::Up) & empty);
    castling<Us>(pos, moves, n);
    return n;
}

template int generateAll<White>(const Position&, Move*);
template int generateAll<Black>(const Position&, Move*);
template int generateTactical<White>(const Position&, Move*);
template int generateTactical<Black>(const Position&, Move*);
template int generateQuiet<White>(const Position&, Move*);
template int generateQuiet<Black>(const Position&, Move*);

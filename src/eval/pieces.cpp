#include "eval/pieces.h"

#include "board/tables.h"

namespace {

// All tables rank 8 at the top.
constexpr SquareTable KnightSquareMg = fromPrinted({
    -135, -25, -15, -10, -10, -15, -25, -135,  //
    -20,  -10, 0,   5,   5,   0,   -10, -20,   //
    -5,   5,   15,  20,  20,  15,  5,   -5,    //
    -5,   5,   15,  20,  20,  15,  5,   -5,    //
    -10,  0,   10,  15,  15,  10,  0,   -10,   //
    -20,  -10, 0,   5,   5,   0,   -10, -20,   //
    -35,  -25, -15, -10, -10, -15, -25, -35,   //
    -50,  -40, -30, -25, -25, -30, -40, -50,   //
});
constexpr SquareTable KnightSquareEg = fromPrinted({
    -40, -30, -20, -15, -15, -20, -30, -40,  //
    -30, -20, -10, -5,  -5,  -10, -20, -30,  //
    -20, -10, 0,   5,   5,   0,   -10, -20,  //
    -15, -5,  5,   10,  10,  5,   -5,  -15,  //
    -15, -5,  5,   10,  10,  5,   -5,  -15,  //
    -20, -10, 0,   5,   5,   0,   -10, -20,  //
    -30, -20, -10, -5,  -5,  -10, -20, -30,  //
    -40, -30, -20, -15, -15, -20, -30, -40,  //
});
constexpr SquareTable BishopSquareMg = fromPrinted({
    -8,  -8,  -6,  -4,  -4,  -6,  -8,  -8,   //
    -8,  0,   -2,  0,   0,   -2,  0,   -8,   //
    -6,  -2,  4,   2,   2,   4,   -2,  -6,   //
    -4,  0,   2,   8,   8,   2,   0,   -4,   //
    -4,  0,   2,   8,   8,   2,   0,   -4,   //
    -6,  -2,  4,   2,   2,   4,   -2,  -6,   //
    -8,  0,   -2,  0,   0,   -2,  0,   -8,   //
    -18, -18, -16, -14, -14, -16, -18, -18,  //
});
constexpr SquareTable BishopSquareEg = fromPrinted({
    -18, -12, -9, -6, -6, -9, -12, -18,  //
    -12, -6,  -3, 0,  0,  -3, -6,  -12,  //
    -9,  -3,  0,  3,  3,  0,  -3,  -9,   //
    -6,  0,   3,  6,  6,  3,  0,   -6,   //
    -6,  0,   3,  6,  6,  3,  0,   -6,   //
    -9,  -3,  0,  3,  3,  0,  -3,  -9,   //
    -12, -6,  -3, 0,  0,  -3, -6,  -12,  //
    -18, -12, -9, -6, -6, -9, -12, -18,  //
});
// The rook endgame table is 0 everywhere and is left out.
constexpr SquareTable RookSquareMg = byFile({-6, -3, 0, 3, 3, 0, -3, -6});
constexpr SquareTable QueenSquareMg = byRank({-5, 0, 0, 0, 0, 0, 0, 0});
constexpr SquareTable QueenSquareEg = fromPrinted({
    -24, -16, -12, -8, -8, -12, -16, -24,  //
    -16, -8,  -4,  0,  0,  -4,  -8,  -16,  //
    -12, -4,  0,   4,  4,  0,   -4,  -12,  //
    -8,  0,   4,   8,  8,  4,   0,   -8,   //
    -8,  0,   4,   8,  8,  4,   0,   -8,   //
    -12, -4,  0,   4,  4,  0,   -4,  -12,  //
    -16, -8,  -4,  0,  0,  -4,  -8,  -16,  //
    -24, -16, -12, -8, -8, -12, -16, -24,  //
});
constexpr SquareTable KingSquareMg = fromPrinted({
    -40, -30, -50, -70, -70, -50, -30, -40,  //
    -30, -20, -40, -60, -60, -40, -20, -30,  //
    -20, -10, -30, -50, -50, -30, -10, -20,  //
    -10, 0,   -20, -40, -40, -20, 0,   -10,  //
    0,   10,  -10, -30, -30, -10, 10,  0,    //
    10,  20,  0,   -20, -20, 0,   20,  10,   //
    30,  40,  20,  0,   0,   20,  40,  30,   //
    40,  50,  30,  10,  10,  30,  50,  40,   //
});
constexpr SquareTable KingSquareEg = fromPrinted({
    -72, -48, -36, -24, -24, -36, -48, -72,  //
    -48, -24, -12, 0,   0,   -12, -24, -48,  //
    -36, -12, 0,   12,  12,  0,   -12, -36,  //
    -24, 0,   12,  24,  24,  12,  0,   -24,  //
    -24, 0,   12,  24,  24,  12,  0,   -24,  //
    -36, -12, 0,   12,  12,  0,   -12, -36,  //
    -48, -24, -12, 0,   0,   -12, -24, -48,  //
    -72, -48, -36, -24, -24, -36, -48, -72,  //
});

// The squares the patterns look at, named from White's side.
constexpr int A1 = 0, B1 = 1, C1 = 2, F1 = 5, G1 = 6, H1 = 7, A2 = 8, D2 = 11, E2 = 12, H2 = 15,
              D3 = 19, E3 = 20, B5 = 33, G5 = 38, A6 = 40, B6 = 41, G6 = 46, H6 = 47, A7 = 48,
              C7 = 50, F7 = 53, H7 = 55, B8 = 57, G8 = 62;

// The set of the given squares, named from White's side, as colour Us sees them.
template <Colour Us>
constexpr Bitboard relativeSet(std::initializer_list<int> squares) {
    Bitboard set = 0;
    for (int s : squares) set |= bit(relativeSquare(Us, s));
    return set;
}

// Weight of one attacker on the enemy king's zone.
constexpr int AttackWeight[7] = {0, 0, 1, 1, 2, 4, 0};

}  // namespace

template <Colour Us, int Type>
Score pieceTerms(const Position& pos, bool gate, KingAttack& attack) {
    static_assert(Type >= Knight && Type <= Queen);
    constexpr Colour Them = opposite(Us);
    constexpr Bitboard Seventh = Us == White ? RANK_7 : RANK_2;
    constexpr Bitboard Eighth = Us == White ? RANK_8 : RANK_1;
    const ColourBlock& own = pos.block<Us>();
    const ColourBlock& enemy = pos.block<Them>();
    const Bitboard all = pos.occupancy();
    const int theirKing = enemy.kingSquare;
    const Bitboard zone = KingAttacks[theirKing];
    // A heavy piece on the seventh matters while it holds the king on the last rank or attacks
    // pawns that are still at home.
    const bool seventhCounts = (bit(theirKing) & Eighth) || (enemy.bb[Pawn] & Seventh);

    Score score;
    for (Bitboard b = own.bb[Type]; b;) {
        const int s = popLsb(b);
        Bitboard a;
        if constexpr (Type == Knight)
            a = KnightAttacks[s];
        else if constexpr (Type == Bishop)
            a = BishopAttacks(s, all);
        else if constexpr (Type == Rook)
            a = RookAttacks(s, all);
        else
            a = RookAttacks(s, all) | BishopAttacks(s, all);
        const int mobility = popCount(a & ~own.occupied);

        if constexpr (Type == Knight) {
            score.mg += at<Us>(KnightSquareMg, s) + 4 * (mobility - 4);
            score.eg += at<Us>(KnightSquareEg, s) + 4 * (mobility - 4);
        } else if constexpr (Type == Bishop) {
            score.mg += at<Us>(BishopSquareMg, s) + 5 * (mobility - 6);
            score.eg += at<Us>(BishopSquareEg, s) + 5 * (mobility - 6);
        } else if constexpr (Type == Rook) {
            const int k = mobility - 7;
            score.mg += at<Us>(RookSquareMg, s) - 10 + 2 * k;
            score.eg += -10 + 4 * k;
            if (!(FileMask[s] & own.bb[Pawn])) {
                const int bonus = FileMask[s] & enemy.bb[Pawn] ? 10 : 20;
                score.mg += bonus;
                score.eg += bonus;
                if (gate) {
                    const int distance = FileDistance[s][theirKing];
                    if (distance == 0)
                        score.mg += 20;
                    else if (distance == 1)
                        score.mg += 10;
                }
            }
            if ((bit(s) & Seventh) && seventhCounts) {
                score.mg += 20;
                score.eg += 40;
            }
        } else {
            const int k = mobility - 13;
            score.mg += at<Us>(QueenSquareMg, s) + k;
            score.eg += at<Us>(QueenSquareEg, s) + 2 * k;
            if ((bit(s) & Seventh) && seventhCounts) {
                score.mg += 10;
                score.eg += 20;
            }
        }

        if (gate && (a & zone)) {
            attack.attackers++;
            attack.weight += AttackWeight[Type];
        }
    }
    return score;
}

template <Colour Us>
Score kingSquareTerms(const Position& pos) {
    const int k = pos.block<Us>().kingSquare;
    return {at<Us>(KingSquareMg, k), at<Us>(KingSquareEg, k)};
}

template <Colour Us>
Score patternTerms(const Position& pos) {
    constexpr Colour Them = opposite(Us);
    constexpr int OwnPawn = pieceCode(Us, Pawn), OwnBishop = pieceCode(Us, Bishop);
    constexpr int OwnRook = pieceCode(Us, Rook), OwnKing = pieceCode(Us, King);
    constexpr int EnemyPawn = pieceCode(Them, Pawn);
    // Black reads the squares rank-flipped.
    auto is = [&pos](int square, int code) {
        return pos.board[relativeSquare(Us, square)] == code;
    };
    auto taken = [&pos](int square) { return pos.board[relativeSquare(Us, square)] != 0; };

    // Every pattern needs a bishop or the king on one of these squares; most positions have
    // neither, and are done with two tests.
    constexpr Bitboard BishopSquares = relativeSet<Us>({A7, B8, H7, G8, A6, H6, C1, F1});
    constexpr Bitboard KingSquares = relativeSet<Us>({B1, C1, F1, G1});
    const ColourBlock& own = pos.block<Us>();

    Score score;
    if (own.bb[Bishop] & BishopSquares) {
        // A bishop that took a pawn on the edge and is shut in by the next pawn.
        if ((is(A7, OwnBishop) && is(B6, EnemyPawn)) || (is(B8, OwnBishop) && is(C7, EnemyPawn)))
            score.mg -= 100, score.eg -= 100;
        if ((is(H7, OwnBishop) && is(G6, EnemyPawn)) || (is(G8, OwnBishop) && is(F7, EnemyPawn)))
            score.mg -= 100, score.eg -= 100;
        if (is(A6, OwnBishop) && is(B5, EnemyPawn)) score.mg -= 50, score.eg -= 50;
        if (is(H6, OwnBishop) && is(G5, EnemyPawn)) score.mg -= 50, score.eg -= 50;
        // A centre pawn that cannot advance keeps its bishop at home.
        if (is(D2, OwnPawn) && taken(D3) && is(C1, OwnBishop)) score.mg -= 50;
        if (is(E2, OwnPawn) && taken(E3) && is(F1, OwnBishop)) score.mg -= 50;
    }
    // A Chess960 king still on its start square with a right to castle has not stepped aside.
    if ((bit(own.kingSquare) & KingSquares) &&
        !(pos.chess960 && pos.moved[pos.castlingKing[colourIndex(Us)]] == 0)) {
        // A king that stepped aside without castling locks its rook in the corner.
        if ((is(C1, OwnKing) || is(B1, OwnKing)) &&
            (is(A2, OwnRook) || is(A1, OwnRook) || is(B1, OwnRook)))
            score.mg -= 50;
        if ((is(F1, OwnKing) || is(G1, OwnKing)) &&
            (is(H2, OwnRook) || is(H1, OwnRook) || is(G1, OwnRook)))
            score.mg -= 50;
    }
    return score;
}

template Score pieceTerms<White, Knight>(const Position&, bool, KingAttack&);
template Score pieceTerms<Black, Knight>(const Position&, bool, KingAttack&);
template Score pieceTerms<White, Bishop>(const Position&, bool, KingAttack&);
template Score pieceTerms<Black, Bishop>(const Position&, bool, KingAttack&);
template Score pieceTerms<White, Rook>(const Position&, bool, KingAttack&);
template Score pieceTerms<Black, Rook>(const Position&, bool, KingAttack&);
template Score pieceTerms<White, Queen>(const Position&, bool, KingAttack&);
template Score pieceTerms<Black, Queen>(const Position&, bool, KingAttack&);
template Score kingSquareTerms<White>(const Position&);
template Score kingSquareTerms<Black>(const Position&);
template Score patternTerms<White>(const Position&);
template Score patternTerms<Black>(const Position&);

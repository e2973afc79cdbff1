#include "board/evasions.h"

#include "board/attacks.h"
#include "board/tables.h"

namespace {

// The line a checker attacks along, 0 for a pawn (its diagonal does not continue past the king).
inline int checkLine(const Position& pos, int checker, int k) {
    return typeOf(pos.board[checker]) == Pawn ? 0 : Direction[checker][k];
}

// King steps to squares the enemy does not attack, tested with the king still on its square, so
// steps that continue a checking line away from its slider are excluded explicitly.
template <Colour Us>
void kingSteps(const Position& pos, Move* moves, int& n, int da, int db) {
    constexpr Colour Them = opposite(Us);
    const int k = pos.block<Us>().kingSquare;
    Bitboard targets = KingAttacks[k] & ~pos.block<Us>().occupied;
    while (targets) {
        const int t = popLsb(targets);
        if (isAttackedBy<Them>(pos, t)) continue;
        if (Direction[k][t] == da || Direction[k][t] == db) continue;
        pushMove(moves, n, makeMoveWord(k, t, King, pos.board[t]));
    }
}

template <Colour Us>
void checkerCaptures(const Position& pos, Move* moves, int& n, int c) {
    constexpr Colour Them = opposite(Us);
    constexpr int Up = Us == White ? 8 : -8;
    constexpr Bitboard LastRank = Us == White ? RANK_8 : RANK_1;
    const ColourBlock& own = pos.block<Us>();
    const Bitboard occ = pos.occupancy();
    const int k = own.kingSquare;
    Bitboard candidates = (RookAttacks(c, occ) & (own.bb[Queen] | own.bb[Rook])) |
                          (BishopAttacks(c, occ) & (own.bb[Queen] | own.bb[Bishop])) |
                          (KnightAttacks[c] & own.bb[Knight]) |
                          (PawnAttacks[colourIndex(Them)][c] & own.bb[Pawn]) |
                          (KingAttacks[c] & bit(k));
    while (candidates) {
        const int u = popLsb(candidates);
        if (isPinned<Us>(pos, u)) continue;
        const int type = typeOf(pos.board[u]);
        if (type == King) continue;  // written with the king steps
        if (type == Pawn && (bit(c) & LastRank))
            pushPromotions(moves, n, u, c, pos.board[c]);
        else
            pushMove(moves, n, makeMoveWord(u, c, type, pos.board[c]));
    }
    const int e = pos.epSquare;
    if (e != NO_SQUARE && c == e - Up) {
        Bitboard capturers = PawnAttacks[colourIndex(Them)][e] & own.bb[Pawn];
        while (capturers) {
            const int u = popLsb(capturers);
            if (!isPinned<Us>(pos, u))
                pushMove(moves, n, makeMoveWord(u, e, Pawn, Them + Pawn, 0, 1));
        }
    }
}

template <Colour Us>
void interpositions(const Position& pos, Move* moves, int& n, int s) {
    constexpr int Up = Us == White ? 8 : -8;
    constexpr Bitboard LastRank = Us == White ? RANK_8 : RANK_1;
    constexpr Bitboard DoublePushRank = Us == White ? RANK_4 : RANK_5;
    constexpr Bitboard FirstRank = Us == White ? RANK_1 : RANK_8;
    constexpr int OwnPawn = Us + Pawn;
    const ColourBlock& own = pos.block<Us>();
    const Bitboard occ = pos.occupancy();
    Bitboard candidates = (RookAttacks(s, occ) & (own.bb[Queen] | own.bb[Rook])) |
                          (BishopAttacks(s, occ) & (own.bb[Queen] | own.bb[Bishop])) |
                          (KnightAttacks[s] & own.bb[Knight]);
    while (candidates) {
        const int u = popLsb(candidates);
        if (!isPinned<Us>(pos, u)) pushMove(moves, n, makeMoveWord(u, s, typeOf(pos.board[u])));
    }
    // No pawn can step onto its own first rank, and the square behind it is off the board.
    if (bit(s) & FirstRank) return;
    const int p = s - Up;
    if (pos.board[p] == OwnPawn) {
        if (isPinned<Us>(pos, p)) return;
        if (bit(s) & LastRank)
            pushPromotions(moves, n, p, s, 0);
        else
            pushMove(moves, n, makeMoveWord(p, s, Pawn));
    } else if (pos.board[p] == 0 && (bit(s) & DoublePushRank) && pos.board[s - 2 * Up] == OwnPawn &&
               !isPinned<Us>(pos, s - 2 * Up)) {
        pushMove(moves, n, makeMoveWord(s - 2 * Up, s, Pawn));
    }
}

}  // namespace

template <Colour Us>
int generateEvasions(const Position& pos, Move* moves) {
    constexpr Colour Them = opposite(Us);
    const int k = pos.block<Us>().kingSquare;
    const Bitboard checkers = attackersOf<Them>(pos, k);
    int n = 0;
    if (!checkers) return 0;
    if (moreThanOne(checkers)) {
        const int a = lsb(checkers), b = msb(checkers);
        kingSteps<Us>(pos, moves, n, checkLine(pos, a, k), checkLine(pos, b, k));
        return n;
    }
    const int c = lsb(checkers);
    const int dc = checkLine(pos, c, k);
    kingSteps<Us>(pos, moves, n, dc, dc);
    checkerCaptures<Us>(pos, moves, n, c);
    Bitboard between = Between[k][c];
    while (between) interpositions<Us>(pos, moves, n, popLsb(between));
    return n;
}

template int generateEvasions<White>(const Position&, Move*);
template int generateEvasions<Black>(const Position&, Move*);

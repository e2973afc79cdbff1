#include "board/validity.h"

#include "board/attacks.h"
#include "board/castling.h"
#include "board/movegen.h"
#include "board/tables.h"

template <Colour Us>
bool isPseudoLegal(const Position& pos, Move m) {
    constexpr Colour Them = opposite(Us);
    constexpr int Up = Us == White ? 8 : -8;
    constexpr int R1 = Us == White ? 0 : 56;
    const int f = moveFrom(m), t = moveTo(m), c = moveCaptured(m), type = moveType(m);
    const int* b = pos.board;
    switch (type) {
        case Pawn:
            if (b[f] != Us + Pawn) return false;
            // The flag and the step are checked too, so that a word from another position can
            // never be made as something it is not, nor read off the board.
            if (c) {
                if (b[t]) return b[t] == c && !moveSpecial(m);
                return moveSpecial(m) && t == pos.epSquare && c == Them + Pawn &&
                       b[t - Up] == Them + Pawn;
            }
            return b[t] == 0 && (t - f == Up || (t - f == 2 * Up && b[t - Up] == 0));
        case Knight:
            return b[f] == Us + Knight && c == b[t];
        case Bishop:
        case Rook:
        case Queen:
            return b[f] == Us + type && c == b[t] && !(Between[f][t] & pos.occupancy());
        case King:
            if (pos.chess960 && moveSpecial(m)) {
                // A castling word from another position names only a wing; this position's
                // king and rook decide.
                const int wing = castlingWing(t);
                return m == castlingMove960<Us>(pos, wing) && canCastle960<Us>(pos, wing);
            }
            if (b[f] != Us + King || c != b[t]) return false;
            // A word from a Chess960 game (the table outlives a change of variant) must not
            // pass as a standard castling or as a plain step.
            if (KingDistance[f][t] == 1) return !moveSpecial(m);
            if (!moveSpecial(m) || f != R1 + 4 || pos.moved[R1 + 4] != 0) return false;
            if (t == R1 + 2) {
                if (pos.moved[R1] || b[R1 + 1] || b[R1 + 2] || b[R1 + 3]) return false;
            } else if (t == R1 + 6) {
                if (pos.moved[R1 + 7] || b[R1 + 5] || b[R1 + 6]) return false;
            } else {
                return false;
            }
            {
                // The king's square, the square it crosses and the one it reaches.
                const int step = t == R1 + 2 ? -1 : 1;
                return !isAttackedBy<Them>(pos, R1 + 4) &&
                       !isAttackedBy<Them>(pos, R1 + 4 + step) &&
                       !isAttackedBy<Them>(pos, R1 + 4 + 2 * step);
            }
        default:
            return false;
    }
}

template <Colour Us>
bool isGenerated(const Position& pos, Move m) {
    Move moves[MAX_MOVES];
    const int n = isTactical(m) ? generateTactical<Us>(pos, moves) : generateQuiet<Us>(pos, moves);
    for (int i = 0; i < n; i++)
        if (moves[i] == m) return true;
    return false;
}

template bool isPseudoLegal<White>(const Position&, Move);
template bool isPseudoLegal<Black>(const Position&, Move);
template bool isGenerated<White>(const Position&, Move);
template bool isGenerated<Black>(const Position&, Move);

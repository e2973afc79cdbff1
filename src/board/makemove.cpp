#include "board/makemove.h"

#include "board/tables.h"

namespace {

inline void shift(Bitboard& set, int from, int to) { set = (set & ~bit(from)) | bit(to); }

// The rook's half of a Chess960 castling, made or unmade, and the occupancy of both pieces. King
// and rook may land on each other's squares or stay put, so the sets are rebuilt from the four
// squares rather than shifted. The caller has taken the king off its square and puts it on its
// new one after this.
template <Colour Us>
inline void castle960(Position& pos, ColourBlock& own, int kingFrom, int kingTo, bool make) {
    const int wing = castlingWing(kingTo);
    const int rookFrom = pos.castlingRook[colourIndex(Us)][wing];
    const int rookTo = castledRookSquare<Us>(wing);
    const Bitboard before = bit(kingFrom) | bit(rookFrom), after = bit(kingTo) | bit(rookTo);
    const Bitboard others = own.occupied & ~before & ~after;
    own.occupied = others | (make ? after : before);
    const int from = make ? rookFrom : rookTo, to = make ? rookTo : rookFrom;
    own.bb[Rook] = (own.bb[Rook] & ~bit(from)) | bit(to);
    pos.board[from] = 0;
    pos.board[to] = Us + Rook;
    if (make)
        pos.pieceKey ^= PieceSquareKeys[Us + Rook][rookFrom] ^ PieceSquareKeys[Us + Rook][rookTo];
}

}  // namespace

template <Colour Us>
void makeMove(Position& pos, UndoRecord& undo, Move m) {
    constexpr Colour Them = opposite(Us);
    constexpr int Back = Us == White ? -8 : 8;  // from the en-passant target to the captured pawn
    constexpr int Rank1 = Us == White ? 0 : 56;
    ColourBlock& own = pos.block<Us>();
    ColourBlock& enemy = pos.block<Them>();
    const int f = moveFrom(m), t = moveTo(m), type = moveType(m), c = moveCaptured(m);

    undo.epSquare = pos.epSquare;
    undo.halfmoveClock = pos.halfmoveClock;
    undo.lastCaptureSquare = pos.lastCaptureSquare;
    undo.pawnKey = pos.pawnKey;
    undo.pieceKey = pos.pieceKey;
    undo.materialKey = pos.materialKey;

    pos.sideToMove = Them;
    pos.epSquare = NO_SQUARE;
    pos.lastCaptureSquare = NO_SQUARE;
    pos.halfmoveClock++;
    pos.keyHistory[pos.gamePly++] = pos.pawnKey ^ pos.pieceKey;
    pos.pieceKey ^= SideKey;

    pos.board[f] = 0;
    shift(own.occupied, f, t);

    if (c) {
        pos.halfmoveClock = 0;
        pos.lastCaptureSquare = t;
        const int ctype = typeOf(c);
        if (ctype == Pawn) {
            const int x = moveSpecial(m) ? t + Back : t;
            enemy.occupied &= ~bit(x);
            enemy.bb[Pawn] &= ~bit(x);
            enemy.count[Pawn]--;
            pos.pawnKey ^= PieceSquareKeys[c][x];
            pos.materialKey ^= MaterialKeys[c][enemy.count[Pawn]];
            if (x != t) pos.board[x] = 0;
        } else if (ctype <= Queen) {
            enemy.occupied &= ~bit(t);
            enemy.bb[ctype] &= ~bit(t);
            enemy.count[ctype]--;
            enemy.pieceCount--;
            pos.pieceKey ^= PieceSquareKeys[c][t];
            pos.materialKey ^= MaterialKeys[c][enemy.count[ctype]];
            if (ctype == Rook) pos.moved[t]++;
        }
    }

    const int code = Us + type;
    switch (type) {
        case Pawn: {
            pos.halfmoveClock = 0;
            pos.pawnKey ^= PieceSquareKeys[code][f];
            own.bb[Pawn] &= ~bit(f);
            if (const int p = movePromotion(m)) {
                own.count[Pawn]--;
                own.pieceCount++;
                pos.lastCaptureSquare = t;
                pos.materialKey ^= MaterialKeys[code][own.count[Pawn]];
                const int promoted = Us + p;
                pos.pieceKey ^= PieceSquareKeys[promoted][t];
                pos.materialKey ^= MaterialKeys[promoted][own.count[p]];
                own.bb[p] |= bit(t);
                own.count[p]++;
                pos.board[t] = promoted;
            } else {
                pos.pawnKey ^= PieceSquareKeys[code][t];
                own.bb[Pawn] |= bit(t);
                pos.board[t] = code;
                // The en-passant key is added only when a capture is really possible.
                if (t - f == 2 * -Back &&
                    (PawnAttacks[colourIndex(Us)][f - Back] & enemy.bb[Pawn])) {
                    pos.pieceKey ^= EnPassantKeys[f - Back];
                    pos.epSquare = f - Back;
                }
            }
            break;
        }
        case Knight:
        case Bishop:
        case Rook:
        case Queen:
            pos.pieceKey ^= PieceSquareKeys[code][f] ^ PieceSquareKeys[code][t];
            shift(own.bb[type], f, t);
            pos.board[t] = code;
            if (type == Rook) pos.moved[f]++;
            break;
        case King:
            pos.pieceKey ^= PieceSquareKeys[code][f] ^ PieceSquareKeys[code][t];
            if (moveSpecial(m) && pos.chess960) {
                castle960<Us>(pos, own, f, t, true);
            } else if (moveSpecial(m)) {
                const int rookFrom = t == Rank1 + 6 ? Rank1 + 7 : Rank1;
                const int rookTo = t == Rank1 + 6 ? Rank1 + 5 : Rank1 + 3;
                pos.pieceKey ^=
                    PieceSquareKeys[Us + Rook][rookFrom] ^ PieceSquareKeys[Us + Rook][rookTo];
                shift(own.occupied, rookFrom, rookTo);
                shift(own.bb[Rook], rookFrom, rookTo);
                pos.board[rookFrom] = 0;
                pos.board[rookTo] = Us + Rook;
            }
            own.kingSquare = t;
            pos.board[t] = code;
            pos.moved[f]++;
            break;
    }
}

template <Colour Us>
void unmakeMove(Position& pos, const UndoRecord& undo, Move m) {
    constexpr Colour Them = opposite(Us);
    constexpr int Back = Us == White ? -8 : 8;
    constexpr int Rank1 = Us == White ? 0 : 56;
    ColourBlock& own = pos.block<Us>();
    ColourBlock& enemy = pos.block<Them>();
    const int f = moveFrom(m), t = moveTo(m), type = moveType(m), c = moveCaptured(m);

    pos.gamePly--;
    pos.sideToMove = Us;
    pos.epSquare = undo.epSquare;
    pos.halfmoveClock = undo.halfmoveClock;
    pos.lastCaptureSquare = undo.lastCaptureSquare;
    pos.pawnKey = undo.pawnKey;
    pos.pieceKey = undo.pieceKey;
    pos.materialKey = undo.materialKey;

    pos.board[t] = 0;
    shift(own.occupied, t, f);
    const int code = Us + type;
    switch (type) {
        case Pawn:
            if (const int p = movePromotion(m)) {
                own.bb[p] &= ~bit(t);
                own.count[p]--;
                own.count[Pawn]++;
                own.pieceCount--;
                own.bb[Pawn] |= bit(f);
            } else {
                shift(own.bb[Pawn], t, f);
            }
            pos.board[f] = code;
            break;
        case Knight:
        case Bishop:
        case Rook:
        case Queen:
            shift(own.bb[type], t, f);
            if (type == Rook) pos.moved[f]--;
            pos.board[f] = code;
            break;
        case King:
            if (moveSpecial(m) && pos.chess960) {
                castle960<Us>(pos, own, f, t, false);
            } else if (moveSpecial(m)) {
                const int rookFrom = t == Rank1 + 6 ? Rank1 + 7 : Rank1;
                const int rookTo = t == Rank1 + 6 ? Rank1 + 5 : Rank1 + 3;
                shift(own.occupied, rookTo, rookFrom);
                shift(own.bb[Rook], rookTo, rookFrom);
                pos.board[rookTo] = 0;
                pos.board[rookFrom] = Us + Rook;
            }
            own.kingSquare = f;
            pos.board[f] = code;
            pos.moved[f]--;
            break;
    }

    if (c && typeOf(c) <= Queen) {
        const int ctype = typeOf(c);
        const int x = (ctype == Pawn && moveSpecial(m)) ? t + Back : t;
        enemy.occupied |= bit(x);
        enemy.bb[ctype] |= bit(x);
        enemy.count[ctype]++;
        if (ctype != Pawn) enemy.pieceCount++;
        pos.board[x] = c;
        if (ctype == Rook) pos.moved[t]--;
    }
}

template void makeMove<White>(Position&, UndoRecord&, Move);
template void makeMove<Black>(Position&, UndoRecord&, Move);
template void unmakeMove<White>(Position&, const UndoRecord&, Move);
template void unmakeMove<Black>(Position&, const UndoRecord&, Move);

#include "board/notation.h"

#include <algorithm>
#include <cstdio>

#include "board/attacks.h"
#include "board/legal.h"
#include "board/tables.h"

namespace {

constexpr char PieceLetters[] = "PNBRQKpnbrqk";
constexpr int PieceCodes[12] = {9, 10, 11, 12, 13, 14, 17, 18, 19, 20, 21, 22};
constexpr char PromotionLetter[8] = {'?', '?', 'n', 'b', 'r', 'q', '?', '?'};

int pieceOfLetter(char c) {
    for (int i = 0; i < 12; i++)
        if (PieceLetters[i] == c) return PieceCodes[i];
    return 0;
}

// Fills board from the placement field, square by square from a8; false unless the field names
// exactly eight ranks of eight squares. Nothing is written outside the board.
bool readPlacement(Position& pos, const char* placement) {
    int rank = 7, file = 0;
    for (const char* p = placement; *p; p++) {
        const char c = *p;
        if (c == '/') {
            if (file != 8 || rank == 0) return false;
            rank--;
            file = 0;
        } else if (c >= '1' && c <= '8') {
            file += c - '0';
            if (file > 8) return false;
        } else if (const int code = pieceOfLetter(c)) {
            if (file >= 8) return false;
            pos.board[8 * rank + file++] = code;
        }
    }
    return rank == 0 && file == 8;
}

template <Colour Us>
bool countsPlayable(const Position& pos) {
    const ColourBlock& b = pos.block<Us>();
    if (popCount(b.occupied &
                 ~(b.bb[Pawn] | b.bb[Knight] | b.bb[Bishop] | b.bb[Rook] | b.bb[Queen])) != 1)
        return false;
    for (int type = Pawn; type <= Queen; type++)
        if (b.count[type] > 15) return false;
    return !(b.bb[Pawn] & (RANK_1 | RANK_8));
}

// Legal play never leaves more than two pieces giving check, and the evasion generator rules out
// the king's retreat along two checking lines only.
template <Colour Us>
bool checkersPlayable(const Position& pos) {
    constexpr Colour Them = opposite(Us);
    return popCount(attackersOf<Them>(pos, pos.block<Us>().kingSquare)) <= 2;
}

// An en-passant square is kept only when a double push could have made it: on the sixth rank of
// the side to move, the pushed enemy pawn in front of it, the square and the one behind it empty,
// and the side to move not in check with the pawn back on its start square (the push would then
// have been made with our king attacked). The test moves the pawn back and forth on pos, so the
// board and its derived state end as they began.
template <Colour Us>
int realEnPassantSquare(Position& pos, int ep) {
    constexpr Colour Them = opposite(Us);
    constexpr int Rank6 = Us == White ? 5 : 2;
    constexpr int Down = Us == White ? -8 : 8;
    if (ep >= 64 || rankOf(ep) != Rank6) return NO_SQUARE;
    if (pos.board[ep + Down] != pieceCode(Them, Pawn)) return NO_SQUARE;
    if (pos.board[ep] || pos.board[ep - Down]) return NO_SQUARE;
    pos.board[ep - Down] = pos.board[ep + Down];
    pos.board[ep + Down] = 0;
    setUpPosition(pos);
    const bool checkedBefore = isAttackedBy<Them>(pos, pos.block<Us>().kingSquare);
    pos.board[ep + Down] = pos.board[ep - Down];
    pos.board[ep - Down] = 0;
    setUpPosition(pos);
    return checkedBefore ? NO_SQUARE : ep;
}

// A castling letter counts only with its king and rook at home.
void readCastling(Position& pos, const char* castling) {
    struct Right {
        char letter;
        int king, rook, kingCode, rookCode;
    };
    static constexpr Right Rights[4] = {
        {'K', 4, 7, 14, 12}, {'Q', 4, 0, 14, 12}, {'k', 60, 63, 22, 20}, {'q', 60, 56, 22, 20}};
    for (const char* p = castling; *p; p++)
        for (const Right& r : Rights)
            if (*p == r.letter && pos.board[r.king] == r.kingCode &&
                pos.board[r.rook] == r.rookCode)
                pos.moved[r.king] = pos.moved[r.rook] = 0;
}

// Chess960: K and Q grant the outermost rook on that wing, a file letter the rook on that file;
// a letter counts only with the king on the first rank and a rook of its colour on that side.
template <Colour Us>
void readCastling960(Position& pos, char letter) {
    constexpr int R1 = relativeSquare(Us, 0);
    constexpr int Case = Us == White ? 0 : 'a' - 'A';
    int king = NO_SQUARE;
    for (int s = R1; s < R1 + 8; s++)
        if (pos.board[s] == Us + King) king = s;
    if (king == NO_SQUARE) return;
    int rook = NO_SQUARE;
    if (letter == 'K' + Case) {
        for (int s = king + 1; s < R1 + 8; s++)
            if (pos.board[s] == Us + Rook) rook = s;
    } else if (letter == 'Q' + Case) {
        for (int s = king - 1; s >= R1; s--)
            if (pos.board[s] == Us + Rook) rook = s;
    } else if (letter >= 'A' + Case && letter <= 'H' + Case) {
        const int s = R1 + letter - ('A' + Case);
        if (pos.board[s] == Us + Rook) rook = s;
    }
    if (rook == NO_SQUARE) return;
    pos.castlingKing[colourIndex(Us)] = king;
    pos.castlingRook[colourIndex(Us)][rook > king ? KING_SIDE : QUEEN_SIDE] = rook;
    pos.moved[king] = pos.moved[rook] = 0;
}

void readCastling960(Position& pos, const char* castling) {
    for (int c = 0; c < 2; c++)
        pos.castlingRook[c][KING_SIDE] = pos.castlingRook[c][QUEEN_SIDE] = NO_SQUARE;
    for (const char* p = castling; *p; p++) {
        if (*p >= 'A' && *p <= 'Z') readCastling960<White>(pos, *p);
        if (*p >= 'a' && *p <= 'z') readCastling960<Black>(pos, *p);
    }
}

int readEnPassant(const char* enPassant) {
    int ep = NO_SQUARE;
    for (const char* p = enPassant; *p; p++) {
        if (*p == '-')
            ep = NO_SQUARE;
        else if (*p >= 'a' && *p <= 'h')
            ep = 16 + (*p - 'a');
        // "6" moves a third-rank square to the sixth; on its own it names nothing.
        else if (*p == '6' && ep >= 16 && ep < 24)
            ep += 24;
    }
    return ep;
}

// The square a move's text names as its target: in Chess960 a castling is written as the king
// taking its own rook.
int textTarget(const Position& pos, Move m) {
    if (!pos.chess960 || !isKingMove(m) || !moveSpecial(m)) return moveTo(m);
    const int rook = pos.castlingRook[rankOf(moveFrom(m)) == 0 ? 0 : 1][castlingWing(moveTo(m))];
    return rook == NO_SQUARE ? moveTo(m) : rook;
}

int readHalfmoveClock(const char* text) {
    if (!text) return 0;
    int n = 0;
    for (; *text >= '0' && *text <= '9'; text++)
        n = std::min(n * 10 + (*text - '0'), MAX_HALFMOVE_CLOCK);
    // Anything but digits is garbage, and garbage counts nothing.
    return *text == '\0' ? n : 0;
}

}  // namespace

bool readFen(Position& pos, const char* placement, const char* side, const char* castling,
             const char* enPassant, const char* halfmoves, bool chess960) {
    static Position scratch;
    for (int s = 0; s < 64; s++) {
        scratch.board[s] = 0;
        scratch.moved[s] = 1;
    }
    if (!readPlacement(scratch, placement)) return false;
    scratch.sideToMove = side[0] == 'w' ? White : side[0] == 'b' ? Black : pos.sideToMove;
    setStandardCastling(scratch);
    if (chess960)
        readCastling960(scratch, castling);
    else
        readCastling(scratch, castling);
    scratch.halfmoveClock = 0;
    scratch.lastCaptureSquare = NO_SQUARE;
    scratch.gamePly = 0;
    scratch.epSquare = NO_SQUARE;
    setUpPosition(scratch);

    if (!countsPlayable<White>(scratch) || !countsPlayable<Black>(scratch)) return false;
    // With the side not to move in check, a generator would offer the king capture.
    const bool opponentInCheck = scratch.sideToMove == White
                                     ? isAttackedBy<White>(scratch, scratch.side[1].kingSquare)
                                     : isAttackedBy<Black>(scratch, scratch.side[0].kingSquare);
    if (opponentInCheck) return false;
    if (!(scratch.sideToMove == White ? checkersPlayable<White>(scratch)
                                      : checkersPlayable<Black>(scratch)))
        return false;

    const int ep = readEnPassant(enPassant);
    scratch.epSquare = scratch.sideToMove == White ? realEnPassantSquare<White>(scratch, ep)
                                                   : realEnPassantSquare<Black>(scratch, ep);

    for (int s = 0; s < 64; s++) {
        pos.board[s] = scratch.board[s];
        pos.moved[s] = scratch.moved[s];
    }
    pos.chess960 = chess960;
    for (int c = 0; c < 2; c++) {
        pos.castlingKing[c] = scratch.castlingKing[c];
        pos.castlingRook[c][KING_SIDE] = scratch.castlingRook[c][KING_SIDE];
        pos.castlingRook[c][QUEEN_SIDE] = scratch.castlingRook[c][QUEEN_SIDE];
    }
    pos.sideToMove = scratch.sideToMove;
    pos.epSquare = scratch.epSquare;
    pos.halfmoveClock = readHalfmoveClock(halfmoves);
    pos.lastCaptureSquare = NO_SQUARE;
    pos.gamePly = 0;
    setUpPosition(pos);
    return true;
}

bool readFenText(Position& pos, const char* fen, bool chess960) {
    char fields[4][100];
    if (std::sscanf(fen, "%99s %99s %99s %99s", fields[0], fields[1], fields[2], fields[3]) != 4)
        return false;
    return readFen(pos, fields[0], fields[1], fields[2], fields[3], nullptr, chess960);
}

namespace {

// The castling letter of a colour's rook on a wing: K or Q (lower case for Black) unless another
// rook of that colour stands further out on the first rank, then the rook's file.
template <Colour Us>
char castlingLetter(const Position& pos, int wing) {
    constexpr char Case = Us == White ? 0 : 'a' - 'A';
    const int rook = pos.castlingRook[colourIndex(Us)][wing];
    if (!pos.chess960) return char((wing == KING_SIDE ? 'K' : 'Q') + Case);
    const int step = wing == KING_SIDE ? 1 : -1;
    for (int s = rook + step; s >= 0 && s < 64 && rankOf(s) == rankOf(rook); s += step)
        if (pos.board[s] == Us + Rook) return char('A' + fileOf(rook) + Case);
    return char((wing == KING_SIDE ? 'K' : 'Q') + Case);
}

template <Colour Us>
char* writeCastling(const Position& pos, char* out) {
    for (int wing : {KING_SIDE, QUEEN_SIDE})
        if (castlingRight(pos, colourIndex(Us), wing)) *out++ = castlingLetter<Us>(pos, wing);
    return out;
}

}  // namespace

char pieceLetter(int code) {
    for (int i = 0; i < 12; i++)
        if (PieceCodes[i] == code) return PieceLetters[i];
    return ' ';
}

void writeFen(const Position& pos, int fullmove, char* buffer) {
    char* out = buffer;
    for (int rank = 7; rank >= 0; rank--) {
        int empty = 0;
        for (int file = 0; file < 8; file++) {
            const int code = pos.board[8 * rank + file];
            if (!code) {
                empty++;
                continue;
            }
            if (empty) *out++ = char('0' + empty);
            empty = 0;
            *out++ = pieceLetter(code);
        }
        if (empty) *out++ = char('0' + empty);
        if (rank) *out++ = '/';
    }
    *out++ = ' ';
    *out++ = pos.sideToMove == White ? 'w' : 'b';
    *out++ = ' ';
    char* castling = out;
    out = writeCastling<White>(pos, out);
    out = writeCastling<Black>(pos, out);
    if (out == castling) *out++ = '-';
    *out++ = ' ';
    if (pos.epSquare == NO_SQUARE) {
        *out++ = '-';
    } else {
        *out++ = char('a' + fileOf(pos.epSquare));
        *out++ = char('1' + rankOf(pos.epSquare));
    }
    std::snprintf(out, size_t(FEN_SIZE - (out - buffer)), " %d %d", pos.halfmoveClock, fullmove);
}

Move textToMove(Position& pos, const char* text) {
    setUpPosition(pos);
    Move legal[MAX_MOVES];
    const int n = generateLegal(pos, legal);
    for (int i = 0; i < n; i++) {
        const Move m = legal[i];
        const int f = moveFrom(m), t = textTarget(pos, m);
        // Comparing in order stops at the text's NUL, so a short text is never read past.
        if (text[0] != 'a' + FileOf[f] || text[1] != '1' + RankOf[f] ||
            text[2] != 'a' + FileOf[t] || text[3] != '1' + RankOf[t])
            continue;
        const int promotion = movePromotion(m);
        if (!promotion || text[4] == PromotionLetter[promotion]) return m;
    }
    return NO_MOVE;
}

namespace {

void writeMove(Move m, int target, char* buffer) {
    const int f = moveFrom(m);
    buffer[0] = char('a' + FileOf[f]);
    buffer[1] = char('1' + RankOf[f]);
    buffer[2] = char('a' + FileOf[target]);
    buffer[3] = char('1' + RankOf[target]);
    int n = 4;
    if (const int p = movePromotion(m)) buffer[n++] = PromotionLetter[p];
    buffer[n] = '\0';
}

}  // namespace

void moveToText(Move m, char* buffer, const Position* pos) {
    writeMove(m, pos ? textTarget(*pos, m) : moveTo(m), buffer);
}

void pvToText(int count, const Move* moves, char* buffer, const Position* pos) {
    char* out = buffer;
    for (int i = 0; i < count; i++) {
        if (i) *out++ = ' ';
        moveToText(moves[i], out, pos);
        while (*out) out++;
    }
    *out = '\0';
}

#include "board/position.h"

#include <cstring>

uint64_t PieceSquareKeys[32][64];
uint64_t EnPassantKeys[64];
uint64_t SideKey;
uint64_t MaterialKeys[32][64];

namespace {

uint32_t keyState = 1;

uint32_t draw() {
    keyState = keyState * 214013u + 2531011u;
    return (keyState >> 16) & 0x7fff;
}

uint64_t keyRandom() {
    uint64_t key = 0;
    for (int i = 0; i < 16; i++) key |= uint64_t(draw() & 15) << (4 * i);
    return key;
}

}  // namespace

void buildKeys() {
    keyState = 1;
    std::memset(PieceSquareKeys, 0, sizeof PieceSquareKeys);
    std::memset(MaterialKeys, 0, sizeof MaterialKeys);
    for (int s = 0; s < 64; s++) {
        for (int colour : {White, Black})
            for (int type = Pawn; type <= King; type++)
                PieceSquareKeys[colour + type][s] = keyRandom();
        EnPassantKeys[s] = keyRandom();
    }
    SideKey = keyRandom();
    for (int n = 0; n < MATERIAL_KEY_COUNTS; n++)
        for (int colour : {White, Black})
            for (int type = Pawn; type <= Queen; type++)
                MaterialKeys[colour + type][n] = keyRandom();
}

void setUpPosition(Position& pos) {
    pos.pawnKey = pos.pieceKey = pos.materialKey = 0;
    for (ColourBlock& b : pos.side) {
        std::memset(&b, 0, sizeof b);
        b.kingSquare = NO_SQUARE;
    }
    for (int s = 0; s < 64; s++) {
        int c = pos.board[s];
        if (!((c >= White + Pawn && c <= White + King) || (c >= Black + Pawn && c <= Black + King)))
            continue;
        int type = typeOf(c);
        ColourBlock& b = pos.side[colourIndex(c)];
        b.occupied |= bit(s);
        if (type == King) {
            pos.pieceKey ^= PieceSquareKeys[c][s];
            b.kingSquare = s;
            continue;
        }
        pos.materialKey ^= MaterialKeys[c][b.count[type]];
        b.count[type]++;
        b.bb[type] |= bit(s);
        if (type == Pawn) {
            pos.pawnKey ^= PieceSquareKeys[c][s];
        } else {
            pos.pieceKey ^= PieceSquareKeys[c][s];
            b.pieceCount++;
        }
    }
    if (pos.sideToMove == White) pos.pieceKey ^= SideKey;
}

void setStandardCastling(Position& pos) {
    for (int c = 0; c < 2; c++) {
        pos.castlingKing[c] = 56 * c + 4;
        pos.castlingRook[c][KING_SIDE] = 56 * c + 7;
        pos.castlingRook[c][QUEEN_SIDE] = 56 * c;
    }
}

void setStartPosition(Position& pos, bool chess960) {
    static const int backRank[8] = {Rook, Knight, Bishop, Queen, King, Bishop, Knight, Rook};
    for (int s = 0; s < 64; s++) {
        pos.board[s] = 0;
        pos.moved[s] = 0;
    }
    for (int f = 0; f < 8; f++) {
        pos.board[f] = White + backRank[f];
        pos.board[8 + f] = White + Pawn;
        pos.board[48 + f] = Black + Pawn;
        pos.board[56 + f] = Black + backRank[f];
    }
    pos.sideToMove = White;
    pos.epSquare = NO_SQUARE;
    pos.halfmoveClock = 0;
    pos.lastCaptureSquare = NO_SQUARE;
    pos.gamePly = 0;
    pos.chess960 = chess960;
    setStandardCastling(pos);
    setUpPosition(pos);
}

void trimKeyHistory(Position& pos) {
    constexpr int Limit = 600, Keep = 100;
    if (pos.gamePly <= Limit) return;
    std::memmove(pos.keyHistory, pos.keyHistory + pos.gamePly - Keep, Keep * sizeof(uint64_t));
    pos.gamePly = Keep;
}

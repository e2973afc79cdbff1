// Shared helpers for the board tests: hand-built positions, whole-record comparison and an
// invariant check that does not rely on setUpPosition.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "board/position.h"

namespace board_test {

constexpr int sq(const char* name) { return (name[0] - 'a') + 8 * (name[1] - '1'); }

inline int codeOfLetter(char ch) {
    const char* letters = "pnbrqk";
    for (int t = 0; t < 6; t++) {
        if (ch == letters[t]) return Black + t + 1;
        if (ch == letters[t] - 'a' + 'A') return White + t + 1;
    }
    return -1;
}

// A position from a piece placement written rank 8 first ("4k3/8/.../4K3") with the castling
// rights named ("KQkq" letters; counters 1 elsewhere), no en-passant square, clocks and history
// empty.
inline Position build(const std::string& placement, Colour toMove = White,
                      const std::string& castling = "-") {
    Position pos;
    std::memset(&pos, 0, sizeof pos);
    int rank = 7, file = 0;
    for (char ch : placement) {
        if (ch == '/') {
            rank--;
            file = 0;
        } else if (ch >= '1' && ch <= '8') {
            file += ch - '0';
        } else {
            pos.board[rank * 8 + file++] = codeOfLetter(ch);
        }
    }
    setStandardCastling(pos);
    for (int& m : pos.moved) m = 1;
    for (char ch : castling) {
        const int home = ch == 'K' || ch == 'Q' ? 0 : 56;
        if (ch == 'K' || ch == 'k') pos.moved[home + 4] = pos.moved[home + 7] = 0;
        if (ch == 'Q' || ch == 'q') pos.moved[home + 4] = pos.moved[home] = 0;
    }
    pos.sideToMove = toMove;
    pos.epSquare = NO_SQUARE;
    pos.halfmoveClock = 0;
    pos.lastCaptureSquare = NO_SQUARE;
    pos.gamePly = 0;
    setUpPosition(pos);
    return pos;
}

static_assert(sizeof(ColourBlock) == 8 * 4 + 7 * 8, "ColourBlock is compared bytewise");

// Every field of the record, the key history only below gamePly (entries above it are scratch).
inline testing::AssertionResult samePosition(const Position& a, const Position& b) {
    auto fail = [](const char* what, int index = -1) {
        auto r = testing::AssertionFailure() << "differs in " << what;
        if (index >= 0) r << "[" << index << "]";
        return r;
    };
    for (int s = 0; s < 64; s++) {
        if (a.board[s] != b.board[s]) return fail("board", s);
        if (a.moved[s] != b.moved[s]) return fail("moved", s);
    }
    if (a.sideToMove != b.sideToMove) return fail("sideToMove");
    if (a.epSquare != b.epSquare) return fail("epSquare");
    if (a.halfmoveClock != b.halfmoveClock) return fail("halfmoveClock");
    if (a.lastCaptureSquare != b.lastCaptureSquare) return fail("lastCaptureSquare");
    if (a.gamePly != b.gamePly) return fail("gamePly");
    if (a.chess960 != b.chess960) return fail("chess960");
    for (int c = 0; c < 2; c++) {
        if (a.castlingKing[c] != b.castlingKing[c]) return fail("castlingKing", c);
        for (int wing : {KING_SIDE, QUEEN_SIDE})
            if (a.castlingRook[c][wing] != b.castlingRook[c][wing]) return fail("castlingRook", c);
    }
    for (int i = 0; i < a.gamePly && i < KEY_HISTORY_SIZE; i++)
        if (a.keyHistory[i] != b.keyHistory[i]) return fail("keyHistory", i);
    if (a.pawnKey != b.pawnKey) return fail("pawnKey");
    if (a.pieceKey != b.pieceKey) return fail("pieceKey");
    if (a.materialKey != b.materialKey) return fail("materialKey");
    for (int c = 0; c < 2; c++)
        if (std::memcmp(&a.side[c], &b.side[c], sizeof(ColourBlock)) != 0)
            return fail("colour block", c);
    return testing::AssertionSuccess();
}

// Board, bitboards and counts agree with each other (keys are checked separately).
inline testing::AssertionResult invariantsHold(const Position& pos) {
    const ColourBlock* blocks = pos.side;
    if (blocks[0].occupied & blocks[1].occupied)
        return testing::AssertionFailure() << "the colours' occupied sets overlap";
    for (int c = 0; c < 2; c++) {
        const ColourBlock& b = blocks[c];
        Bitboard all = b.kingSquare == NO_SQUARE ? 0 : bit(b.kingSquare);
        int pieces = 0;
        for (int t = Pawn; t <= Queen; t++) {
            if (all & b.bb[t]) return testing::AssertionFailure() << "piece sets overlap";
            all |= b.bb[t];
            if (b.count[t] != popCount(b.bb[t]))
                return testing::AssertionFailure() << "count of type " << t << " colour " << c;
            if (t != Pawn) pieces += b.count[t];
        }
        if (b.count[0] != 0 || b.bb[0] != 0)
            return testing::AssertionFailure() << "unused slot 0 written, colour " << c;
        if (all != b.occupied) return testing::AssertionFailure() << "occupied of colour " << c;
        if (pieces != b.pieceCount) return testing::AssertionFailure() << "pieceCount " << c;
    }
    for (int s = 0; s < 64; s++) {
        const int code = pos.board[s];
        const bool white = blocks[0].occupied & bit(s), black = blocks[1].occupied & bit(s);
        if (code == 0) {
            if (white || black)
                return testing::AssertionFailure() << "empty square " << s << " set";
            continue;
        }
        const int type = typeOf(code), colour = colourOf(code);
        if (type < Pawn || type > King || (colour != White && colour != Black))
            return testing::AssertionFailure() << "bad code " << code << " on " << s;
        const ColourBlock& b = blocks[colourIndex(colour)];
        if (!(b.occupied & bit(s)))
            return testing::AssertionFailure() << "square " << s << " missing from occupied";
        if (type == King ? b.kingSquare != s : !(b.bb[type] & bit(s)))
            return testing::AssertionFailure() << "square " << s << " missing from its set";
    }
    return testing::AssertionSuccess();
}

}  // namespace board_test

// The reference positions with their published leaf counts, and the tree walk the generator
// tests share: every check is run at every node of the legal tree of these positions.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "board/attacks.h"
#include "board/legal.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "board/position.h"

namespace board_test {

struct PerftPosition {
    const char* name;
    const char* fen;
    std::vector<uint64_t> counts;  // depth 1, 2, ... (run under the sanitizer too)
    struct {
        int depth;  // 0: none
        uint64_t count;
    } deep;         // release only
    int treeDepth;  // plies of the tree the node-by-node checks walk
    bool chess960 = false;
};

inline const std::vector<PerftPosition>& perftPositions() {
    static const std::vector<PerftPosition> positions = {
        {"start",
         "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -",
         {20, 400, 8902, 197281, 4865609},
         {6, 119060324},
         3},
        {"kiwipete",
         "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
         {48, 2039, 97862, 4085603},
         {5, 193690690},
         2},
        {"endgame",
         "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -",
         {14, 191, 2812, 43238, 674624},
         {6, 11030083},
         4},
        {"promotions",
         "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq -",
         {6, 264, 9467, 422333},
         {0, 0},
         3},
        {"promotionsMirrored",
         "r2q1rk1/pP1p2pp/Q4n2/bbp1p3/Np6/1B3NBn/pPPP1PPP/R3K2R b KQ -",
         {6, 264, 9467, 422333},
         {0, 0},
         3},
        {"discovered",
         "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ -",
         {44, 1486, 62379, 2103487},
         {5, 89941194},
         2},
        {"middlegame",
         "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - -",
         {46, 2079, 89890, 3894594},
         {0, 0},
         2},
        // Chess960, counted by another engine: rights by file letter and by K/Q, king and
        // rooks side by side, a rook on the king's or the other rook's destination, a rook
        // shielding its king from a queen on the first rank, different back ranks.
        {"960 middlegame",
         "bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w HFhf -",
         {21, 528, 12189, 326672},
         {5, 8146062},
         2,
         true},
        {"960 shield",
         "4k3/8/8/8/8/8/8/qRK4R w HB -",
         {16, 265, 5087, 106265},
         {5, 2181698},
         3,
         true},
        {"960 adjacent",
         "5rkr/8/8/8/8/8/8/RKR5 w ACfh -",
         {22, 442, 10206, 231664},
         {5, 5615476},
         3,
         true},
        {"960 two back ranks",
         "nrkbqrbn/pppppppp/8/8/8/8/PPPPPPPP/BQRKNRNB w FCfb -",
         {21, 378, 8724, 177920},
         {5, 4477803},
         2,
         true},
        {"960 outermost rooks",
         "2r1kr2/8/8/8/8/8/8/R3K2R w KQkq -",
         {22, 521, 12044, 282803},
         {5, 6683297},
         2,
         true},
    };
    return positions;
}

// The four FEN fields of text through readFen; false when it refuses them.
inline bool setFen(Position& pos, const std::string& fen, bool chess960 = false) {
    char fields[4][96];
    if (std::sscanf(fen.c_str(), "%95s %95s %95s %95s", fields[0], fields[1], fields[2],
                    fields[3]) != 4)
        return false;
    return readFen(pos, fields[0], fields[1], fields[2], fields[3], nullptr, chess960);
}

inline Position fromFen(const std::string& fen, bool chess960 = false) {
    Position pos;
    setStartPosition(pos);
    EXPECT_TRUE(setFen(pos, fen, chess960)) << fen;
    return pos;
}

// The same position with the board mirrored rank for rank and the colours exchanged: every count
// and every list must mirror, so the two colour instantiations are tested against each other.
inline Position mirrored(const Position& pos) {
    Position m = pos;
    for (int s = 0; s < 64; s++) {
        const int code = pos.board[s];
        m.board[s ^ 56] = code ? code ^ (White | Black) : 0;
        m.moved[s ^ 56] = pos.moved[s];
    }
    for (int c = 0; c < 2; c++) {
        m.castlingKing[c] = pos.castlingKing[1 - c] ^ 56;
        for (int wing : {KING_SIDE, QUEEN_SIDE}) {
            const int rook = pos.castlingRook[1 - c][wing];
            m.castlingRook[c][wing] = rook == NO_SQUARE ? NO_SQUARE : rook ^ 56;
        }
    }
    m.sideToMove = opposite(Colour(pos.sideToMove));
    m.epSquare = pos.epSquare == NO_SQUARE ? NO_SQUARE : pos.epSquare ^ 56;
    m.lastCaptureSquare = NO_SQUARE;
    m.halfmoveClock = 0;
    m.gamePly = 0;
    setUpPosition(m);
    return m;
}

inline Move mirroredMove(Move m) {
    const int c = moveCaptured(m);
    return makeMoveWord(moveFrom(m) ^ 56, moveTo(m) ^ 56, moveType(m), c ? c ^ (White | Black) : 0,
                        movePromotion(m), moveSpecial(m));
}

// 0 to 3 in the order promotions are written: queen (or no promotion), knight, rook, bishop.
inline int promotionOrder(Move m) {
    const int p = movePromotion(m);
    return p == Knight ? 1 : p == Rook ? 2 : p == Bishop ? 3 : 0;
}

inline std::string moveText(Move m) {
    char text[6];
    moveToText(m, text);
    return text;
}

inline std::string movesText(const std::vector<Move>& moves) {
    std::string out;
    for (Move m : moves) {
        if (!out.empty()) out += ' ';
        out += moveText(m);
    }
    return out;
}

inline std::vector<Move> listOf(int (*generate)(const Position&, Move*), const Position& pos) {
    Move moves[MAX_MOVES];
    const int n = generate(pos, moves);
    return std::vector<Move>(moves, moves + n);
}

inline std::vector<Move> legalMoves(Position& pos) {
    Move moves[MAX_MOVES];
    const int n = generateLegal(pos, moves);
    return std::vector<Move>(moves, moves + n);
}

// Visits every node of the legal tree from pos down to depth plies (pos itself included) and
// stops at the first node whose check fails, naming the line that leads to it.
template <class Check>
bool walkTree(Position& pos, int depth, Check& check, std::vector<Move>& line) {
    testing::AssertionResult result = check(pos);
    if (!result) {
        ADD_FAILURE() << result.message() << "\n  after: " << movesText(line);
        return false;
    }
    if (depth == 0) return true;
    for (Move m : legalMoves(pos)) {
        UndoRecord undo;
        makeMove(pos, undo, m);
        line.push_back(m);
        const bool ok = walkTree(pos, depth - 1, check, line);
        line.pop_back();
        unmakeMove(pos, undo, m);
        if (!ok) return false;
    }
    return true;
}

// Runs check at every node of each reference position's tree and of its mirror; returns the
// number of nodes visited.
template <class Check>
int checkEveryNode(Check check, int extraDepth = 0) {
    int nodes = 0;
    auto counted = [&](Position& pos) {
        nodes++;
        return check(pos);
    };
    for (const PerftPosition& p : perftPositions()) {
        Position pos = fromFen(p.fen, p.chess960);
        Position flipped = mirrored(pos);
        for (Position* root : {&pos, &flipped}) {
            std::vector<Move> line;
            if (!walkTree(*root, p.treeDepth + extraDepth, counted, line)) {
                ADD_FAILURE() << "in the tree of " << p.name
                              << (root == &flipped ? " mirrored" : "");
                return nodes;
            }
        }
    }
    return nodes;
}

}  // namespace board_test

// Position sources for the evaluation tests: random legal play from the start position and the
// main lines of well-known openings.
#pragma once

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "board/attacks.h"
#include "board/legal.h"
#include "board/makemove.h"
#include "board/notation.h"

namespace eval_test {

// Every position of `games` random games of up to maxPlies plies each, the start position
// included once per game. A fixed seed keeps the set the same on every run.
inline std::vector<Position> randomPlayPositions(int games, int maxPlies, uint32_t seed) {
    std::vector<Position> positions;
    std::mt19937 rng(seed);
    Position pos;
    for (int g = 0; g < games; g++) {
        setStartPosition(pos);
        positions.push_back(pos);
        for (int ply = 0; ply < maxPlies; ply++) {
            Move legal[MAX_MOVES];
            const int n = generateLegal(pos, legal);
            if (n == 0 || pos.halfmoveClock >= 100) break;
            UndoRecord undo;
            makeMove(pos, undo, legal[rng() % n]);
            positions.push_back(pos);
        }
    }
    return positions;
}

// Main lines of openings, in coordinate notation.
inline const char* const OpeningLines[] = {
    "e2e4 e7e5 g1f3 b8c6 f1b5 a7a6 b5a4 g8f6 e1g1 f8e7 f1e1 b7b5 a4b3 d7d6 c2c3 e8g8",
    "e2e4 c7c5 g1f3 d7d6 d2d4 c5d4 f3d4 g8f6 b1c3 a7a6 c1e3 e7e5 d4b3 c8e6 f2f3 f8e7 d1d2 e8g8 "
    "e1c1",
    "d2d4 d7d5 c2c4 e7e6 b1c3 g8f6 c1g5 f8e7 e2e3 e8g8 g1f3 b8d7 a1c1 c7c6 f1d3 d5c4 d3c4",
    "d2d4 g8f6 c2c4 g7g6 b1c3 f8g7 e2e4 d7d6 g1f3 e8g8 f1e2 e7e5 e1g1 b8c6 d4d5 c6e7",
    "e2e4 e7e6 d2d4 d7d5 b1c3 f8b4 e4e5 c7c5 a2a3 b4c3 b2c3 g8e7 d1g4 d8c7 g4g7 h8g8 g7h7 c5d4",
    "e2e4 c7c6 d2d4 d7d5 b1c3 d5e4 c3e4 c8f5 e4g3 f5g6 h2h4 h7h6 g1f3 b8d7 h4h5 g6h7 f1d3 h7d3 "
    "d1d3",
    "e2e4 e7e5 g1f3 b8c6 f1c4 f8c5 c2c3 g8f6 d2d4 e5d4 c3d4 c5b4 c1d2 b4d2 b1d2 d7d5 e4d5 f6d5",
    "c2c4 e7e5 b1c3 g8f6 g2g3 d7d5 c4d5 f6d5 f1g2 d5b6 g1f3 b8c6 e1g1 f8e7 d2d3 e8g8",
    "d2d4 f7f5 g2g3 g8f6 f1g2 e7e6 g1f3 f8e7 e1g1 e8g8 c2c4 d7d6 b1c3 d8e8",
    "e2e4 e7e5 g1f3 b8c6 d2d4 e5d4 f3d4 g8f6 d4c6 b7c6 e4e5 d8e7 d1e2 f6d5 c2c4 c8a6",
    "d2d4 d7d5 c2c4 c7c6 g1f3 g8f6 b1c3 d5c4 a2a4 c8f5 e2e3 e7e6 f1c4 f8b4 e1g1 e8g8 d1e2",
    "d2d4 g8f6 c2c4 g7g6 b1c3 d7d5 c4d5 f6d5 e2e4 d5c3 b2c3 f8g7 f1c4 c7c5 g1e2 b8c6 c1e3 e8g8 "
    "e1g1",
};

// Every position along every opening line, the start position included once.
inline std::vector<Position> openingPositions() {
    std::vector<Position> positions;
    Position pos;
    setStartPosition(pos);
    positions.push_back(pos);
    for (const char* line : OpeningLines) {
        setStartPosition(pos);
        for (const char* p = line; *p;) {
            char text[6] = {};
            int n = 0;
            while (*p && *p != ' ' && n < 5) text[n++] = *p++;
            while (*p == ' ') p++;
            const Move m = textToMove(pos, text);
            if (!m) {
                ADD_FAILURE() << "not a legal move: " << text << " in " << line;
                break;
            }
            UndoRecord undo;
            makeMove(pos, undo, m);
            positions.push_back(pos);
        }
    }
    return positions;
}

// The set as seen from the other side of the board.
inline Bitboard mirrored(Bitboard b) { return __builtin_bswap64(b); }

}  // namespace eval_test

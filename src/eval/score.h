// Middlegame and endgame score pairs, and the layout of the evaluation's square tables.
#pragma once

#include <array>

#include "board/types.h"

struct Score {
    int mg = 0;
    int eg = 0;
};

inline Score& operator+=(Score& a, Score b) {
    a.mg += b.mg;
    a.eg += b.eg;
    return a;
}
inline Score& operator-=(Score& a, Score b) {
    a.mg -= b.mg;
    a.eg -= b.eg;
    return a;
}
inline bool operator==(Score a, Score b) { return a.mg == b.mg && a.eg == b.eg; }

// Every term is computed from its own colour's point of view; White's is added, Black's taken off.
template <Colour Us>
inline void addFor(Score& total, Score term) {
    if constexpr (Us == White)
        total += term;
    else
        total -= term;
}

// White's values by square, a1 = 0. Black reads them rank-flipped, at s ^ 56.
using SquareTable = std::array<int, 64>;

// Tables are written as they are printed, rank 8 in the first row; this is the one place that
// turns that layout into square order.
constexpr SquareTable fromPrinted(const SquareTable& printed) {
    SquareTable table{};
    for (int s = 0; s < 64; s++) table[s] = printed[s ^ 56];
    return table;
}
// A table that depends on the rank only, given for ranks 1..8.
constexpr SquareTable byRank(const std::array<int, 8>& ranks) {
    SquareTable table{};
    for (int s = 0; s < 64; s++) table[s] = ranks[rankOf(s)];
    return table;
}
// A table that depends on the file only, given for files a..h.
constexpr SquareTable byFile(const std::array<int, 8>& files) {
    SquareTable table{};
    for (int s = 0; s < 64; s++) table[s] = files[fileOf(s)];
    return table;
}

// The entry for a piece of colour Us on s.
template <Colour Us>
constexpr int at(const SquareTable& table, int s) {
    return table[relativeSquare(Us, s)];
}

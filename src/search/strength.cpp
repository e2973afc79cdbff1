#include "search/strength.h"

#include <algorithm>
#include <cmath>

namespace {

// Ratings against Debian's stockfish 15.1 playing with UCI_LimitStrength at the same UCI_Elo, at
// 5+0.05. Between two rows the node budget grows geometrically, the margin and the lines shrink
// linearly. Near the top the margin hardly matters, while every extra line costs depth under the
// clock, so the lines narrow to one.
struct StrengthRow {
    int elo;
    double nodes;
    int margin;
    int lines;
};
// clang-format off
constexpr StrengthRow STRENGTH_TABLE[] = {
    // elo  nodes   margin lines
    {1350,    700,    91,    4},
    {1550,   2200,    53,    4},
    {1700,   5500,    33,    4},
    {1950,  60000,     8,    4},
    {2100, 320000,     0,    1},
};
// clang-format on

// A small generator whose whole state is one word: each draw is a pure function of the seed and
// the draws before it.
uint64_t nextRandom(uint64_t& state) {
    uint64_t z = (state += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

}  // namespace

StrengthPlan strengthPlan(int elo) {
    elo = std::clamp(elo, MIN_ELO, MAX_ELO);
    const StrengthRow* hi = STRENGTH_TABLE + 1;
    while (hi->elo < elo) hi++;
    const StrengthRow* lo = hi - 1;
    const double t = double(elo - lo->elo) / (hi->elo - lo->elo);
    StrengthPlan plan;
    plan.nodes = uint64_t(lo->nodes * std::pow(hi->nodes / lo->nodes, t));
    plan.margin = lo->margin + int(std::lround((hi->margin - lo->margin) * t));
    plan.lines = lo->lines + int(std::lround((hi->lines - lo->lines) * t));
    return plan;
}

int chooseLine(const int32_t* scores, int count, int margin, uint64_t seed) {
    // A mate is never given away, whatever the rating.
    if (count <= 1 || scores[0] > MATE_BOUND) return 0;
    uint64_t state = seed;
    const uint64_t spread = uint64_t(margin) + 1;
    int chosen = 0;
    int64_t bestValue = scores[0] + int64_t(nextRandom(state) % spread);
    // Every line within the margin of the best draws a bonus up to the margin; the largest sum
    // wins. A line far behind the best, or one that walks into a mate, never does.
    for (int i = 1; i < count; i++) {
        if (scores[i] < scores[0] - margin || scores[i] < -MATE_BOUND) break;
        const int64_t value = scores[i] + int64_t(nextRandom(state) % spread);
        if (value > bestValue) {
            bestValue = value;
            chosen = i;
        }
    }
    return chosen;
}

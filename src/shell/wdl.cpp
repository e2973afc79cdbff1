#include "shell/wdl.h"

#include <algorithm>
#include <cmath>

#include "search/tablebase.h"

namespace {

// W = 1 / (1 + exp((a - v) / b)) and L the same at -v, v the printed centipawns, a and b cubics
// (highest power first) of the move number clamped to 8..120 over 32. Fitted to 3,200 of the
// engine's own games by
//   python3 tools/wdl_fit.py tools/wdl/selfplay.pgn.xz
// which also fits the material left as the input instead: the move number predicted the held-out
// games slightly better.
constexpr double WDL_A[] = {-8.625643, 78.657662, -61.807750, 91.771296};
constexpr double WDL_B[] = {-8.280316, 73.608333, -182.037589, 255.390051};

double cubic(const double (&c)[4], double x) { return ((c[0] * x + c[1]) * x + c[2]) * x + c[3]; }

// The win permill of the mover at v centipawns.
int winPermill(double v, double a, double b) {
    return int(std::lround(1000.0 / (1.0 + std::exp((a - v) / b))));
}

}  // namespace

Wdl modelWdl(int centipawns, int moveNumber) {
    const double x = std::clamp(moveNumber, 8, 120) / 32.0;
    const double a = cubic(WDL_A, x), b = cubic(WDL_B, x);
    // Far beyond the fitted scores the odds are settled; the clamp keeps exp finite.
    const double v = std::clamp(centipawns, -4000, 4000);
    const int win = winPermill(v, a, b), loss = winPermill(-v, a, b);
    return {win, 1000 - win - loss, loss};
}

Wdl scoreWdl(int score, int moveNumber, bool rootInTables) {
    if (score > TABLE_WIN_BOUND) return {1000, 0, 0};  // a mate or a table win
    if (score < -TABLE_WIN_BOUND) return {0, 0, 1000};
    if (rootInTables) return {0, 1000, 0};
    return modelWdl(printedCentipawns(score), moveNumber);
}

int printedCentipawns(int score) {
    if (score > TABLE_WIN_BOUND) return TABLE_WIN_PRINTED - (TABLE_WIN - score);
    if (score < -TABLE_WIN_BOUND) return -TABLE_WIN_PRINTED + (TABLE_WIN + score);
    return score * 130 / 100;
}

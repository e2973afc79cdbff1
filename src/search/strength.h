// Playing below full strength: how a rating narrows the search, and which of its best root lines
// a limited search plays.
#pragma once

#include <cstdint>

#include "board/move.h"

// The ratings a limited search plays at. At the top the engine plays at full strength.
constexpr int MIN_ELO = 1350;
constexpr int MAX_ELO = 2100;

struct StrengthPlan {
    uint64_t nodes;  // the search's node budget; it never ends before the first iteration
    int lines;       // root lines searched with exact scores, to choose among
    int margin;      // how far below the best (internal units) a chosen line may score
};

StrengthPlan strengthPlan(int elo);

// The index of the line a limited search plays, given the lines' scores best first. The seed
// decides the draw: the same seed, the same choice. A mate for the mover is always played, a
// line that is mated never chosen over one that is not.
int chooseLine(const int32_t* scores, int count, int margin, uint64_t seed);

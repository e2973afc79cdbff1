// Draw rules: the fifty-move rule, repetition, and material that cannot win.
#pragma once

#include "board/position.h"

// Called at a clock of 100 or more. A mate given on the hundredth half-move still counts, so
// at exactly 100 the rule holds only when the side to move is not mated.
bool isFiftyMoveDraw(const Position& pos);

// The position occurred 4, 6, 8 ... plies earlier, within the halfmove clock and within what
// the key history still holds (a long game's history is trimmed).
inline bool isRepetition(const Position& pos) {
    const uint64_t key = pos.hashKey();
    const int reach = pos.halfmoveClock < pos.gamePly ? pos.halfmoveClock : pos.gamePly;
    for (int i = 4; i <= reach; i += 2)
        if (pos.keyHistory[pos.gamePly - i] == key) return true;
    return false;
}

// Bit White (8): White can still win; bit Black (16): Black can. For positions where each side
// has at most two pieces besides king and pawns.
int winningChances(const Position& pos);

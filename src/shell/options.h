// The engine's options: one table that uci prints and setoption applies.
#pragma once

#include <cstdint>

// The values the rest of the shell reads; setoption is the only writer.
// Their defaults are the option table's, set by applyDefaultOptions.
// Milliseconds kept back for what happens between the engine's decision and the GUI reading it:
// go to bestmove under movetime took up to 9 ms on a busy machine and up to 37 ms with both cores
// also running busy loops; this covers that with a margin.
constexpr int32_t DEFAULT_MOVE_OVERHEAD = 50;

struct Settings {
    int32_t hashMb;
    int32_t threads;
    int32_t multiPv;
    int32_t moveOverhead;      // ms the clock rule keeps back
    int32_t nodesTime;         // nodes a clock millisecond counts as; 0: the real clock
    int32_t chess960;          // the variant the next position command reads
    int32_t syzygyProbeDepth;  // plies
    int32_t syzygy50MoveRule;
    int32_t syzygyProbeLimit;  // pieces
    int32_t limitStrength;     // play at the rating below, not at full strength
    int32_t elo;
    int32_t showWdl;  // score lines carry win, draw and loss odds
};
extern Settings settings;

// Sets up what the defaults ask for: the table and the threads.
void applyDefaultOptions();

void printOptions();
// name may hold blanks ("Move Overhead"); value is null for a button. A string option takes the
// value as it stands, blanks included; a spin or check takes one word.
void setOption(const char* name, const char* value);

// Empties the transposition table, the pool's threads sharing the work.
void clearHash();

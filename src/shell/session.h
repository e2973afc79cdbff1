// What the shell's commands share about the session with the GUI.
#pragma once

#include <cstdint>

// False after a refused FEN until the next position command that works: the board then holds no
// position the GUI knows, so nothing may be searched or counted on it.
extern bool positionValid;
// The move number of the current position, for the FEN that d writes: the position command's
// move-number field (1 when absent or not a number), advanced by the moves made after it.
extern int32_t fullmoveNumber;
// Set by quit (or the end of input during a search that cannot end by itself); ends the command
// loop, or the command file that read it.
extern bool quitRequested;
// A limited search's seed besides the position: the games started (ucinewgame) and the limited
// searches since. The same commands in a fresh process give the same moves; the next game differs.
extern uint32_t gamesStarted;
extern uint32_t limitedSearches;

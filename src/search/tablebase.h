// Syzygy endgame tables, read through Debian's fathom library (opened while the engine runs, so
// that it starts and plays without it): loading them, the win/draw/loss probe the search makes
// at its nodes, and the ranking of the root moves by distance to zeroing.
// Built without the library (KESTRUN_SYZYGY off) nothing loads and nothing is probed.
#pragma once

#include <cstdint>

#include "board/move.h"
#include "board/position.h"

#ifndef KESTRUN_SYZYGY
#define KESTRUN_SYZYGY 0
#endif
constexpr bool SYZYGY_BUILT = KESTRUN_SYZYGY;

// A table win reached at ply p scores TABLE_WIN - p: below every mate score, above every
// evaluation, and the shorter way to the table win scores higher. Losses mirror it. Scores beyond
// TABLE_WIN_BOUND (and up to MATE_BOUND) are table scores.
constexpr int TABLE_WIN = MATE_BOUND - 256;
constexpr int TABLE_WIN_BOUND = TABLE_WIN - 256;

// What the nodes read on every visit. Written only between searches, while no helper runs.
struct TablebaseRules {
    int32_t probePieces = 0;  // nodes with at most this many pieces probe; 0: no tables
    int32_t probeDepth = 4;   // the least remaining depth that probes, in quarter plies
    int32_t rule50 = 1;       // cursed wins and blessed losses count as draws
};
extern TablebaseRules tablebaseRules;

// Loads the tables of the folders in path (':' between folders, blanks around each ignored);
// an empty path, "<empty>" or one that names no readable folder unloads them. Returns the number
// of tables found that can be read, or -1 when the fathom library (opened here the first time a
// folder is given) cannot be used. tablebaseNotice() then holds what the user should be told
// (the library's problem, a corrupt table), or "". Only between searches.
int loadTablebases(const char* path);
const char* tablebaseNotice();
// SyzygyProbeDepth in plies, Syzygy50MoveRule and SyzygyProbeLimit. Only between searches.
void setTablebaseOptions(int probeDepth, bool rule50, int probeLimit);
// The most pieces of the loaded tables, 0 when none are loaded.
int tablebasePieces();

// The table's verdict for the side to move as a search score at this ply, for a position right
// after a capture or pawn move with at most tablebaseRules.probePieces pieces; NO_SCORE when the
// position cannot be probed (castling rights) or the probe fails.
int probeWdl(const Position& pos, int ply);

// When the root is in the tables: keeps, of the n moves, only those that hold the best result the
// tables allow (win, cursed win, draw, blessed loss, loss, counted from the position's half-move
// clock), quickest zeroing of a win first and the longest resistance of a loss first, and returns
// their number with the root's table score in tableScore. Otherwise returns n and leaves the
// list and tableScore alone. Not thread-safe: only while no helper searches.
int rankRootMoves(Position& pos, Move* moves, int n, int& tableScore);

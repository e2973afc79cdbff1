// The engine's own console commands: the speed benchmark and command files.
#pragma once

#include <cstdint>

#include "board/position.h"
#include "shell/searchthread.h"

constexpr int MAX_SPEED_DEPTH = 64;
// Command files open at once; a deeper file line is ignored. A file already open on the chain is
// not opened again, so the cap only bounds chains of distinct files.
constexpr int MAX_FILE_NESTING = 16;

// Leaf count of the legal move tree depth plies deep (depth 1 or less: the legal moves).
template <Colour Us>
uint64_t perftCount(Position& pos, int depth);

inline uint64_t perftCount(Position& pos, int depth) {
    return pos.sideToMove == White ? perftCount<White>(pos, depth) : perftCount<Black>(pos, depth);
}

// The same count with every node's moves taken from the search's move picker.
template <Colour Us>
uint64_t pickerCount(SearchThread& thread, int depth, int ply);

inline uint64_t pickerCount(SearchThread& thread, int depth, int ply) {
    return thread.position.sideToMove == White ? pickerCount<White>(thread, depth, ply)
                                               : pickerCount<Black>(thread, depth, ply);
}

// speed N: times the tree counts of the current position to depth N (clamped to 1..64) and prints
// one info line per count.
void runSpeed(SearchThread& thread, int depth);

// file F: executes the lines of F as if typed, until its quit line or its end. Anything but a
// regular file, and a file already running, is ignored.
void runCommandFile(SearchThread& thread, const char* path);

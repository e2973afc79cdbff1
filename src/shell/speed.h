// The speed benchmark: tree counts of the current position, timed.
#pragma once

#include <cstdint>

#include "board/position.h"
#include "search/searchthread.h"

constexpr int MAX_SPEED_DEPTH = 64;

// The legal move tree's leaf count with every node's moves taken from the search's move picker.
template <Colour Us>
uint64_t pickerCount(SearchThread& thread, int depth, int ply);

inline uint64_t pickerCount(SearchThread& thread, int depth, int ply) {
    return thread.position.sideToMove == White ? pickerCount<White>(thread, depth, ply)
                                               : pickerCount<Black>(thread, depth, ply);
}

// speed N: times the tree counts of the current position to depth N (clamped to 1..64) and prints
// one info line per count.
void runSpeed(SearchThread& thread, int depth);

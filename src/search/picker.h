// Move ordering statistics and the staged move picker.
#pragma once

#include "board/move.h"
#include "board/position.h"

// Per-thread killers, history and try/cutoff counters, reset at the start of every search.
struct OrderingTables {
    int32_t killer1[256];
    int32_t killer2[256];
    int32_t history[12][64];
    int32_t triedCount[12][64];
    int32_t cutoffCount[12][64];
};

void clearOrderingTables(OrderingTables& tables);

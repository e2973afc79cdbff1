#include "search/picker.h"

#include <cstring>

void clearOrderingTables(OrderingTables& tables) {
    std::memset(tables.killer1, 0, sizeof tables.killer1);
    std::memset(tables.killer2, 0, sizeof tables.killer2);
    std::memset(tables.history, 0, sizeof tables.history);
    // Counters start at 1 so that the cut-off ratio never divides by zero.
    for (int p = 0; p < 12; p++)
        for (int s = 0; s < 64; s++) tables.triedCount[p][s] = tables.cutoffCount[p][s] = 1;
}

#include "shell/speed.h"

#include <cinttypes>
#include <cstdio>

#include "board/attacks.h"
#include "board/legal.h"
#include "board/makemove.h"
#include "search/picker.h"
#include "shell/session.h"
#include "shell/tokens.h"

namespace {

void printCount(int32_t elapsed, uint64_t count) {
    const uint64_t rate = elapsed > 0 ? count * 1000 / uint64_t(elapsed) : 0;
    std::printf("info time %d nodes %" PRIu64 " nps %" PRIu64 "\n", elapsed, count, rate);
    flushOutput();
}

}  // namespace

template <Colour Us>
uint64_t pickerCount(SearchThread& thread, int depth, int ply) {
    constexpr Colour Them = opposite(Us);
    Position& pos = thread.position;
    const bool inCheck = isAttackedBy<Them>(pos, pos.block<Us>().kingSquare);
    MovePicker picker;
    initMovePicker<Us>(isHelper(thread), pos, thread.orderingTables, picker, inCheck, ply, NO_MOVE);
    uint64_t count = 0;
    // The picker returns only legal moves, so no test follows the make.
    while (Move m = nextMove<Us>(isHelper(thread), pos, thread.orderingTables, picker)) {
        UndoRecord undo;
        makeMove<Us>(pos, undo, m);
        count += depth < 2 ? 1 : pickerCount<Them>(thread, depth - 1, ply + 1);
        unmakeMove<Us>(pos, undo, m);
    }
    return count;
}

template uint64_t pickerCount<White>(SearchThread&, int, int);
template uint64_t pickerCount<Black>(SearchThread&, int, int);

void runSpeed(SearchThread& thread, int depth) {
    // After a refused FEN there is no position to count.
    if (!positionValid) return;
    depth = depth < 1 ? 1 : depth > MAX_SPEED_DEPTH ? MAX_SPEED_DEPTH : depth;
    Position& pos = thread.position;

    setUpPosition(pos);
    int32_t start = clockMs();
    const uint64_t count = perftCount(pos, depth);
    printCount(clockMs() - start, count);

    setUpPosition(pos);
    clearOrderingTables(thread.orderingTables);
    start = clockMs();
    const uint64_t picked = pickerCount(thread, depth, 0);
    printCount(clockMs() - start, picked);
}

#include "shell/speed.h"

#include <cinttypes>
#include <cstdio>

#include "board/attacks.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "search/picker.h"
#include "shell/input.h"
#include "shell/uci.h"

namespace {

void printCount(int32_t elapsed, uint64_t count) {
    const uint64_t rate = elapsed > 0 ? count * 1000 / uint64_t(elapsed) : 0;
    std::printf("info time %d nodes %" PRIu64 " nps %" PRIu64 "\n", elapsed, count, rate);
    flushOutput();
}

// The command files running on the current chain of file lines, outermost first.
struct RunningFile {
    dev_t device;
    ino_t inode;
};
RunningFile runningFiles[MAX_FILE_NESTING];
int fileNesting = 0;

}  // namespace

template <Colour Us>
uint64_t perftCount(Position& pos, int depth) {
    constexpr Colour Them = opposite(Us);
    Move moves[MAX_MOVES];
    const int n = generateAll<Us>(pos, moves);
    uint64_t count = 0;
    for (int i = 0; i < n; i++) {
        UndoRecord undo;
        makeMove<Us>(pos, undo, moves[i]);
        if (!isAttackedBy<Them>(pos, pos.block<Us>().kingSquare))
            count += depth < 2 ? 1 : perftCount<Them>(pos, depth - 1);
        unmakeMove<Us>(pos, undo, moves[i]);
    }
    return count;
}

template <Colour Us>
uint64_t pickerCount(SearchThread& thread, int depth, int ply) {
    constexpr Colour Them = opposite(Us);
    Position& pos = thread.position;
    const bool inCheck = isAttackedBy<Them>(pos, pos.block<Us>().kingSquare);
    MovePicker picker;
    initMovePicker<Us>(thread.threadIndex, pos, thread.orderingTables, picker, inCheck, ply,
                       NO_MOVE);
    uint64_t count = 0;
    // The picker returns only legal moves, so no test follows the make.
    while (Move m = nextMove<Us>(thread.threadIndex, pos, thread.orderingTables, picker)) {
        UndoRecord undo;
        makeMove<Us>(pos, undo, m);
        count += depth < 2 ? 1 : pickerCount<Them>(thread, depth - 1, ply + 1);
        unmakeMove<Us>(pos, undo, m);
    }
    return count;
}

template uint64_t perftCount<White>(Position&, int);
template uint64_t perftCount<Black>(Position&, int);
template uint64_t pickerCount<White>(SearchThread&, int, int);
template uint64_t pickerCount<Black>(SearchThread&, int, int);

void runSpeed(SearchThread& thread, int depth) {
    // After a refused FEN there is no position to count.
    if (!positionValid) return;
    depth = depth < 1 ? 1 : depth > MAX_SPEED_DEPTH ? MAX_SPEED_DEPTH : depth;
    Position& pos = thread.position;

    setUpPosition(pos);
    thread.startTime = clockMs();
    const uint64_t count = perftCount(pos, depth);
    printCount(clockMs() - thread.startTime, count);

    setUpPosition(pos);
    clearOrderingTables(thread.orderingTables);
    thread.startTime = clockMs();
    const uint64_t picked = pickerCount(thread, depth, 0);
    printCount(clockMs() - thread.startTime, picked);
}

void runCommandFile(SearchThread& thread, const char* path) {
    if (fileNesting >= MAX_FILE_NESTING) return;
    std::unique_ptr<LineReader> in = openLineReader(path);
    if (!in) return;
    // A file running again from inside itself, under any name, would fan out to every depth.
    for (int i = 0; i < fileNesting; i++)
        if (runningFiles[i].device == in->device && runningFiles[i].inode == in->inode) {
            closeLineReader(*in);
            return;
        }
    runningFiles[fileNesting++] = {in->device, in->inode};
    TokenLine line;
    // The end of the file ends it as a quit line would.
    while (!thread.quitFlag && dispatchCommand(thread, *in, line)) {
    }
    // quit ends the file, not the engine.
    thread.quitFlag = 0;
    closeLineReader(*in);
    fileNesting--;
}

#include <csignal>

#include "board/position.h"
#include "board/tables.h"
#include "eval/evaluate.h"
#include "search/tt.h"
#include "shell/searchthread.h"
#include "shell/threads.h"
#include "shell/uci.h"

// The main thread's record lives for the whole run; it is large, so it is not on the stack.
static SearchThread mainThread;

int main() {
    // Standard input is read only through our own reader on descriptor 0, never through stdio, so
    // unread bytes stay visible to the in-search input check. A closed pipe to the GUI shows up as
    // a failed write, which ends the engine like the end of input.
    std::signal(SIGPIPE, SIG_IGN);
    clockMs();  // the clock counts from here

    buildTables();
    buildKeys();
    buildEvalTables();

    hashSizeMb = 16;
    threadCount = 1;
    initThread(mainThread, MAIN_THREAD);
    createHelpers();
    ttResize(hashSizeMb);

    runCommandLoop(mainThread);

    // Helpers are joined before anything they might touch is freed.
    destroyHelpers();
    releaseThread(mainThread);
    ttFree();
    return 0;
}

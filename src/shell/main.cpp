#include "board/position.h"
#include "board/tables.h"
#include "eval/evaluate.h"
#include "platform/platform.h"
#include "search/searchthread.h"
#include "search/threads.h"
#include "search/tt.h"
#include "shell/bench.h"
#include "shell/options.h"
#include "shell/tokens.h"
#include "shell/uci.h"

// The main thread's record lives for the whole run; it is large, so it is not on the stack.
static SearchThread mainThread;

// One argument is read: "bench [depth]" runs the bench command as if typed and exits, for
// testing frameworks that take the signature from the command line.
static bool benchFromArguments(int argc, char** argv) {
    if (argc < 2 || !isWord(argv[1], "bench")) return false;
    benchCommand(mainThread, argc >= 3 ? parseInteger(argv[2]) : 0);
    return true;
}

int main(int argc, char** argv) {
    // Standard input is read only through our own reader on descriptor 0, never through stdio, so
    // unread bytes stay visible to the in-search input check. A closed pipe to the GUI shows up as
    // a failed write, which ends the engine like the end of input.
    prepareStandardStreams();
    clockMs();  // the clock counts from here

    buildTables();
    buildKeys();
    buildEvalTables();

    initThread(mainThread, MAIN_THREAD);
    applyDefaultOptions();

    if (!benchFromArguments(argc, argv)) runCommandLoop(mainThread);

    // Helpers are joined before anything they might touch is freed.
    destroyHelpers();
    releaseThread(mainThread);
    ttFree();
    return 0;
}

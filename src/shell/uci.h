// The UCI command loop: reading lines, dispatching commands, the position and setoption
// commands, and command files.
#pragma once

#include "search/searchthread.h"
#include "shell/input.h"
#include "shell/tokens.h"

constexpr size_t MAX_OPTION_NAME = 64;
// Command files open at once; a deeper file line is ignored. A file already open on the chain is
// not opened again, so the cap only bounds chains of distinct files.
constexpr int MAX_FILE_NESTING = 16;

// Reads one line from in and executes it. Returns false at end of input, and once output can no
// longer be written (the GUI is gone); both end the engine as quit does.
bool dispatchCommand(SearchThread& thread, LineReader& in, TokenLine& line);

// Runs the command loop on standard input until quit or end of input.
void runCommandLoop(SearchThread& thread);

// file F: executes the lines of F as if typed, until its quit line or its end. Anything but a
// regular file, and a file already running, is ignored.
void runCommandFile(SearchThread& thread, const char* path);

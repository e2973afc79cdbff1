// Shared libraries the engine opens while it runs, never at load time, so that a missing one
// costs only the feature that needs it; and the one filter on what such a library writes to
// standard error.
#pragma once

#include <string>
#include <vector>

struct Library {
    void* handle = nullptr;  // null: not open
};

// The file the system loads for major version `version` of library `name` ("fathom", 1).
std::string libraryFile(const char* name, int version);
// Opens the library file (a bare name is looked for where the system keeps libraries). On
// failure the handle is null and error holds the system's reason.
Library openLibrary(const char* file, std::string& error);
// The address of a function or variable the library exports; null when it has none of that name.
void* librarySymbol(Library library, const char* symbol);

// The names of the entries of a folder, in the system's order; false when it is no folder that
// can be read.
bool folderEntries(const char* folder, std::vector<std::string>& names);

// From now on, a line written through the C library's standard-error stream that begins with one
// of the texts in lines (a list ended by a null) is dropped; every other line passes unchanged,
// and what is written to the error channel directly (sanitizer reports, crash messages) never
// meets the filter. The texts must outlive the process. Call while no other thread writes there.
void dropErrorLines(const char* const* lines);

// Runs work(context) in a copy of this process, whose output is discarded and whose death cannot
// harm this one: for calls into a library that may crash on bad data. The work calls
// reportProgress(n) before each step. Returns -1 when the work returned, otherwise the last step
// reported before the copy died or made no progress for stallMs (-2 when none was). Without a
// way to copy the process the work runs here and -1 is returned.
int runInCopy(void (*work)(void* context), void* context, int stallMs);
void reportProgress(int step);

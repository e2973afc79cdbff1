#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/library.h"

std::string libraryFile(const char* name, int version) {
    return "lib" + std::string(name) + ".so." + std::to_string(version);
}

Library openLibrary(const char* file, std::string& error) {
    // Every symbol is looked up now, so a library that lacks one fails here, not in a search.
    Library library{dlopen(file, RTLD_NOW | RTLD_LOCAL)};
    if (!library.handle) {
        const char* reason = dlerror();
        error = reason ? reason : "cannot be opened";
    }
    return library;
}

void* librarySymbol(Library library, const char* symbol) {
    return library.handle ? dlsym(library.handle, symbol) : nullptr;
}

#ifdef __GLIBC__

namespace {

// The stream that stands in for stderr. A line is held back only while it may still become one
// of the dropped lines; once it cannot, it goes out through descriptor 2 as it comes. The C
// library holds the stream's lock around every write, so one writer at a time fills the line.
struct LineFilter {
    const char* const* dropped = nullptr;
    char held[256];
    size_t length = 0;
    bool passing = false;  // this line is known to pass
};
LineFilter filter;

void writeAll(const char* text, size_t length) {
    while (length > 0) {
        const ssize_t w = write(2, text, length);
        if (w <= 0) return;
        text += w, length -= size_t(w);
    }
}

// Whether the held text can still turn out to be a dropped line: it begins one, or one begins it.
bool mayBeDropped() {
    for (const char* const* d = filter.dropped; *d; d++) {
        const size_t n = std::min(std::strlen(*d), filter.length);
        if (std::memcmp(filter.held, *d, n) == 0) return true;
    }
    return false;
}

// Whether the held line begins with a dropped text.
bool dropped() {
    for (const char* const* d = filter.dropped; *d; d++) {
        const size_t n = std::strlen(*d);
        if (n <= filter.length && std::memcmp(filter.held, *d, n) == 0) return true;
    }
    return false;
}

ssize_t filterWrite(void*, const char* text, size_t size) {
    for (size_t i = 0; i < size;) {
        if (filter.passing) {
            // The rest of a passing line goes out in one piece.
            const char* end = static_cast<const char*>(std::memchr(text + i, '\n', size - i));
            const size_t n = end ? size_t(end - text) + 1 - i : size - i;
            writeAll(text + i, n);
            i += n;
            if (end) filter.passing = false;
            continue;
        }
        const char c = text[i++];
        // Past the buffer the line has long matched a dropped text: the rest goes with it.
        if (filter.length < sizeof filter.held) filter.held[filter.length++] = c;
        if (c == '\n') {
            if (!dropped()) writeAll(filter.held, filter.length);
            filter.length = 0;
        } else if (!mayBeDropped()) {
            writeAll(filter.held, filter.length);
            filter.length = 0;
            filter.passing = true;
        }
    }
    return ssize_t(size);
}

}  // namespace

void dropErrorLines(const char* const* lines) {
    if (filter.dropped) return;
    filter.dropped = lines;
    cookie_io_functions_t io = {};
    io.write = filterWrite;
    FILE* stream = fopencookie(nullptr, "w", io);
    if (!stream) return;
    // Unbuffered: every write reaches the filter at once, so nothing waits in a buffer when the
    // process ends.
    setvbuf(stream, nullptr, _IONBF, 0);
    std::fflush(stderr);
    stderr = stream;
}

#else

// Without a way to replace the stream the library's lines pass, as all others do.
void dropErrorLines(const char* const*) {}

#endif

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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

namespace {
int progressFd = -1;  // in the copy: where its steps go
}

void reportProgress(int step) {
    if (progressFd >= 0 && write(progressFd, &step, sizeof step) != sizeof step) _exit(3);
}

int runInCopy(void (*work)(void* context), void* context, int stallMs) {
    int channel[2];
    if (pipe2(channel, O_CLOEXEC) != 0) {
        work(context);
        return -1;
    }
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        // The copy's output would mix with this process's; a crash report of the copy is the
        // answer it gives, not a fault of the engine.
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        close(channel[0]);
        progressFd = channel[1];
        work(context);
        const int done = -1;
        _exit(write(progressFd, &done, sizeof done) == sizeof done ? 0 : 3);
    }
    close(channel[1]);
    int last = -2;
    bool finished = false;
    if (child > 0) {
        for (;;) {
            pollfd p = {channel[0], POLLIN, 0};
            const int ready = poll(&p, 1, stallMs);
            if (ready < 0 && errno == EINTR) continue;
            int step;
            if (ready <= 0 || read(channel[0], &step, sizeof step) != sizeof step) break;
            if (step == -1)
                finished = true;
            else
                last = step;
        }
        kill(child, SIGKILL);
        while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
        }
    } else {
        work(context);
        finished = true;
    }
    close(channel[0]);
    return finished ? -1 : last;
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

bool folderEntries(const char* folder, std::vector<std::string>& names) {
    DIR* dir = opendir(folder);
    if (!dir) return false;
    while (const dirent* entry = readdir(dir)) names.push_back(entry->d_name);
    closedir(dir);
    return true;
}

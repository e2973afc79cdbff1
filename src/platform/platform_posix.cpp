// Linux and the other POSIX systems.
#include "platform/platform.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <new>

void prepareStandardStreams() {
    // A closed pipe to the GUI shows up as a failed write, which ends the engine like the end
    // of input.
    std::signal(SIGPIPE, SIG_IGN);
}

bool isRegularFile(int fd) {
    struct stat st;
    return fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

int openRegularFile(const char* path, FileIdentity& identity) {
    // Opened non-blocking so that a FIFO without a writer cannot hang the open; reads block again.
    const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return -1;
    // Tested on the open descriptor, not the name, which could name something else by now.
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return -1;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    identity = {uint64_t(st.st_dev), uint64_t(st.st_ino)};
    return fd;
}

void closeFile(int fd) { close(fd); }

size_t readInput(int fd, char* buffer, size_t size) {
    for (;;) {
        const ssize_t n = read(fd, buffer, size);
        if (n > 0) return size_t(n);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // Someone left the descriptor non-blocking: wait until it is readable.
            pollfd p{fd, POLLIN, 0};
            while (poll(&p, 1, -1) < 0 && errno == EINTR) {
            }
            continue;
        }
        return 0;
    }
}

bool inputWaiting(int fd) {
    pollfd p{fd, POLLIN, 0};
    int n;
    while ((n = poll(&p, 1, 0)) < 0 && errno == EINTR) {
    }
    // Hang-up and errors count: the read that follows reports the end of input.
    return n > 0 && p.revents != 0;
}

void* allocateLarge(uint64_t bytes) {
    // Mapped with one large page to spare, then trimmed to a 2 MB boundary at both ends, so that
    // the system can back it with large pages. A fresh mapping reads as zeros and costs nothing
    // until it is touched.
    const uint64_t rounded = (bytes + LARGE_PAGE_BYTES - 1) & ~(LARGE_PAGE_BYTES - 1);
    if (rounded < bytes || rounded + LARGE_PAGE_BYTES < rounded) return nullptr;
    char* base =
        static_cast<char*>(mmap(nullptr, rounded + LARGE_PAGE_BYTES, PROT_READ | PROT_WRITE,
                                MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    if (base == MAP_FAILED) return nullptr;
    char* start =
        reinterpret_cast<char*>((reinterpret_cast<uintptr_t>(base) + LARGE_PAGE_BYTES - 1) &
                                ~uintptr_t(LARGE_PAGE_BYTES - 1));
    if (start > base) munmap(base, size_t(start - base));
    if (base + LARGE_PAGE_BYTES > start)
        munmap(start + rounded, size_t(base + LARGE_PAGE_BYTES - start));
#ifdef MADV_HUGEPAGE
    madvise(start, rounded, MADV_HUGEPAGE);
#endif
    return start;
}

void freeLarge(void* memory, uint64_t bytes) {
    if (!memory) return;
    const uint64_t rounded = (bytes + LARGE_PAGE_BYTES - 1) & ~(LARGE_PAGE_BYTES - 1);
    munmap(memory, rounded);
}

uint64_t physicalMemory() {
    const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGE_SIZE);
    return pages > 0 && pageSize > 0 ? uint64_t(pages) * uint64_t(pageSize) : 0;
}

uint64_t availableMemory() {
    // Linux tells it in /proc/meminfo; elsewhere it is unknown.
    std::FILE* f = std::fopen("/proc/meminfo", "r");
    if (!f) return 0;
    char line[256];
    unsigned long long kilobytes = 0;
    while (std::fgets(line, sizeof line, f))
        if (std::sscanf(line, "MemAvailable: %llu kB", &kilobytes) == 1) break;
    std::fclose(f);
    return uint64_t(kilobytes) * 1024;
}

namespace {

struct ThreadStart {
    void (*body)(void*);
    void* argument;
};

void* threadMain(void* start) {
    const ThreadStart s = *static_cast<ThreadStart*>(start);
    delete static_cast<ThreadStart*>(start);
    s.body(s.argument);
    return nullptr;
}

}  // namespace

bool startThread(ThreadHandle& handle, void (*body)(void*), void* argument, size_t stackBytes) {
    static_assert(sizeof(pthread_t) <= sizeof(handle.value));
    auto* start = new (std::nothrow) ThreadStart{body, argument};
    if (!start) return false;
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, stackBytes);
    pthread_t thread;
    const bool started = pthread_create(&thread, &attr, threadMain, start) == 0;
    pthread_attr_destroy(&attr);
    if (!started) {
        delete start;
        return false;
    }
    handle.value = 0;
    std::memcpy(&handle.value, &thread, sizeof thread);
    return true;
}

void joinThread(ThreadHandle& handle) {
    pthread_t thread;
    std::memcpy(&thread, &handle.value, sizeof thread);
    pthread_join(thread, nullptr);
}

const char* systemName() {
#if defined(__linux__)
    return "Linux";
#elif defined(__APPLE__)
    return "macOS";
#else
    return "POSIX";
#endif
}

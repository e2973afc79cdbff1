// Windows (built with mingw-w64). Descriptors stay the C library's, so that the engine reads
// standard input and command files alike; the reads themselves go to the system, past the C
// library's text mode.
#include "platform/platform.h"

#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <windows.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <mutex>
#include <new>

namespace {

HANDLE handleOf(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

}  // namespace

void prepareStandardStreams() {
    // The same bytes on every system: a line ends with "\n" alone, which GUIs and the console
    // both take.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    _setmode(_fileno(stdin), _O_BINARY);
}

bool isRegularFile(int fd) { return GetFileType(handleOf(fd)) == FILE_TYPE_DISK; }

int openRegularFile(const char* path, FileIdentity& identity) {
    wchar_t wide[MAX_PATH * 4];
    if (MultiByteToWideChar(CP_UTF8, 0, path, -1, wide, int(std::size(wide))) == 0) return -1;
    const HANDLE h =
        CreateFileW(wide, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return -1;
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        CloseHandle(h);
        return -1;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        return -1;
    }
    identity = {info.dwVolumeSerialNumber,
                uint64_t(info.nFileIndexHigh) << 32 | uint64_t(info.nFileIndexLow)};
    return fd;
}

void closeFile(int fd) { _close(fd); }

namespace {

// Standard input from a pipe or the console is read by a thread of its own into a buffer, which
// the engine reads and polls: the system has no poll for every kind of pipe (wine's, for one,
// answers no peek), and a console read returns only whole lines anyway.
struct InputPump {
    std::mutex mutex;
    std::condition_variable changed;
    char buffer[1 << 16];
    size_t start = 0, size = 0;
    bool ended = false;
    int fd = -1;
};

// Never freed: the thread may still wait in a read while the process runs its exit.
InputPump* pump = nullptr;

void pumpMain(void* argument) {
    InputPump& p = *static_cast<InputPump*>(argument);
    char chunk[4096];
    for (;;) {
        DWORD n = 0;
        // A broken pipe (the GUI is gone) and every other failure read as the end of input.
        const bool ok = ReadFile(handleOf(p.fd), chunk, sizeof chunk, &n, nullptr) && n > 0;
        std::unique_lock lock(p.mutex);
        if (!ok) {
            p.ended = true;
            p.changed.notify_all();
            return;
        }
        for (DWORD done = 0; done < n;) {
            p.changed.wait(lock, [&] { return p.size < sizeof p.buffer; });
            if (p.size == 0) p.start = 0;
            const size_t at = (p.start + p.size) % sizeof p.buffer;
            const size_t room = std::min(sizeof p.buffer - p.size, sizeof p.buffer - at);
            const size_t take = std::min(room, size_t(n - done));
            std::memcpy(p.buffer + at, chunk + done, take);
            p.size += take;
            done += DWORD(take);
            p.changed.notify_all();
        }
    }
}

// The pump for the descriptor, started on first use; null for files, which are read directly.
InputPump* pumpFor(int fd) {
    if (fd != 0) return nullptr;
    static const bool pumped = [] {
        if (isRegularFile(0)) return false;
        pump = new (std::nothrow) InputPump;
        if (!pump) return false;
        pump->fd = 0;
        ThreadHandle thread;
        if (!startThread(thread, pumpMain, pump, 256 << 10)) {
            delete pump;
            pump = nullptr;
            return false;
        }
        CloseHandle(reinterpret_cast<HANDLE>(thread.value));  // it runs until the end of input
        return true;
    }();
    return pumped ? pump : nullptr;
}

}  // namespace

size_t readInput(int fd, char* buffer, size_t size) {
    if (InputPump* p = pumpFor(fd)) {
        std::unique_lock lock(p->mutex);
        p->changed.wait(lock, [&] { return p->size > 0 || p->ended; });
        const size_t take =
            std::min({size, p->size, sizeof p->buffer - p->start});  // up to the ring's end
        std::memcpy(buffer, p->buffer + p->start, take);
        p->start = (p->start + take) % sizeof p->buffer;
        p->size -= take;
        p->changed.notify_all();
        return take;
    }
    const DWORD wanted = DWORD(size < (size_t(1) << 30) ? size : size_t(1) << 30);
    DWORD n = 0;
    if (!ReadFile(handleOf(fd), buffer, wanted, &n, nullptr)) return 0;
    return n;
}

bool inputWaiting(int fd) {
    if (InputPump* p = pumpFor(fd)) {
        std::lock_guard lock(p->mutex);
        return p->size > 0 || p->ended;
    }
    return true;  // a file: a read returns at once, with data or the end
}

namespace {

// Large pages need the "lock pages in memory" right; an account without it gets small ones.
void* allocateLargePages(uint64_t bytes) {
    const SIZE_T largePage = GetLargePageMinimum();
    if (largePage == 0) return nullptr;
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return nullptr;
    void* memory = nullptr;
    TOKEN_PRIVILEGES privileges{}, previous{};
    DWORD previousLength = 0;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (LookupPrivilegeValueA(nullptr, "SeLockMemoryPrivilege", &privileges.Privileges[0].Luid) &&
        AdjustTokenPrivileges(token, FALSE, &privileges, sizeof previous, &previous,
                              &previousLength) &&
        GetLastError() == ERROR_SUCCESS) {
        const uint64_t rounded = (bytes + largePage - 1) / largePage * largePage;
        memory = VirtualAlloc(nullptr, SIZE_T(rounded), MEM_RESERVE | MEM_COMMIT | MEM_LARGE_PAGES,
                              PAGE_READWRITE);
        AdjustTokenPrivileges(token, FALSE, &previous, 0, nullptr, nullptr);
    }
    CloseHandle(token);
    return memory;
}

}  // namespace

void* allocateLarge(uint64_t bytes) {
    if (bytes == 0 || bytes > SIZE_T(-1) / 2) return nullptr;
    if (void* memory = allocateLargePages(bytes)) return memory;
    // Committed here, so that a size the system cannot back is refused now rather than failing
    // later; the pages read as zeros and take memory only when touched.
    return VirtualAlloc(nullptr, SIZE_T(bytes), MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void freeLarge(void* memory, uint64_t) {
    if (memory) VirtualFree(memory, 0, MEM_RELEASE);
}

uint64_t physicalMemory() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    return GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
}

uint64_t availableMemory() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    return GlobalMemoryStatusEx(&status) ? status.ullAvailPhys : 0;
}

namespace {

struct ThreadStart {
    void (*body)(void*);
    void* argument;
};

unsigned __stdcall threadMain(void* start) {
    const ThreadStart s = *static_cast<ThreadStart*>(start);
    delete static_cast<ThreadStart*>(start);
    s.body(s.argument);
    return 0;
}

}  // namespace

bool startThread(ThreadHandle& handle, void (*body)(void*), void* argument, size_t stackBytes) {
    auto* start = new (std::nothrow) ThreadStart{body, argument};
    if (!start) return false;
    // The stack size is reserved address space; only the pages a thread touches are committed.
    const uintptr_t thread = _beginthreadex(nullptr, unsigned(stackBytes), threadMain, start,
                                            STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (thread == 0) {
        delete start;
        return false;
    }
    handle.value = thread;
    return true;
}

void joinThread(ThreadHandle& handle) {
    const HANDLE thread = reinterpret_cast<HANDLE>(handle.value);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

const char* systemName() { return "Windows"; }

// Windows (built with mingw-w64). Descriptors stay the C library's, so that the engine reads
// standard input and command files alike; the reads themselves go to the system, past the C
// library's text mode.
#include "platform/platform.h"

#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <windows.h>

#include <cstdio>
#include <iterator>
#include <new>

namespace {

HANDLE handleOf(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

bool isConsole(HANDLE h) {
    DWORD mode;
    return GetConsoleMode(h, &mode) != 0;
}

}  // namespace

void prepareStandardStreams() {
    // The same bytes on every system: a line ends with "\n" alone, which GUIs and the console
    // both take.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    _setmode(_fileno(stdin), _O_BINARY);
}

InputKind inputKind(int fd) {
    const HANDLE h = handleOf(fd);
    switch (GetFileType(h)) {
        case FILE_TYPE_DISK:
            return InputKind::File;
        case FILE_TYPE_CHAR:
            return isConsole(h) ? InputKind::Console : InputKind::Pipe;
        default:
            return InputKind::Pipe;
    }
}

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

size_t readInput(int fd, char* buffer, size_t size) {
    const DWORD wanted = DWORD(size < (size_t(1) << 30) ? size : size_t(1) << 30);
    DWORD n = 0;
    // A broken pipe (the GUI is gone) and every other failure read as the end of input.
    if (!ReadFile(handleOf(fd), buffer, wanted, &n, nullptr)) return 0;
    return n;
}

bool inputWaiting(int fd) {
    const HANDLE h = handleOf(fd);
    switch (inputKind(fd)) {
        case InputKind::File:
            return true;  // a read returns at once, with data or the end
        case InputKind::Pipe: {
            DWORD available = 0;
            // A failure is the writer gone: the read that follows reports the end of input.
            if (!PeekNamedPipe(h, nullptr, 0, nullptr, &available, nullptr)) return true;
            return available > 0;
        }
        case InputKind::Console: {
            // A console read returns only whole lines: one is waiting once Enter was pressed.
            INPUT_RECORD events[256];
            DWORD count = 0;
            if (!PeekConsoleInputW(h, events, DWORD(std::size(events)), &count)) return false;
            for (DWORD i = 0; i < count; i++) {
                const KEY_EVENT_RECORD& key = events[i].Event.KeyEvent;
                if (events[i].EventType == KEY_EVENT && key.bKeyDown &&
                    key.uChar.UnicodeChar == L'\r')
                    return true;
            }
            return false;
        }
    }
    return false;
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

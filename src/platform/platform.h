// What the engine asks of the operating system, in its own words. One file per system implements
// it (platform_posix.cpp, platform_windows.cpp); nothing above this layer names a system or
// includes a system header.
#pragma once

#include <cstddef>
#include <cstdint>

// Before anything is read or written: standard output keeps its bytes as they are (no line-end
// translation) and a write to a closed pipe reports an error instead of ending the process.
void prepareStandardStreams();

// ---- Input: descriptors are the C library's small integers, 0 for standard input ----

// Whether a descriptor reads a regular file (which always ends), not a pipe or a console.
bool isRegularFile(int fd);

// Which file a descriptor reads, so that one file reached under two names is known as one.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t index = 0;
    bool operator==(const FileIdentity&) const = default;
};

// Opens a regular file for reading; -1 when it cannot be opened or is anything else (a device,
// a pipe or a directory may never end). Never blocks on a FIFO and never takes a terminal as the
// controlling one.
int openRegularFile(const char* path, FileIdentity& identity);
void closeFile(int fd);

// Reads what is there, waiting for at least one byte: the count, or 0 at the end of input or on
// an error. Interrupted reads are retried.
size_t readInput(int fd, char* buffer, size_t size);

// Non-blocking: whether a read would return at once, with data or with the end of input. On a
// console, only a finished line counts.
bool inputWaiting(int fd);

// ---- Memory for the transposition table ----

// The large page the table's memory is aligned to and touched by.
constexpr uint64_t LARGE_PAGE_BYTES = uint64_t(2) << 20;

// Zero-filled, page-aligned memory, on large pages where the system gives them; null when the
// system refuses. Released with freeLarge and the same size.
void* allocateLarge(uint64_t bytes);
void freeLarge(void* memory, uint64_t bytes);
// The machine's physical memory in bytes (0 when unknown).
uint64_t physicalMemory();
// The memory the system can give now without swapping, in bytes (0 when unknown).
uint64_t availableMemory();

// ---- Threads ----

struct ThreadHandle {
    uintptr_t value = 0;
};
// Starts body(argument) on a thread with a stack of the given size; false when the system gives
// no more threads.
bool startThread(ThreadHandle& handle, void (*body)(void*), void* argument, size_t stackBytes);
void joinThread(ThreadHandle& handle);

// The system's name for the build's target: "Linux", "Windows", ...
const char* systemName();

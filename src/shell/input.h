// Line input of our own on raw file descriptors: the command loop, command files and the
// in-search input check all read through it, so a line already in the buffer is never hidden from
// the check behind a stdio buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/platform.h"

// A line is at most this many characters plus its line end; a longer one is dropped whole.
constexpr size_t MAX_LINE_LENGTH = (size_t(1) << 20) - 1;

struct LineReader {
    int fd = -1;
    bool ownsFd = false;      // a command file, closed with the reader
    bool atEnd = false;       // end of input or a read error: nothing more will be read
    bool discarding = false;  // inside an over-long line, dropping bytes up to its newline
    size_t start = 0;         // unread bytes are data[start, end)
    size_t end = 0;
    size_t scanned = 0;  // data[start, scanned) holds no newline
    // A command file's identity, so that one already running is not reopened.
    FileIdentity identity{};
    // One spare byte so that even a full line can be terminated in place.
    std::unique_ptr<char[]> data{new char[MAX_LINE_LENGTH + 2]};
};

// The reader on standard input, shared by the command loop and the in-search check.
LineReader& standardInput();

// Opens a regular file for reading through its own reader; null when it cannot be opened or is
// anything else (a device or a pipe may never end, or never be written to).
std::unique_ptr<LineReader> openLineReader(const char* path);
// A reader over a descriptor the caller keeps (used for pipes in tests).
void attachLineReader(LineReader& reader, int fd);
void closeLineReader(LineReader& reader);

// Reads one line, without its line end, NUL-terminated in the reader's buffer and valid until the
// next read. An over-long line comes back empty. Returns false at end of input or on a read error;
// an unterminated last line is still returned first.
bool readLine(LineReader& reader, const char*& text, size_t& length);

// Non-blocking: whether a read would find something, a whole or partial line already buffered,
// bytes waiting on the descriptor, or an end of input not yet read.
bool inputPending(LineReader& reader);
bool inputPending();

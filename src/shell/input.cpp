#include "shell/input.h"

#include <cstring>

#include "platform/platform.h"

namespace {

constexpr size_t BUFFER_SIZE = MAX_LINE_LENGTH + 1;  // the longest line with its line end

// Appends what one read brings; false at end of input or on an error.
bool fill(LineReader& r) {
    const size_t n = readInput(r.fd, r.data.get() + r.end, BUFFER_SIZE - r.end);
    if (n > 0) {
        r.end += n;
        return true;
    }
    r.atEnd = true;
    return false;
}

}  // namespace

LineReader& standardInput() {
    static LineReader reader{.fd = 0};
    return reader;
}

std::unique_ptr<LineReader> openLineReader(const char* path) {
    FileIdentity identity;
    const int fd = openRegularFile(path, identity);
    if (fd < 0) return nullptr;
    auto reader = std::make_unique<LineReader>();
    reader->fd = fd;
    reader->ownsFd = true;
    reader->identity = identity;
    return reader;
}

void attachLineReader(LineReader& reader, int fd) {
    reader.fd = fd;
    reader.ownsFd = false;
    reader.atEnd = reader.discarding = false;
    reader.start = reader.end = reader.scanned = 0;
}

void closeLineReader(LineReader& reader) {
    if (reader.ownsFd && reader.fd >= 0) closeFile(reader.fd);
    reader.fd = -1;
    reader.ownsFd = false;
    reader.atEnd = true;
}

bool readLine(LineReader& r, const char*& text, size_t& length) {
    char* const data = r.data.get();
    for (;;) {
        if (r.discarding) {
            // Nothing of an over-long line is kept: drop what is buffered until its newline.
            char* nl = static_cast<char*>(std::memchr(data + r.start, '\n', r.end - r.start));
            if (nl) {
                r.discarding = false;
                r.start = r.scanned = size_t(nl - data) + 1;
                text = nl;
                *nl = '\0';
                length = 0;
                return true;
            }
            r.start = r.end = r.scanned = 0;
            if (r.atEnd || !fill(r)) return false;
            continue;
        }
        char* nl = static_cast<char*>(std::memchr(data + r.scanned, '\n', r.end - r.scanned));
        if (nl) {
            text = data + r.start;
            length = size_t(nl - text);
            *nl = '\0';
            r.start = r.scanned = size_t(nl - data) + 1;
            return true;
        }
        r.scanned = r.end;
        if (r.atEnd) {
            if (r.start == r.end) return false;
            // The last line of the input has no line end; it still counts.
            text = data + r.start;
            length = r.end - r.start;
            data[r.end] = '\0';
            r.start = r.end = r.scanned = 0;
            return true;
        }
        if (r.start > 0) {
            std::memmove(data, data + r.start, r.end - r.start);
            r.end -= r.start;
            r.scanned -= r.start;
            r.start = 0;
        }
        if (r.end == BUFFER_SIZE) {
            r.discarding = true;
            r.start = r.end = r.scanned = 0;
            continue;
        }
        fill(r);
    }
}

bool inputPending(LineReader& r) {
    if (r.start < r.end) return true;
    // The end, once read, is no longer news: a poll loop must not spin on it.
    if (r.atEnd) return false;
    // Hang-up and errors count as pending: the read that follows reports the end of input.
    return inputWaiting(r.fd);
}

bool inputPending() { return inputPending(standardInput()); }

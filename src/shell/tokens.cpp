#include "shell/tokens.h"

#include <algorithm>
#include <cstdio>

namespace {

bool writeFailed = false;

inline bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

const char* skipSign(const char* p) {
    while (isBlank(*p)) p++;
    return *p == '-' || *p == '+' ? p + 1 : p;
}

}  // namespace

void flushOutput() {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) writeFailed = true;
}

bool outputFailed() { return writeFailed; }

int64_t parseInteger64(const char* text) {
    // Accumulating stops at the 64-bit range, so a long run of digits cannot overflow.
    constexpr uint64_t Limit = uint64_t(INT64_MAX) + 1;
    const char* p = skipSign(text);
    const bool negative = p > text && p[-1] == '-';
    uint64_t v = 0;
    for (; *p >= '0' && *p <= '9'; p++) {
        const uint64_t digit = uint64_t(*p - '0');
        v = v > (Limit - digit) / 10 ? Limit : v * 10 + digit;
    }
    if (negative) return v == Limit ? INT64_MIN : -int64_t(v);
    return int64_t(std::min(v, Limit - 1));
}

int32_t parseInteger(const char* text) {
    return int32_t(std::clamp<int64_t>(parseInteger64(text), INT32_MIN, INT32_MAX));
}

bool isNumber(const char* text) {
    const char* p = skipSign(text);
    return *p >= '0' && *p <= '9';
}

int readTokens(LineReader& in, TokenLine& line) {
    line.count = 0;
    line.tokens.clear();
    const char* text;
    size_t length;
    if (!readLine(in, text, length)) return END_OF_INPUT;
    // A NUL byte ends the line, as it would end any C string.
    length = strnlen(text, length);
    // The tokens get their own copy, so they stay valid while the reader reads on (the in-search
    // input check reads standard input under a running go).
    line.text.assign(text, text + length);
    line.text.push_back('\0');
    char* p = line.text.data();
    for (;;) {
        while (isBlank(*p)) p++;
        if (!*p) break;
        line.tokens.push_back(p);
        while (*p && !isBlank(*p)) p++;
        if (!*p) break;
        *p++ = '\0';
    }
    line.count = int(line.tokens.size());
    return line.count;
}

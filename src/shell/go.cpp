#include "shell/go.h"

#include <algorithm>

#include "shell/driver.h"

namespace {

// A time that does not fit the clock's 32 bits is as good as unlimited.
inline int32_t toTime(int64_t ms) { return int32_t(std::clamp<int64_t>(ms, 0, INT32_MAX)); }

}  // namespace

GoLimits goLimits(int sideToMove, const TokenLine& line) {
    constexpr int64_t Absent = -1;
    int64_t depth = Absent, wtime = Absent, btime = Absent, winc = Absent, binc = Absent;
    int64_t movestogo = Absent, movetime = Absent;
    bool hold = false;
    struct Keyword {
        const char* word;
        int64_t* value;
        bool isTime;  // a negative time counts as none left, not as no clock
    };
    const Keyword keywords[] = {{"depth", &depth, false},     {"wtime", &wtime, true},
                                {"btime", &btime, true},      {"winc", &winc, false},
                                {"binc", &binc, false},       {"movestogo", &movestogo, false},
                                {"movetime", &movetime, true}};
    for (int i = 1; i < line.count; i++) {
        if (isWord(line[i], "infinite") || isWord(line[i], "ponder")) hold = true;
        // A keyword without a value after it is absent.
        if (i + 1 >= line.count) continue;
        for (const Keyword& k : keywords) {
            if (!isWord(line[i], k.word)) continue;
            const int64_t v = parseInteger(line[i + 1]);
            *k.value = k.isTime ? std::max<int64_t>(v, 0) : v;
        }
    }

    const int64_t time = sideToMove == White ? wtime : btime;
    int64_t inc = sideToMove == White ? winc : binc;
    if (movestogo <= 0 || movestogo > 25) movestogo = 25;
    if (inc < 0) inc = 0;

    GoLimits limits;
    if (depth >= 0) {
        limits.depthLimited = 1;
        limits.depthLimit = int32_t(depth);
    }
    if (movetime >= 0) {
        // Five times the move time: only the hard limit ends such a search.
        limits.timeLimited = 1;
        limits.hardTime = toTime(movetime * 100 / 100);
        limits.softTime = toTime(movetime * 500 / 100);
    } else if (time >= 0) {
        limits.timeLimited = 1;
        const int64_t available = std::max<int64_t>(time * 95 / 100 - 1000, 0);
        const int64_t total = available + inc * (movestogo - 1);
        const int64_t soft = std::min(available, total / movestogo * 100 / 100);
        limits.softTime = toTime(soft);
        limits.hardTime = toTime(std::min(available, std::max(soft, total * 50 / 100)));
    }
    limits.holdBestMove = hold;
    return limits;
}

void parseGo(SearchThread& thread, const TokenLine& line) {
    if (line.count < 2 || !isWord(line[0], "go")) return;
    const GoLimits l = goLimits(thread.position.sideToMove, line);
    startSearch(thread, l.holdBestMove, l.depthLimited, l.depthLimit, l.timeLimited, l.softTime,
                l.hardTime);
}

#include "search/timeman.h"

#include <algorithm>

namespace {

// A time that does not fit the clock's 32 bits is as good as unlimited.
inline int32_t toTime(int64_t ms) { return int32_t(std::clamp<int64_t>(ms, 0, INT32_MAX)); }

}  // namespace

int64_t clockReserve(int64_t time, int64_t moveOverhead) {
    return time - time * 95 / 100 + moveOverhead;
}

void allocateTime(GoLimits& limits, const GoClock& clock, int64_t moveOverhead) {
    int64_t movesToGo = clock.movesToGo;
    if (movesToGo <= 0 || movesToGo > 25) movesToGo = 25;
    const int64_t inc = std::max<int64_t>(clock.inc, 0);
    if (clock.moveTime >= 0) {
        // Five times the move time: only the hard limit ends such a search.
        limits.timeLimited = 1;
        limits.hardTime = toTime(clock.moveTime * 100 / 100);
        limits.softTime = toTime(clock.moveTime * 500 / 100);
    } else if (clock.time >= 0) {
        limits.timeLimited = 1;
        const int64_t available =
            std::max<int64_t>(clock.time - clockReserve(clock.time, moveOverhead), 0);
        // The overhead is spent again on every move, so it counts against each increment too:
        // with an increment below it the clock is planned alone, and at the end of a fast game
        // it settles well above the reserve instead of at it, where one slow answer would lose.
        const int64_t total =
            available + std::max<int64_t>(inc - moveOverhead, 0) * (movesToGo - 1);
        // A clock above the reserve always buys some search: a zero budget would play the first
        // iteration's move however much time is left.
        const int64_t soft = std::min(available, std::max<int64_t>(total / movesToGo, 1));
        limits.softTime = toTime(soft);
        limits.hardTime = toTime(std::min(available, std::max(soft, total * 50 / 100)));
    }
}

bool clockEndsSearch(const SearchThread& thread, int64_t elapsed) {
    const SearchState& s = thread.state;
    // A search whose answer is withheld keeps its clock from ponderhit on only.
    if (!thread.limits.timeLimited || s.holdBestMove) return false;
    const int64_t soft = thread.limits.softTime;
    // One move stood out in the first iteration and nothing has changed that since.
    if (elapsed >= soft * 20 / 100 && s.easyMove) return true;
    // The best move held and its score did not drop: the next iteration would likely not end.
    if (elapsed >= soft * 60 / 100 && !s.previousScoreDropped && !s.rootResearched) return true;
    return elapsed >= soft && !s.previousScoreDropped;
}

bool clockStopsIteration(const SearchThread& thread, int64_t elapsed) {
    const SearchState& s = thread.state;
    if (!thread.limits.timeLimited || s.holdBestMove) return false;
    if (elapsed >= thread.limits.hardTime) return true;
    // After a ponderhit the planned time may already be gone: the iteration ends early when the
    // first move stands and the score holds.
    return elapsed >= thread.limits.softTime && !s.scoreDropped && !s.previousScoreDropped &&
           s.rootMoveIndex == 0 && s.ponderHit;
}

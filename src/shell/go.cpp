#include "shell/go.h"

#include <algorithm>

#include "board/legal.h"
#include "board/notation.h"
#include "search/driver.h"
#include "search/strength.h"
#include "search/timeman.h"
#include "shell/options.h"
#include "shell/report.h"
#include "shell/session.h"

namespace {

// Every word that may follow go; a searchmoves list runs up to the next of them.
const char* const GoKeywords[] = {"depth",    "wtime",    "btime",  "winc",  "binc", "movestogo",
                                  "movetime", "infinite", "ponder", "nodes", "mate", "searchmoves"};

bool isGoKeyword(const char* token) {
    for (const char* k : GoKeywords)
        if (isWord(token, k)) return true;
    return false;
}

// The legal moves that tokens first.. up to the next keyword name, kept in generation order.
// Texts that name no legal move are skipped.
int rootRestriction(Position& pos, const TokenLine& line, int first, Move* out) {
    Move listed[MAX_MOVES];
    int listedCount = 0;
    for (int i = first; i < line.count && !isGoKeyword(line[i]); i++) {
        const Move m = textToMove(pos, line[i]);
        if (m != NO_MOVE && listedCount < MAX_MOVES) listed[listedCount++] = m;
    }
    if (listedCount == 0) return 0;
    Move legal[MAX_MOVES];
    const int n = generateLegal(pos, legal);
    int count = 0;
    for (int i = 0; i < n; i++)
        if (std::find(listed, listed + listedCount, legal[i]) != listed + listedCount)
            out[count++] = legal[i];
    return count;
}

// Under nodestime the engine keeps each side's clock itself, in nodes: from the first clocked go
// of a game on, the clock is the lower of the go line's and its own (what it had, less the nodes
// searched, plus the increment). A GUI's clock runs on real time and so differs between two
// plays of one game; this one does not, and while the engine searches faster than the given
// rate it is the lower, so the game replays move for move. -1: not started. A side's clock starts
// again from the go line's at a new time-control period (movestogo higher than at that side's last
// go), at a position that does not continue the last search's (a new game, a takeback), at
// ucinewgame and when nodestime changes: decided by the commands alone, never by real time.
int64_t nodeClock[2] = {-1, -1};
int64_t lastMovesToGo[2] = {INT64_MAX, INT64_MAX};  // absent: the rest of the game
uint64_t lastSearchedKey = 0;                       // the last go's root; 0: none
int64_t keptAtRate = 0;                             // the nodestime the clocks were kept at
struct NodeClockUse {
    int side = -1;  // the side whose clock the current go line reads; -1: none
    int64_t nodes = 0;
    int64_t incNodes = 0;
};
NodeClockUse nodeClockUse;

// The go line's clock for the side to move, in milliseconds of nodestime.
void applyNodeClock(GoClock& clock, Colour side) {
    nodeClockUse = {};
    const int64_t rate = settings.nodesTime;
    if (rate != keptAtRate) resetNodeClocks();
    keptAtRate = rate;
    if (rate <= 0 || clock.time < 0) return;
    const int s = side == White ? 0 : 1;
    const int64_t movesToGo = clock.movesToGo > 0 ? clock.movesToGo : INT64_MAX;
    if (movesToGo > lastMovesToGo[s]) nodeClock[s] = -1;
    lastMovesToGo[s] = movesToGo;
    // Clock values beyond any game's length saturate rather than overflow.
    constexpr int64_t Longest = int64_t(1) << 40;
    int64_t nodes = std::min(clock.time, Longest) * rate;
    if (nodeClock[s] >= 0) nodes = std::min(nodes, nodeClock[s]);
    nodeClockUse = {s, nodes, std::clamp<int64_t>(clock.inc, 0, Longest) * rate};
    clock.time = nodes / rate;
}

}  // namespace

void resetNodeClocks() {
    nodeClock[0] = nodeClock[1] = -1;
    lastMovesToGo[0] = lastMovesToGo[1] = INT64_MAX;
}

uint64_t lastSearchedRoot() { return lastSearchedKey; }

GoLimits goLimits(Position& pos, const TokenLine& line) {
    constexpr int64_t Absent = -1;
    int64_t depth = Absent, wtime = Absent, btime = Absent, winc = Absent, binc = Absent;
    int64_t movestogo = Absent, movetime = Absent, nodes = Absent, mate = Absent;
    bool hold = false;
    GoLimits limits;
    struct Keyword {
        const char* word;
        int64_t* value;
        bool isTime;   // a negative time counts as none left, not as no clock
        bool isCount;  // 64 bits; a negative or non-numeric count is ignored
    };
    const Keyword keywords[] = {
        {"depth", &depth, false, false},      {"wtime", &wtime, true, false},
        {"btime", &btime, true, false},       {"winc", &winc, false, false},
        {"binc", &binc, false, false},        {"movestogo", &movestogo, false, false},
        {"movetime", &movetime, true, false}, {"nodes", &nodes, false, true},
        {"mate", &mate, false, true}};
    for (int i = 1; i < line.count; i++) {
        if (isWord(line[i], "infinite") || isWord(line[i], "ponder")) hold = true;
        if (isWord(line[i], "searchmoves"))
            limits.searchMoveCount = rootRestriction(pos, line, i + 1, limits.searchMoves);
        // A keyword without a value after it is absent.
        if (i + 1 >= line.count) continue;
        for (const Keyword& k : keywords) {
            if (!isWord(line[i], k.word)) continue;
            if (k.isCount) {
                // An unusable value leaves what an earlier one of the keyword set.
                const int64_t v = isNumber(line[i + 1]) ? parseInteger64(line[i + 1]) : Absent;
                if (v >= 0) *k.value = v;
                continue;
            }
            const int64_t v = parseInteger(line[i + 1]);
            *k.value = k.isTime ? std::max<int64_t>(v, 0) : v;
        }
    }

    if (depth >= 0) {
        limits.depthLimited = 1;
        limits.depthLimit = int32_t(depth);
    }
    GoClock clock;
    clock.time = pos.sideToMove == White ? wtime : btime;
    clock.inc = pos.sideToMove == White ? winc : binc;
    clock.movesToGo = movestogo;
    clock.moveTime = movetime;
    applyNodeClock(clock, Colour(pos.sideToMove));
    allocateTime(limits, clock, settings.moveOverhead);
    if (settings.nodesTime > 0) limits.nodesPerMs = uint64_t(settings.nodesTime);
    if (nodes >= 0) {
        limits.nodesLimited = 1;
        limits.nodeLimit = uint64_t(nodes);
    }
    // A mate in no moves is never found: such a search runs as one without the keyword.
    if (mate > 0) limits.mateLimit = int32_t(std::min<int64_t>(mate, INT32_MAX));
    limits.holdBestMove = hold;
    limits.multiPv = settings.multiPv;
    // At the top of the scale the engine plays at full strength.
    if (settings.limitStrength && settings.elo < MAX_ELO) {
        limits.strengthElo = settings.elo;
        const uint64_t counters = uint64_t(gamesStarted) << 32 | limitedSearches++;
        limits.strengthSeed = pos.hashKey() ^ counters * 0x9e3779b97f4a7c15ull;
    }
    return limits;
}

void parseGo(SearchThread& thread, const TokenLine& line) {
    if (line.count < 2 || !isWord(line[0], "go")) return;
    static GoLimits limits;  // large (the root list), and go does not nest
    limits = goLimits(thread.position, line);
    lastSearchedKey = positionValid ? thread.position.hashKey() : 0;
    startSearch(thread, limits, &guiHooks(), positionValid);
    // A pondering search's nodes before ponderhit are not the clock's: its side's clock is read
    // from the next go line again.
    if (nodeClockUse.side >= 0) {
        const int64_t left = nodeClockUse.nodes - int64_t(searchNodes(thread));
        nodeClock[nodeClockUse.side] =
            limits.holdBestMove ? -1 : std::max<int64_t>(left, 0) + nodeClockUse.incNodes;
    }
}

#include "search/tablebase.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>
#include <string>

#include "board/attacks.h"
#include "board/legal.h"
#include "board/makemove.h"
#include "board/notation.h"

#if KESTRUN_SYZYGY
#include <tbprobe.h>
#endif

TablebaseRules tablebaseRules;

namespace {

struct Configured {
    int probeDepth = 1;  // plies
    bool rule50 = true;
    int probeLimit = 7;
    int loadedPieces = 0;  // the largest tables loaded, 0: none
};
Configured configured;

void updateRules() {
    tablebaseRules.probePieces = std::min(configured.loadedPieces, configured.probeLimit);
    tablebaseRules.probeDepth = 4 * configured.probeDepth;
    tablebaseRules.rule50 = configured.rule50;
}

#if KESTRUN_SYZYGY

// The library knows no castling: a position where either side may still castle is not probed.
bool probeable(const Position& pos) {
    for (int colour = 0; colour < 2; colour++)
        for (int wing : {KING_SIDE, QUEEN_SIDE})
            if (castlingRight(pos, colour, wing)) return false;
    return true;
}

// Results of the library's scale, from the side to move's point of view.
enum Wdl { Loss = 0, BlessedLoss = 1, Draw = 2, CursedWin = 3, Win = 4, Failed = -1 };

// Without the fifty-move rule a cursed win is a win and a blessed loss a loss.
int effectiveWdl(int wdl) {
    if (tablebaseRules.rule50) return wdl;
    return wdl == CursedWin ? Win : wdl == BlessedLoss ? Loss : wdl;
}

// A cursed win is a draw under the fifty-move rule, but a draw the opponent can still lose by a
// slip: it scores just above a plain draw, a blessed loss just below.
int scoreOfWdl(int wdl, int ply) {
    switch (effectiveWdl(wdl)) {
        case Win:
            return TABLE_WIN - ply;
        case CursedWin:
            return 1;
        case BlessedLoss:
            return -1;
        case Loss:
            return -TABLE_WIN + ply;
        default:
            return 0;
    }
}

struct Boards {
    uint64_t white, black, kings, queens, rooks, bishops, knights, pawns;
    unsigned ep;
    bool whiteToMove;
};

Boards boardsOf(const Position& pos) {
    const ColourBlock& w = pos.side[0];
    const ColourBlock& b = pos.side[1];
    auto both = [&](int type) { return w.bb[type] | b.bb[type]; };
    return {w.occupied,
            b.occupied,
            bit(w.kingSquare) | bit(b.kingSquare),
            both(Queen),
            both(Rook),
            both(Bishop),
            both(Knight),
            both(Pawn),
            pos.epSquare == NO_SQUARE ? 0u : unsigned(pos.epSquare),
            pos.sideToMove == White};
}

int wdlOf(const Boards& p) {
    const unsigned r = tb_probe_wdl(p.white, p.black, p.kings, p.queens, p.rooks, p.bishops,
                                    p.knights, p.pawns, 0, 0, p.ep, p.whiteToMove);
    return r == TB_RESULT_FAILED ? Failed : int(r);
}

// A position of a table's material (its name, KRPvKR) with White to move, not in check and with
// no capture: probing it opens that table and no other. False when the name is not a table's.
bool positionOfName(const std::string& name, Boards& p) {
    const size_t v = name.find('v');
    if (v == std::string::npos || name.size() > 8 || name[0] != 'K' || v + 1 >= name.size() ||
        name[v + 1] != 'K')
        return false;
    std::string pieces = name.substr(1, v - 1);
    for (char c : name.substr(v + 2)) pieces += char(std::tolower(c));
    if (pieces.find_first_not_of("QRBNPqrbnp") != std::string::npos) return false;
    uint64_t seed = 0x9e3779b97f4a7c15ULL;
    auto random = [&](int n) {
        seed ^= seed << 13, seed ^= seed >> 7, seed ^= seed << 17;
        return int(seed % uint64_t(n));
    };
    for (int attempt = 0; attempt < 1000; attempt++) {
        char board[64] = {};
        board[random(64)] = 'K';
        for (char c : "k" + pieces) {
            const bool pawn = c == 'P' || c == 'p';
            int s;
            do s = pawn ? 8 + random(48) : random(64);
            while (board[s]);
            board[s] = c;
        }
        std::string fen;
        for (int rank = 7; rank >= 0; rank--) {
            for (int file = 0, empty = 0; file < 8; file++) {
                const char c = board[8 * rank + file];
                if (c && empty) fen += char('0' + empty), empty = 0;
                if (c)
                    fen += c;
                else if (++empty, file == 7)
                    fen += char('0' + empty);
            }
            fen += rank ? '/' : ' ';
        }
        Position pos;
        if (!readFenText(pos, (fen + "w - -").c_str()) || inCheck(pos)) continue;
        Move moves[MAX_MOVES];
        const int n = generateLegal(pos, moves);
        if (n == 0 || std::any_of(moves, moves + n, isCapture)) continue;
        p = boardsOf(pos);
        return true;
    }
    return false;
}

// The library reads a table's header the first time a position of it is probed, and with no lock
// of its own. Probing one position of every table now, before any search, leaves the threads
// nothing but reads. Returns how many tables answered.
int openEveryTable(const char* path) {
    std::set<std::string> names;
    const std::string folders = path;
    for (size_t start = 0; start <= folders.size();) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        const std::string folder = folders.substr(start, end - start);
        start = end + 1;
        DIR* dir = folder.empty() ? nullptr : opendir(folder.c_str());
        if (!dir) continue;
        while (const dirent* entry = readdir(dir)) {
            const std::string file = entry->d_name;
            const size_t dot = file.size() > 5 ? file.size() - 5 : 0;
            if (dot > 0 && file.compare(dot, 5, ".rtbw") == 0) names.insert(file.substr(0, dot));
        }
        closedir(dir);
    }
    int found = 0;
    for (const std::string& name : names) {
        Boards p;
        if (!positionOfName(name, p) || popCount(p.white | p.black) > int(TB_LARGEST)) continue;
        if (wdlOf(p) != Failed) found++;
    }
    return found;
}

int promotionCode(Move m) {
    switch (movePromotion(m)) {
        case Queen:
            return TB_PROMOTES_QUEEN;
        case Rook:
            return TB_PROMOTES_ROOK;
        case Bishop:
            return TB_PROMOTES_BISHOP;
        case Knight:
            return TB_PROMOTES_KNIGHT;
        default:
            return TB_PROMOTES_NONE;
    }
}

// Each move's result and distance to zeroing from the library's root probe, which counts the
// fifty-move rule from the position's half-move clock. False when the probe fails (no distance
// tables) or does not name every move.
bool rootResults(const Position& pos, const Move* moves, int n, int* wdl, int* dtz) {
    const Boards p = boardsOf(pos);
    unsigned results[TB_MAX_MOVES];
    const unsigned r = tb_probe_root(
        p.white, p.black, p.kings, p.queens, p.rooks, p.bishops, p.knights, p.pawns,
        unsigned(std::clamp(pos.halfmoveClock, 0, 1000)), 0, p.ep, p.whiteToMove, results);
    if (r == TB_RESULT_FAILED || r == TB_RESULT_CHECKMATE || r == TB_RESULT_STALEMATE) return false;
    std::fill_n(wdl, n, int(Failed));
    for (int k = 0; k < TB_MAX_MOVES && results[k] != TB_RESULT_FAILED; k++) {
        const unsigned res = results[k];
        for (int i = 0; i < n; i++)
            if (moveFrom(moves[i]) == int(TB_GET_FROM(res)) &&
                moveTo(moves[i]) == int(TB_GET_TO(res)) &&
                promotionCode(moves[i]) == int(TB_GET_PROMOTES(res))) {
                wdl[i] = int(TB_GET_WDL(res));
                dtz[i] = int(TB_GET_DTZ(res));
            }
    }
    return std::none_of(wdl, wdl + n, [](int w) { return w == Failed || w > Win; });
}

// Without distance tables: each move's result from the win/draw/loss table of the position it
// reaches. That table cannot see the half-move clock, so a win it reports may still fall to the
// fifty-move rule.
bool rootResultsWithoutDistance(Position& pos, const Move* moves, int n, int* wdl, int* dtz) {
    for (int i = 0; i < n; i++) {
        UndoRecord undo;
        makeMove(pos, undo, moves[i]);
        const int reply = probeable(pos) ? wdlOf(boardsOf(pos)) : Failed;
        unmakeMove(pos, undo, moves[i]);
        if (reply == Failed) return false;
        wdl[i] = Win - reply;
        dtz[i] = 0;
    }
    return true;
}

// Letting tables go, the library writes a line to standard error for each one it never opened,
// and one for each broken table it meets (which it also reports as an info string): nothing a
// GUI should show. Standard error goes to /dev/null while the tables load.
struct QuietErrors {
    int saved;
    QuietErrors() {
        std::fflush(stderr);
        saved = dup(2);
        const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (null >= 0) {
            dup2(null, 2);
            close(null);
        }
    }
    ~QuietErrors() {
        std::fflush(stderr);
        if (saved < 0) return;
        dup2(saved, 2);
        close(saved);
    }
};

#endif

}  // namespace

int loadTablebases(const char* path) {
    int found = 0;
#if KESTRUN_SYZYGY
    const bool none = !*path || std::string(path) == "<empty>";
    QuietErrors quiet;
    tb_init(none ? "" : path);
    if (!none && TB_LARGEST > 0) found = openEveryTable(path);
    configured.loadedPieces = found > 0 ? int(TB_LARGEST) : 0;
#else
    (void)path;
#endif
    updateRules();
    return found;
}

void setTablebaseOptions(int probeDepth, bool rule50, int probeLimit) {
    configured.probeDepth = probeDepth;
    configured.rule50 = rule50;
    configured.probeLimit = probeLimit;
    updateRules();
}

int tablebasePieces() { return configured.loadedPieces; }

int probeWdl(const Position& pos, int ply) {
#if KESTRUN_SYZYGY
    if (!probeable(pos)) return NO_SCORE;
    const int wdl = wdlOf(boardsOf(pos));
    return wdl == Failed ? NO_SCORE : scoreOfWdl(wdl, ply);
#else
    (void)pos;
    (void)ply;
    return NO_SCORE;
#endif
}

int rankRootMoves(Position& pos, Move* moves, int n, int& tableScore) {
#if KESTRUN_SYZYGY
    if (n == 0 || popCount(pos.occupancy()) > tablebaseRules.probePieces || !probeable(pos))
        return n;
    int wdl[MAX_MOVES], dtz[MAX_MOVES];
    if (!rootResults(pos, moves, n, wdl, dtz) &&
        !rootResultsWithoutDistance(pos, moves, n, wdl, dtz))
        return n;
    for (int i = 0; i < n; i++) wdl[i] = effectiveWdl(wdl[i]);
    const int best = *std::max_element(wdl, wdl + n);
    // A win zeroes the clock soonest first, a loss holds out longest first; the search then
    // chooses among the moves that keep the result, in this order where its scores tie.
    int order[MAX_MOVES];
    int kept = 0;
    for (int i = 0; i < n; i++)
        if (wdl[i] == best) order[kept++] = i;
    std::stable_sort(order, order + kept, [&](int a, int b) {
        return best >= CursedWin ? dtz[a] < dtz[b] : best <= BlessedLoss ? dtz[a] > dtz[b] : false;
    });
    Move keptMoves[MAX_MOVES];
    for (int i = 0; i < kept; i++) keptMoves[i] = moves[order[i]];
    std::copy_n(keptMoves, kept, moves);
    tableScore = scoreOfWdl(best, 1);
    return kept;
#else
    (void)pos;
    (void)moves;
    (void)tableScore;
    return n;
#endif
}

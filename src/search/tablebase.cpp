#include "search/tablebase.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "board/attacks.h"
#include "board/legal.h"
#include "board/makemove.h"
#include "board/notation.h"

#if KESTRUN_SYZYGY
#include <tbprobe.h>

#include "platform/library.h"
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

// The library is opened when tables are first asked for, so that the engine starts and plays
// without it. The entry points have the types its header gives them.
struct Fathom {
    decltype(&tb_init) init = nullptr;
    decltype(&tb_probe_wdl_impl) probeWdl = nullptr;
    decltype(&tb_probe_root_impl) probeRoot = nullptr;
    const unsigned* largest = nullptr;  // TB_LARGEST: the most pieces of the loaded tables
};
Fathom fathom;
std::string notice;  // what the last load has to tell the user, "" for nothing

// What the library writes to standard error, none of it for the user: a line for each table it
// lets go without having opened it, and one for each broken table it meets (the stdout line it
// also prints for a table cut short stays, as an info string).
constexpr const char* FATHOM_NOISE[] = {"munmap: ", "Corrupted table.",
                                        "Incomplete tablebase file ", "Could not map ", nullptr};

// Opens the library once; false, with the reason in notice, while it cannot be used.
bool openFathom() {
    if (fathom.init) return true;
    // A test, or a user with the library elsewhere, may name another file.
    const char* named = std::getenv("KESTRUN_FATHOM_LIBRARY");
    const std::string file = named && *named ? named : libraryFile("fathom", 1);
    std::string error;
    const Library library = openLibrary(file.c_str(), error);
    if (!library.handle) {
        notice = "Syzygy tables not loaded: the fathom library could not be opened (" + error + ")";
        return false;
    }
    Fathom f;
    const char* missing = nullptr;
    auto find = [&](auto& entry, const char* name) {
        entry = reinterpret_cast<std::remove_reference_t<decltype(entry)>>(
            librarySymbol(library, name));
        if (!entry && !missing) missing = name;
    };
    find(f.init, "tb_init");
    find(f.probeWdl, "tb_probe_wdl_impl");
    find(f.probeRoot, "tb_probe_root_impl");
    find(f.largest, "TB_LARGEST");
    if (missing) {
        notice = "Syzygy tables not loaded: the fathom library " + file + " has no " + missing +
                 " (another version?)";
        return false;
    }
    dropErrorLines(FATHOM_NOISE);
    fathom = f;
    return true;
}

unsigned largestTable() { return fathom.largest ? *fathom.largest : 0; }

// What the library can take: no castling right (it knows none), no more pieces than its largest
// table, and an en-passant square only where a double push left one.
bool probeable(const Position& pos) {
    for (int colour = 0; colour < 2; colour++)
        for (int wing : {KING_SIDE, QUEEN_SIDE})
            if (castlingRight(pos, colour, wing)) return false;
    const int pieces = popCount(pos.occupancy());
    const int epRank = pos.sideToMove == White ? 5 : 2;
    return pieces >= 2 && pieces <= int(largestTable()) &&
           (pos.epSquare == NO_SQUARE || (pos.epSquare < 64 && rankOf(pos.epSquare) == epRank));
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
    const unsigned r = fathom.probeWdl(p.white, p.black, p.kings, p.queens, p.rooks, p.bishops,
                                       p.knights, p.pawns, p.ep, p.whiteToMove);
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

// The folders of a SyzygyPath value that the library can be given: ':' between them, blanks
// around each name dropped, and only names of folders that can be read, each once. Empty names
// (from a leading, trailing or doubled ':') are dropped: the library misreads them.
std::vector<std::string> tableFolders(const char* path) {
    std::vector<std::string> folders;
    const std::string text = path;
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find(':', start);
        if (end == std::string::npos) end = text.size();
        const size_t first = text.find_first_not_of(" \t", start);
        const size_t last = text.find_last_not_of(" \t", end - 1);
        const std::string folder = first < end && last != std::string::npos && last >= first
                                       ? text.substr(first, last + 1 - first)
                                       : "";
        start = end + 1;
        if (folder.empty() || folder == "<empty>" ||
            std::find(folders.begin(), folders.end(), folder) != folders.end())
            continue;
        std::vector<std::string> entries;
        if (folderEntries(folder.c_str(), entries)) folders.push_back(folder);
    }
    return folders;
}

// The tables in the folders, fewest pieces first, each with a position that probes it alone.
struct Table {
    std::string name;  // "KQvK": a letter a piece and the "v"
    Boards position;
    int pieces() const { return int(name.size()) - 1; }
};
using TableList = std::vector<Table>;

TableList tablesIn(const std::vector<std::string>& folders) {
    std::set<std::string> names;
    for (const std::string& folder : folders) {
        std::vector<std::string> files;
        folderEntries(folder.c_str(), files);
        for (const std::string& file : files) {
            const size_t dot = file.size() > 5 ? file.size() - 5 : 0;
            if (dot > 0 && file.compare(dot, 5, ".rtbw") == 0) names.insert(file.substr(0, dot));
        }
    }
    TableList list;
    for (const std::string& name : names) {
        Boards p;
        if (positionOfName(name, p)) list.push_back({name, p});
    }
    std::stable_sort(list.begin(), list.end(),
                     [](const Table& a, const Table& b) { return a.pieces() < b.pieces(); });
    return list;
}

// A table file with a sound header and corrupt contents can make the library read outside it and
// bring the process down, so every table is first probed, win/draw/loss and distance, in a copy
// of the process. Steps go by size: a table's probes also read the smaller tables its captures
// reach and the tables of its size its promotions reach.
struct Screening {
    const TableList* tables;
    const char* path;
};

void screenTables(void* context) {
    const Screening& s = *static_cast<const Screening*>(context);
    const TableList& t = *s.tables;
    fathom.init(s.path);
    const int n = int(t.size());
    for (int first = 0, last; first < n; first = last) {
        for (last = first; last < n && t[last].pieces() == t[first].pieces(); last++) {
            reportProgress(last);
            wdlOf(t[last].position);
        }
        for (int i = first; i < last; i++) {
            reportProgress(i);
            const Boards& p = t[i].position;
            unsigned results[TB_MAX_MOVES];
            fathom.probeRoot(p.white, p.black, p.kings, p.queens, p.rooks, p.bishops, p.knights,
                             p.pawns, 0, p.ep, p.whiteToMove, results);
        }
    }
}

// The library reads a table's header the first time a position of it is probed, and with no lock
// of its own. Probing one position of every table now, before any search, leaves the threads
// nothing but reads. Returns how many tables answered; tables from the size of a corrupt one on
// are left unread, and pieces tells the most pieces that can be probed.
int openEveryTable(const std::vector<std::string>& folders, const char* path, int& pieces) {
    const TableList tables = tablesIn(folders);
    Screening screening{&tables, path};
    const int crashed = runInCopy(screenTables, &screening, 10000);
    fathom.init(path);
    pieces = int(largestTable());
    if (crashed >= 0) {
        const Table& table = tables[crashed];
        pieces = std::min(pieces, table.pieces() - 1);
        notice = "Syzygy table " + table.name + " is corrupt: tables of " +
                 std::to_string(table.pieces()) + " pieces and more are not used";
    } else if (crashed == -2) {
        pieces = 0;
        notice = "Syzygy tables could not be checked: none is used";
    }
    int found = 0;
    for (const Table& table : tables)
        if (table.pieces() <= pieces && wdlOf(table.position) != Failed) found++;
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
    const unsigned r = fathom.probeRoot(
        p.white, p.black, p.kings, p.queens, p.rooks, p.bishops, p.knights, p.pawns,
        unsigned(std::clamp(pos.halfmoveClock, 0, 1000)), p.ep, p.whiteToMove, results);
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

#endif

}  // namespace

int loadTablebases(const char* path) {
    int found = 0;
#if KESTRUN_SYZYGY
    const std::vector<std::string> folders = tableFolders(path);
    notice.clear();
    configured.loadedPieces = 0;
    if (folders.empty()) {
        if (fathom.init) fathom.init("");
    } else if (!openFathom()) {
        found = -1;
    } else {
        std::string joined = folders[0];
        for (size_t i = 1; i < folders.size(); i++) joined += ":" + folders[i];
        int pieces = 0;
        found = openEveryTable(folders, joined.c_str(), pieces);
        configured.loadedPieces = found > 0 ? pieces : 0;
    }
#else
    (void)path;
#endif
    updateRules();
    return found;
}

const char* tablebaseNotice() {
#if KESTRUN_SYZYGY
    return notice.c_str();
#else
    return "";
#endif
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

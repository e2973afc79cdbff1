#include "board/legal.h"

#include "board/attacks.h"
#include "board/evasions.h"
#include "board/makemove.h"
#include "board/movegen.h"

template <Colour Us>
int generateLegal(Position& pos, Move* moves) {
    constexpr Colour Them = opposite(Us);
    Move all[MAX_MOVES];
    const int n = generateAll<Us>(pos, all);
    int kept = 0;
    for (int i = 0; i < n; i++) {
        UndoRecord undo;
        makeMove<Us>(pos, undo, all[i]);
        if (!isAttackedBy<Them>(pos, pos.block<Us>().kingSquare)) moves[kept++] = all[i];
        unmakeMove<Us>(pos, undo, all[i]);
    }
    return kept;
}

template <Colour Us>
uint64_t perftCount(Position& pos, int depth, PerftRoute route) {
    constexpr Colour Them = opposite(Us);
    Move moves[MAX_MOVES], quiet[MAX_MOVES];
    int n = 0, quiets = 0;
    if (route == PerftRoute::All) {
        n = generateAll<Us>(pos, moves);
    } else if (isAttackedBy<Them>(pos, pos.block<Us>().kingSquare)) {
        n = generateEvasions<Us>(pos, moves);
    } else {
        n = generateTactical<Us>(pos, moves);
        quiets = generateQuiet<Us>(pos, quiet);
    }
    uint64_t count = 0;
    for (int i = 0; i < n + quiets; i++) {
        const Move m = i < n ? moves[i] : quiet[i - n];
        UndoRecord undo;
        makeMove<Us>(pos, undo, m);
        // Pseudo-legal lists, evasions included (an en-passant capture may uncover the king).
        if (!isAttackedBy<Them>(pos, pos.block<Us>().kingSquare))
            count += depth < 2 ? 1 : perftCount<Them>(pos, depth - 1, route);
        unmakeMove<Us>(pos, undo, m);
    }
    return count;
}

template int generateLegal<White>(Position&, Move*);
template int generateLegal<Black>(Position&, Move*);
template uint64_t perftCount<White>(Position&, int, PerftRoute);
template uint64_t perftCount<Black>(Position&, int, PerftRoute);

// What alpha-beta and quiescence nodes share: the evaluation for the mover, and the draw and
// mate-distance tests every node starts with.
#pragma once

#include "board/move.h"
#include "board/position.h"
#include "board/tables.h"
#include "eval/evaluate.h"
#include "eval/see.h"
#include "search/draws.h"
#include "search/search.h"
#include "search/searchthread.h"

// The deepest ply a line of the current iteration has reached, for the GUI.
inline void noteSelectiveDepth(SearchThread& thread, int ply) {
    if (ply > thread.selDepth) thread.selDepth = ply;
}

// Counts a node towards the thread's next periodic check and runs the check when it is due.
inline void tickPoll(SearchThread& thread) {
    if (--thread.pollCountdown <= 0) {
        thread.pollCountdown = thread.checkInterval;
        periodicCheck(thread);
    }
}

// The extensions the root and principal-variation nodes share, in quarter plies: a recapture that
// wins material, a pawn to the seventh rank that does not lose it, and a passed-pawn move.
template <Colour Us>
inline int tacticalExtension(const Position& pos, Move m) {
    constexpr Colour Them = opposite(Us);
    constexpr int Seventh = Us == White ? 6 : 1;
    const int to = moveTo(m);
    int e = 0;
    if (to == pos.lastCaptureSquare && see<Us>(pos, m) > 0) e += 4;
    if (isPawnMove(m)) {
        if (rankOf(to) == Seventh && see<Us>(pos, m) >= 0) e += 4;
        if (!(PassedMask[colourIndex(Us)][to] & pos.block<Them>().bb[Pawn])) e += 4;
    }
    return e;
}

// The static evaluation from the mover's point of view; the window is the mover's.
template <Colour Us>
inline int evaluateFor(SearchThread& thread, int alpha, int beta) {
    if constexpr (Us == White)
        return evaluate(thread.position, *thread.materialTable, *thread.pawnTable, alpha, beta);
    else
        return -evaluate(thread.position, *thread.materialTable, *thread.pawnTable, -beta, -alpha);
}

// Asks for the evaluation's cache slots of the position m just reached, so they arrive while the
// node does its first tests. Only captures and pawn moves change the material or pawn key.
inline void prefetchEvalEntries(const SearchThread& thread, Move m) {
    if (!isCapture(m) && !isPawnMove(m)) return;
    const Position& pos = thread.position;
    __builtin_prefetch(&thread.pawnTable->entries[pos.pawnKey & (PAWN_TABLE_SIZE - 1)]);
    __builtin_prefetch(&thread.materialTable->entries[pos.materialKey & (MATERIAL_TABLE_SIZE - 1)]);
}

// Rule draws, material that cannot win and the mate-distance window. Returns true when the node
// is decided, with its score in `score`; otherwise may narrow the window.
template <Colour Us>
inline bool settledBeforeSearch(const Position& pos, int ply, int& alpha, int& beta, int& score) {
    constexpr Colour Them = opposite(Us);
    score = 0;
    if (pos.halfmoveClock >= 100) {
        if (isFiftyMoveDraw(pos)) return true;
    } else if (pos.halfmoveClock >= 4 && isRepetition(pos)) {
        return true;
    }

    if (pos.side[0].pieceCount <= 2 && pos.side[1].pieceCount <= 2) {
        const int chances = winningChances(pos);
        if (chances == 0) return true;
        // A side that cannot win can at best draw.
        if (!(chances & Them) && alpha < 0) {
            if (beta <= 0) return true;
            alpha = 0;
        }
        if (!(chances & Us) && beta > 0) {
            if (alpha >= 0) return true;
            beta = 0;
        }
    }

    // Neither side can do better than a mate from here.
    int m = ply - MATE;
    if (alpha < m) {
        if (m >= beta) return score = m, true;
        alpha = m;
    }
    m = MATE - 1 - ply;
    if (m < beta) {
        if (alpha >= m) return score = m, true;
        beta = m;
    }
    return false;
}

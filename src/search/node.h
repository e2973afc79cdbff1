// What alpha-beta and quiescence nodes share: the evaluation for the mover, and the draw and
// mate-distance tests every node starts with.
#pragma once

#include "board/position.h"
#include "eval/evaluate.h"
#include "search/draws.h"
#include "shell/searchthread.h"

// The static evaluation from the mover's point of view; the window is the mover's.
template <Colour Us>
inline int evaluateFor(SearchThread& thread, int alpha, int beta) {
    if constexpr (Us == White)
        return evaluate(thread.position, *thread.materialTable, *thread.pawnTable, alpha, beta);
    else
        return -evaluate(thread.position, *thread.materialTable, *thread.pawnTable, -beta, -alpha);
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

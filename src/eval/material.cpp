#include "eval/material.h"

namespace {

struct Side {
    int pawns, knights, bishops, rooks, queens, pieces;
    int units, majors, minors;
};

Side sideOf(const ColourBlock& b) {
    Side s;
    s.pawns = b.count[Pawn];
    s.knights = b.count[Knight];
    s.bishops = b.count[Bishop];
    s.rooks = b.count[Rook];
    s.queens = b.count[Queen];
    s.pieces = b.pieceCount;
    s.units = s.knights + s.bishops + 2 * s.rooks + 4 * s.queens;
    s.majors = s.rooks + 2 * s.queens;
    s.minors = s.knights + s.bishops;
    return s;
}

// Without pawns little material cannot win, and a small edge in pieces rarely does.
int pawnlessScale(const Side& us, const Side& them) {
    if (us.units == 1) return 0;
    if (us.units == 2) {
        if (us.knights == 2) return 0;
        if (us.bishops == 2 && them.units == 1 && them.knights == 1) return 8;
    }
    return us.units - them.units <= 1 && us.majors <= 2 ? 2 : 16;
}

}  // namespace

Score sideMaterial(const ColourBlock& block) {
    const Side s = sideOf(block);
    Score score;
    score.mg = 80 * s.pawns + 325 * (s.knights + s.bishops) + 500 * s.rooks + 1000 * s.queens;
    score.eg = score.mg + 10 * s.pawns;
    if (s.bishops >= 2) score += Score{50, 50};
    return score;
}

void evaluateMaterial(const Position& pos, MaterialEntry& entry) {
    Side w = sideOf(pos.side[0]), b = sideOf(pos.side[1]);

    Score balance = sideMaterial(pos.side[0]);
    balance -= sideMaterial(pos.side[1]);
    const int mg = balance.mg, eg = balance.eg;

    int p = 24 - (w.minors + b.minors) - 2 * (w.rooks + b.rooks) - 4 * (w.queens + b.queens);
    if (p < 0) p = 0;
    const int phase = (256 * p + 12) / 24;

    // The two factors are not mirror images: White's adjustments of Black's counts carry over
    // into Black's factor.
    int whiteScale = 16;
    if (w.pawns == 0) {
        whiteScale = pawnlessScale(w, b);
    } else if (w.pawns == 1) {
        bool adjusted = true;
        if (b.minors >= 1) {
            b.units -= 1;
        } else if (b.rooks >= 1) {
            b.units -= 2;
            b.majors -= 1;
        } else {
            adjusted = false;
        }
        if (adjusted) {
            if (w.units == 1 || (w.units == 2 && w.knights == 2))
                whiteScale = 4;
            else if (w.units - b.units <= 1 && w.majors <= 2)
                whiteScale = 8;
        }
    }

    int blackScale = 16;
    if (b.pawns == 0) {
        blackScale = pawnlessScale(b, w);
    } else if (b.pawns == 1) {
        bool adjusted = false;
        if (w.minors >= 1 || w.rooks >= 1) {
            if (b.units == 1) {
                blackScale = 4;
            } else {
                w.units -= w.minors >= 1 ? 1 : 2;
                adjusted = true;
            }
        }
        if (adjusted) {
            if (b.units == 2 && b.knights == 2)
                blackScale = 4;
            else if (b.units - w.units <= 1 && b.majors <= 2)
                blackScale = 8;
        }
    }

    if (w.pawns == 0 && b.pawns == 0 && w.pieces == 1 && b.pieces == 1 &&
        ((w.rooks == 1 && b.rooks == 1) || (w.queens == 1 && b.queens == 1)))
        whiteScale = blackScale = 0;

    uint8_t flags = 0;
    if (w.pieces == 1 && b.pieces == 1) {
        const int pawnDifference = w.pawns > b.pawns ? w.pawns - b.pawns : b.pawns - w.pawns;
        if (w.bishops == 1 && b.bishops == 1 && pawnDifference <= 2)
            flags = SCALING | OPPOSITE_BISHOPS;
        if (w.rooks == 1 && b.rooks == 1 && w.pawns + b.pawns == 1)
            flags |= SCALING | SINGLE_PAWN_ROOKS;
    }
    const bool scaled = whiteScale != 16 || blackScale != 16;
    if (w.pieces >= 1 && b.pieces >= 1)
        flags |= scaled ? SCALING : LAZY_EXIT;
    else if (scaled)
        flags |= SCALING;

    entry.key = pos.materialKey;
    entry.mg = int16_t(mg);
    entry.eg = int16_t(eg);
    entry.phase = int16_t(phase);
    entry.flags = flags;
    entry.whiteScale = uint8_t(whiteScale);
    entry.blackScale = uint8_t(blackScale);
}

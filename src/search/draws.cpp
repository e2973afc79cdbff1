#include "search/draws.h"

#include <cstdlib>

#include "board/attacks.h"
#include "board/evasions.h"
#include "board/tables.h"

namespace {

// A square given as the pawn's square plus an offset counts as beside or diagonally in front only
// on a file next to the pawn's: for a rook pawn the offset would wrap to the far edge.
inline bool isAt(int square, int pawn, int offset) {
    return square == pawn + offset && std::abs(fileOf(square) - fileOf(pawn)) == 1;
}

// The view in which the strong side is White and the pawn stands on files a..d.
struct StandardView {
    int pawn, strongKing, weakKing, bishop;
    bool strongToMove;
};

template <Colour Strong>
StandardView standardView(const Position& pos) {
    constexpr Colour Weak = opposite(Strong);
    const int flip = Strong == White ? 0 : 56;
    const ColourBlock& strong = pos.block<Strong>();
    StandardView v;
    v.pawn = lsb(strong.bb[Pawn]) ^ flip;
    const int mirror = fileOf(v.pawn) >= 4 ? 7 : 0;
    v.pawn ^= mirror;
    v.strongKing = strong.kingSquare ^ flip ^ mirror;
    v.weakKing = pos.block<Weak>().kingSquare ^ flip ^ mirror;
    v.bishop = strong.bb[Bishop] ? lsb(strong.bb[Bishop]) ^ flip ^ mirror : NO_SQUARE;
    v.strongToMove = pos.sideToMove == Strong;
    return v;
}

// A rook pawn with the defender in the corner, or shut out by the attacker's own king on the
// rook file.
bool rookPawnDraw(const StandardView& v) {
    const int P = v.pawn, K = v.strongKing, k = v.weakKing;
    if (fileOf(P) != 0) return false;
    if (KingDistance[k][56] <= 1) return true;
    if (fileOf(K) != 0) return false;
    const int r = rankOf(P) == 1 ? 2 : rankOf(P);
    return fileOf(k) == 2 && rankOf(k) > r;
}

bool kingPawnDraw(const StandardView& v) {
    const int P = v.pawn, K = v.strongKing, k = v.weakKing;
    const bool behind = isAt(K, P, -7) || isAt(K, P, -9);
    const bool beside = isAt(K, P, -1) || isAt(K, P, 1);
    if (k == P + 8) {
        if (rankOf(P) <= 5) return true;
        if (v.strongToMove == behind) return true;
    } else if (k == P + 16) {
        if (rankOf(P) <= 4 || !v.strongToMove) return true;
        if (!beside) return true;
    } else if (beside) {
        if (v.strongToMove && k == K + 16) return true;
    } else if (isAt(K, P, 7) || K == P + 8 || isAt(K, P, 9)) {
        if (v.strongToMove && rankOf(P) <= 3 && k == K + 16) return true;
    }
    return rookPawnDraw(v);
}

// The bishop does not control the rook pawn's promotion corner and the defender holds it.
bool wrongBishopDraw(const StandardView& v) {
    return fileOf(v.pawn) == 0 && KingDistance[v.weakKing][56] <= 1 && SquareColour[v.bishop] == 1;
}

// Clears Us's bit when Us, without pawns, cannot win; with a bare king, also judges the
// opponent's lone pawn (with at most a bishop beside it).
template <Colour Us>
void noPawnsFor(const Position& pos, int& chances) {
    constexpr Colour Them = opposite(Us);
    const ColourBlock& own = pos.block<Us>();
    const ColourBlock& their = pos.block<Them>();
    if (own.pieceCount == 0) {
        chances &= ~Us;
        if (their.count[Pawn] == 1) {
            if (their.pieceCount == 0 && kingPawnDraw(standardView<Them>(pos)))
                chances &= ~Them;
            else if (their.pieceCount == 1 && their.count[Bishop] == 1 &&
                     wrongBishopDraw(standardView<Them>(pos)))
                chances &= ~Them;
        }
    }
    if (own.pieceCount == 1 && (own.count[Bishop] == 1 || own.count[Knight] == 1)) chances &= ~Us;
    if (own.pieceCount == 2 && own.count[Knight] == 2) chances &= ~Us;
}

}  // namespace

bool isFiftyMoveDraw(const Position& pos) {
    if (pos.halfmoveClock > 100 || !inCheck(pos)) return true;
    Move moves[MAX_MOVES];
    return generateEvasions(pos, moves) > 0;
}

int winningChances(const Position& pos) {
    int chances = White | Black;
    if (pos.side[0].pieceCount >= 3 || pos.side[1].pieceCount >= 3) return chances;
    if (pos.block<White>().count[Pawn] == 0) noPawnsFor<White>(pos, chances);
    if (pos.block<Black>().count[Pawn] == 0) noPawnsFor<Black>(pos, chances);
    return chances;
}

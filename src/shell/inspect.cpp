#include "shell/inspect.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "board/attacks.h"
#include "board/legal.h"
#include "board/makemove.h"
#include "board/notation.h"
#include "eval/evaltrace.h"
#include "shell/session.h"
#include "shell/speed.h"
#include "shell/tokens.h"
#include "shell/wdl.h"

namespace {

// After a refused FEN there is nothing to show; the tools that ask wait for an answer.
bool havePosition() {
    if (positionValid) return true;
    std::printf("info string no position: the last position command was refused\n");
    flushOutput();
    return false;
}

constexpr const char* TermNames[EVAL_TERMS] = {
    "Material", "Side to move", "Pawns",        "Passed race", "Knights",      "Bishops",
    "Rooks",    "Queens",       "King squares", "King attack", "King shelter", "Patterns"};

// Centipawns as pawns with two decimals and a sign: "+0.26", "-1.05".
void printPawns(int centipawns) {
    std::printf("%c%d.%02d", centipawns < 0 ? '-' : '+', std::abs(centipawns) / 100,
                std::abs(centipawns) % 100);
}

void printTrace(const EvalTrace& t, bool checked) {
    if (checked)
        std::printf(
            "The side to move is in check: the search answers with its evasions, not "
            "with this static evaluation.\n\n");
    std::printf(
        "Internal units (each prints as 1.3 centipawns); each side's terms from its "
        "own view, Total = White - Black\n\n");
    std::printf("         Term |    White    |    Black    |    Total\n");
    std::printf("              |   MG    EG  |   MG    EG  |   MG    EG\n");
    std::printf(" -------------+-------------+-------------+-------------\n");
    Score sum;
    for (int term = 0; term < EVAL_TERMS; term++) {
        const Score w = t.terms[term][0], b = t.terms[term][1];
        const Score total{w.mg - b.mg, w.eg - b.eg};
        sum += total;
        std::printf(" %12s | %5d %5d | %5d %5d | %5d %5d\n", TermNames[term], w.mg, w.eg, b.mg,
                    b.eg, total.mg, total.eg);
    }
    std::printf(" -------------+-------------+-------------+-------------\n");
    if (t.drawnMaterial) {
        std::printf("        Total |             |             | %5d %5d\n\n", sum.mg, sum.eg);
        std::printf(
            "Neither side has the material to win: the evaluation is 0, without the "
            "positional terms\n");
        return;
    }
    std::printf("        Total |             |             | %5d %5d\n\n", t.total.mg, t.total.eg);
    std::printf("Phase %d of 256 (0 middlegame, 256 endgame): (%d x %d + %d x %d) / 256 = %d\n",
                t.phase, t.phase, t.total.eg, 256 - t.phase, t.total.mg, t.blended);
    const bool white = t.blended >= 1;
    const int factor = white ? t.whiteScale : t.blackScale;
    std::printf("Scale %d/16 (%s factor; White's %d, Black's %d): %d x %d / 16 = %d\n", factor,
                white ? "White's" : "Black's", t.whiteScale, t.blackScale, t.blended, factor,
                t.result);
}

}  // namespace

void evalCommand(SearchThread& thread) {
    if (!havePosition()) return;
    Position& pos = thread.position;
    setUpPosition(pos);
    EvalTrace trace;
    const int score = evaluateTraced(pos, *thread.materialTable, *thread.pawnTable, trace);
    printTrace(trace, inCheck(pos));
    std::printf("\nFinal evaluation ");
    printPawns(printedCentipawns(score));
    std::printf(" (white side)\n");
    flushOutput();
}

void displayCommand(SearchThread& thread) {
    if (!havePosition()) return;
    Position& pos = thread.position;
    setUpPosition(pos);
    const char* rule = " +---+---+---+---+---+---+---+---+\n";
    std::printf("\n%s", rule);
    for (int rank = 7; rank >= 0; rank--) {
        for (int file = 0; file < 8; file++) {
            std::printf(" | %c", pieceLetter(pos.board[8 * rank + file]));
        }
        std::printf(" | %d\n%s", rank + 1, rule);
    }
    std::printf("   a   b   c   d   e   f   g   h\n\n");
    char fen[FEN_SIZE];
    writeFen(pos, fullmoveNumber, fen);
    std::printf("Fen: %s\nKey: %016" PRIX64 "\nCheckers:", fen, pos.hashKey());
    const int king = pos.side[colourIndex(Colour(pos.sideToMove))].kingSquare;
    Bitboard checkers =
        pos.sideToMove == White ? attackersOf<Black>(pos, king) : attackersOf<White>(pos, king);
    while (checkers) {
        const int s = popLsb(checkers);
        std::printf(" %c%c", 'a' + fileOf(s), '1' + rankOf(s));
    }
    std::printf("\n");
    flushOutput();
}

void flipCommand(SearchThread& thread) {
    if (!havePosition()) return;
    Position& pos = thread.position;
    char fen[FEN_SIZE];
    writeFen(pos, fullmoveNumber, fen);
    // Mirrored as text and read back: the FEN reader sets up every derived field and castling
    // square, in either variant.
    char placement[FEN_SIZE] = "", side[2], castling[8] = "", ep[3] = "", halfmoves[16] = "";
    char ranks[8][9];
    int n = 0;
    const char* p = fen;
    for (int r = 0; r < 8; r++) {
        int k = 0;
        while (*p && *p != '/' && *p != ' ') ranks[r][k++] = *p++;
        ranks[r][k] = '\0';
        if (*p) p++;
    }
    std::sscanf(p, "%1s %7s %2s %15s", side, castling, ep, halfmoves);
    for (int r = 7; r >= 0; r--) {
        for (const char* c = ranks[r]; *c; c++)
            placement[n++] = *c >= 'a'   ? char(*c - 'a' + 'A')
                             : *c >= 'A' ? char(*c - 'A' + 'a')
                                         : *c;
        if (r) placement[n++] = '/';
    }
    placement[n] = '\0';
    side[0] = side[0] == 'w' ? 'b' : 'w';
    for (char* c = castling; *c; c++)
        if (*c != '-') *c = *c >= 'a' ? char(*c - 'a' + 'A') : char(*c - 'A' + 'a');
    if (ep[0] != '-') ep[1] = ep[1] == '3' ? '6' : '3';
    readFen(pos, placement, side, castling, ep, halfmoves, pos.chess960);
}

void perftCommand(SearchThread& thread, int depth) {
    if (!havePosition()) return;
    depth = depth < 1 ? 1 : depth > MAX_SPEED_DEPTH ? MAX_SPEED_DEPTH : depth;
    Position& pos = thread.position;
    setUpPosition(pos);
    Move moves[MAX_MOVES];
    const int n = generateLegal(pos, moves);
    uint64_t total = 0;
    for (int i = 0; i < n; i++) {
        UndoRecord undo;
        makeMove(pos, undo, moves[i]);
        const uint64_t count = depth == 1 ? 1 : perftCount(pos, depth - 1);
        unmakeMove(pos, undo, moves[i]);
        total += count;
        char text[6];
        moveToText(moves[i], text, &pos);
        std::printf("%s: %" PRIu64 "\n", text, count);
        flushOutput();
    }
    std::printf("\nNodes searched: %" PRIu64 "\n", total);
    flushOutput();
}

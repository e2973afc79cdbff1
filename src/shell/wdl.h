// Win, draw and loss odds for a score, as analysis boards show them beside it (UCI_ShowWDL).
#pragma once

// Permill from the side to move's view; the three sum to 1000.
struct Wdl {
    int win, draw, loss;
};

// The model's odds for a score as the lines print it (centipawns, the mover's view) at that move
// number of the game. Monotone in the score; a score and its negative give mirrored odds.
Wdl modelWdl(int centipawns, int moveNumber);

// A score as the lines print it, in centipawns: 1.3 times the internal score. Table wins print
// 20000 less the plies to the table position: decisive for a GUI but never read as a mate (GUIs
// keep scores in 16 bits and take 32767 cp or more for one), and above every evaluation.
constexpr int TABLE_WIN_PRINTED = 20000;
int printedCentipawns(int score);

// The odds of a search score: certain for a mate, and for a table win or loss; a draw when the
// root's table verdict (rootInTables) is a draw, a cursed win or a blessed loss; the model
// otherwise.
Wdl scoreWdl(int score, int moveNumber, bool rootInTables);

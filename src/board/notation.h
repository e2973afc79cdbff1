// FEN fields and coordinate move text.
#pragma once

#include "board/move.h"
#include "board/position.h"

// Sets pos from the first four FEN fields. The text is parsed into a scratch board and pos is
// written only when it holds a playable position; on refusal pos is left as it was and false is
// returned. Refused: a placement that is not exactly 8 ranks of 8 squares, a side without exactly
// one king, a pawn on the first or last rank, more than 15 of one piece kind of a colour, the
// side not to move in check, or more than two pieces giving check. An en-passant square that no
// double push can have left (the side to move would have been in check before it) or a castling
// right that the board cannot back is dropped.
// The half-move field (null when absent) sets the fifty-move count: a number of digits alone,
// clamped to MAX_HALFMOVE_CLOCK; a sign, any other character or nothing reads 0.
// In Chess960 the castling field may name rooks by file (Shredder-FEN) as well as by K and Q
// (the outermost rook on that wing), and the position keeps the mode for its move text.
bool readFen(Position& pos, const char* placement, const char* side, const char* castling,
             const char* enPassant, const char* halfmoves = nullptr, bool chess960 = false);

constexpr int MAX_HALFMOVE_CLOCK = 1000;

// readFen on one text holding the four fields separated by blanks; what follows them is ignored.
bool readFenText(Position& pos, const char* fen, bool chess960 = false);

// Room for any FEN writeFen writes, its NUL included.
constexpr int FEN_SIZE = 128;

// A piece code's FEN letter (P for a white pawn, k for a black king); a blank for an empty square.
char pieceLetter(int code);

// Writes the six FEN fields of pos, with fullmove as the move number. A Chess960 position names
// each castling rook by K or Q (k, q) when it is the outermost rook on its wing, else by its
// file, so that readFen grants exactly the same rights back.
void writeFen(const Position& pos, int fullmove, char* buffer);

// The legal move of the side to move that the text names, or 0. In Chess960 a castling is
// named as the king taking its own rook, and a king's step of two files is never a castling.
Move textToMove(Position& pos, const char* text);

// Writes 4 or 5 characters and a NUL; buffer holds at least 6 bytes. pos, when given, names the
// variant and, in Chess960, the castling rooks (any position of the same game will do); without
// it the text is standard chess.
void moveToText(Move m, char* buffer, const Position* pos = nullptr);
// Writes count (at least 1) moves joined by single blanks; buffer holds 6 bytes per move.
void pvToText(int count, const Move* moves, char* buffer, const Position* pos = nullptr);

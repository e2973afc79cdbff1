// The pseudo-legal generators: the fixed order they write in, the split into tactical and quiet
// moves, the fields of every word, and the castling and en-passant conditions.
#include "board/movegen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "board/attacks.h"
#include "board/board_helpers.h"
#include "board/makemove.h"
#include "board/perft_positions.h"
#include "board/validity.h"

using board_test::build;
using board_test::checkEveryNode;
using board_test::fromFen;
using board_test::listOf;
using board_test::mirrored;
using board_test::mirroredMove;
using board_test::movesText;
using board_test::moveText;
using board_test::promotionOrder;
using board_test::sq;

namespace {

using testing::AssertionFailure;
using testing::AssertionResult;
using testing::AssertionSuccess;

// Where a word stands in the generation order: king, queens, rooks, bishops, knights (each piece
// by square, its captures before its quiet moves, targets ascending), single pushes, double
// pushes, captures toward the a-file, toward the h-file (by target, promotions queen, knight,
// rook, bishop), en passant by capturer, castling king side then queen side. The tactical and
// quiet lists follow the same order, so each list must be strictly increasing in this key.
int orderKey(Move m) {
    const int f = moveFrom(m), t = moveTo(m), type = moveType(m);
    int stage, key;
    if (type == King && moveSpecial(m)) {
        stage = fileOf(t) == 6 ? 10 : 11;
        key = 0;
    } else if (type != Pawn) {
        stage = 6 - type;  // king 0, queen 1, rook 2, bishop 3, knight 4
        key = f * 128 + (isCapture(m) ? 0 : 64) + t;
    } else if (moveSpecial(m)) {
        stage = 9;
        key = f;
    } else {
        if (fileOf(t) != fileOf(f))
            stage = fileOf(t) < fileOf(f) ? 7 : 8;
        else
            stage = t - f == 16 || f - t == 16 ? 6 : 5;
        key = t * 4 + promotionOrder(m);
    }
    return stage * 65536 + key;
}

AssertionResult inGenerationOrder(const std::vector<Move>& list, const char* name) {
    for (size_t i = 1; i < list.size(); i++)
        if (orderKey(list[i - 1]) >= orderKey(list[i]))
            return AssertionFailure() << name << " writes " << moveText(list[i - 1]) << " before "
                                      << moveText(list[i]) << ": " << movesText(list);
    return AssertionSuccess();
}

// The fields of one generated word against the board it was generated on.
AssertionResult wordFitsBoard(const Position& pos, Move m) {
    const Colour us = Colour(pos.sideToMove), them = opposite(us);
    const int f = moveFrom(m), t = moveTo(m), type = moveType(m), captured = moveCaptured(m);
    const int lastRank = us == White ? 7 : 0, behind = us == White ? -8 : 8;
    auto fail = [&]() {
        return AssertionFailure() << moveText(m) << " (0x" << std::hex << m << ") ";
    };
    if (m >> 24) return fail() << "sets bits above 23";
    if (pos.board[f] != us + type) return fail() << "moves a piece that is not on its square";
    const bool enPassant = type == Pawn && moveSpecial(m);
    const bool castling = type == King && moveSpecial(m);
    if (castling) {
        // In Chess960 the king may stay put or land on its own rook.
        if (captured) return fail() << "is a castling that captures";
    } else if (enPassant) {
        if (t != pos.epSquare || pos.board[t] != 0 || captured != them + Pawn ||
            pos.board[t + behind] != them + Pawn)
            return fail() << "is not a sound en-passant capture";
    } else if (captured != pos.board[t]) {
        return fail() << "carries captured code " << captured << " onto " << pos.board[t];
    }
    if (captured && (colourOf(captured) != them || typeOf(captured) == King))
        return fail() << "captures an own piece or a king";
    if (castling) {
        const int rank1 = us == White ? 0 : 56;
        const Move kingSide = pos.chess960  ? makeMoveWord(f, rank1 + 6, King, 0, 0, 1)
                              : us == White ? WHITE_KING_CASTLE
                                            : BLACK_KING_CASTLE;
        const Move queenSide = pos.chess960  ? makeMoveWord(f, rank1 + 2, King, 0, 0, 1)
                               : us == White ? WHITE_QUEEN_CASTLE
                                             : BLACK_QUEEN_CASTLE;
        if (m != kingSide && m != queenSide)
            return fail() << "is a flagged king move but not castling";
    } else if (moveSpecial(m) && !enPassant) {
        return fail() << "carries the special flag";
    }
    const bool reachesLastRank = type == Pawn && rankOf(t) == lastRank;
    if (reachesLastRank != (movePromotion(m) != 0)) return fail() << "has a wrong promotion field";
    return AssertionSuccess();
}

AssertionResult generatorsAgree(Position& pos) {
    const std::vector<Move> all = listOf(generateAll, pos);
    const std::vector<Move> tactical = listOf(generateTactical, pos);
    const std::vector<Move> quiet = listOf(generateQuiet, pos);
    const struct {
        const std::vector<Move>& list;
        const char* name;
    } lists[] = {{all, "generateAll"}, {tactical, "generateTactical"}, {quiet, "generateQuiet"}};
    for (const auto& l : lists)
        if (AssertionResult r = inGenerationOrder(l.list, l.name); !r) return r;
    for (Move m : all)
        if (AssertionResult r = wordFitsBoard(pos, m); !r) return r;
    for (Move m : tactical)
        if (!isTactical(m)) return AssertionFailure() << "quiet " << moveText(m) << " in tactical";
    for (Move m : quiet)
        if (isTactical(m)) return AssertionFailure() << "tactical " << moveText(m) << " in quiet";
    for (Move m : all) {
        if (!movePromotion(m)) continue;
        const int variants = int(std::count_if(all.begin(), all.end(), [m](Move o) {
            return fromTo(o) == fromTo(m) && moveCaptured(o) == moveCaptured(m);
        }));
        if (variants != 4)
            return AssertionFailure() << moveText(m) << " has " << variants << " words";
    }
    std::vector<Move> split = tactical, sorted = all;
    split.insert(split.end(), quiet.begin(), quiet.end());
    std::sort(split.begin(), split.end());
    std::sort(sorted.begin(), sorted.end());
    if (split != sorted)
        return AssertionFailure() << "tactical + quiet: " << movesText(split)
                                  << "\n  all: " << movesText(sorted);
    return AssertionSuccess();
}

bool contains(const std::vector<Move>& list, Move m) {
    return std::find(list.begin(), list.end(), m) != list.end();
}

Move word(const char* from, const char* to, int type, int captured = 0, int promotion = 0,
          int flag = 0) {
    return makeMoveWord(sq(from), sq(to), type, captured, promotion, flag);
}

std::vector<Move> mirrorWords(const std::vector<Move>& list) {
    std::vector<Move> out;
    for (Move m : list) out.push_back(mirroredMove(m));
    return out;
}

}  // namespace

TEST(MoveGeneration, OrderSplitAndFieldsHoldAtEveryNode) {
    const int nodes = checkEveryNode(generatorsAgree);
    EXPECT_GT(nodes, 100000);
}

TEST(MoveGeneration, StartPositionOrder) {
    Position pos = fromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    std::vector<Move> expected = {word("b1", "a3", Knight), word("b1", "c3", Knight),
                                  word("g1", "f3", Knight), word("g1", "h3", Knight)};
    for (int file = 0; file < 8; file++)
        expected.push_back(makeMoveWord(8 + file, 16 + file, Pawn));
    for (int file = 0; file < 8; file++)
        expected.push_back(makeMoveWord(8 + file, 24 + file, Pawn));
    EXPECT_EQ(movesText(listOf(generateAll, pos)), movesText(expected));
    EXPECT_EQ(listOf(generateAll, pos), expected);
    EXPECT_TRUE(listOf(generateTactical, pos).empty());
    EXPECT_EQ(listOf(generateQuiet, pos), expected);
    EXPECT_EQ(board_test::legalMoves(pos), expected);
    EXPECT_EQ(expected[16], 0x131cu);  // e2-e4

    // Black to move from the same set-up: the mirrored words in the same order.
    Position black = mirrored(pos);
    EXPECT_EQ(listOf(generateAll, black), mirrorWords(expected));
    EXPECT_EQ(listOf(generateQuiet, black), mirrorWords(expected));
}

TEST(MoveGeneration, SeventhRankPawnWritesTwelveTacticalMoves) {
    // The king's three steps are the only other moves.
    Position pos = fromFen("3r1n1k/4P3/8/8/8/8/8/K7 w - -");
    std::vector<Move> pawn;
    for (int target : {sq("e8"), sq("d8"), sq("f8")})
        for (int promotion : {Queen, Knight, Rook, Bishop})
            pawn.push_back(makeMoveWord(sq("e7"), target, Pawn, pos.board[target], promotion));
    EXPECT_EQ(pawn[4], 0x5a1d3bu);  // e7 takes the rook on d8 and promotes to a queen
    std::vector<Move> all = listOf(generateAll, pos);
    ASSERT_EQ(all.size(), 15u);
    EXPECT_EQ(std::vector<Move>(all.begin() + 3, all.end()), pawn);
    EXPECT_EQ(listOf(generateTactical, pos), pawn);
    std::vector<Move> quiet = listOf(generateQuiet, pos);
    EXPECT_EQ(quiet, std::vector<Move>(all.begin(), all.begin() + 3));

    // Black's pawn on the second rank captures toward the a-file (to = from - 9) first as well.
    Position black = mirrored(pos);
    EXPECT_EQ(listOf(generateTactical, black), mirrorWords(pawn));
}

// The generators and the stored-move tests (for killers and table moves) share the conditions.
TEST(MoveGeneration, CastlingNeedsEmptyAndUnattackedKingSquares) {
    struct Case {
        const char* fen;
        bool kingSide, queenSide;
    } cases[] = {
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", true, true},
        {"1k6/8/8/4r3/8/8/8/R3K2R w KQ -", false, false},  // in check
        {"4k3/8/8/8/8/7b/8/R3K2R w KQ -", false, true},    // f1 attacked
        {"4k3/8/8/8/8/7n/8/R3K2R w KQ -", false, true},    // g1 attacked
        {"4k3/8/8/8/b7/8/8/R3K2R w KQ -", true, false},    // d1 attacked
        {"4k3/8/8/8/8/b7/8/R3K2R w KQ -", true, false},    // c1 attacked
        {"1r2k3/8/8/8/8/8/8/R3K2R w KQ -", true, true},    // b1 attacked: allowed
        {"4k2r/8/8/8/8/8/8/R3K2R w KQ -", true, true},     // the h1 rook may be attacked
        {"4k3/8/8/8/8/8/8/RN2K1NR w KQ -", false, false},  // b1 and g1 occupied
        {"4k3/8/8/8/8/8/8/R2QKB1R w KQ -", false, false},  // d1 and f1 occupied
        {"4k3/8/8/8/8/8/8/R3K2R w K -", true, false},
        {"4k3/8/8/8/8/8/8/R3K2R w - -", false, false},
    };
    for (const Case& c : cases) {
        Position pos = fromFen(c.fen);
        Position black = mirrored(pos);
        for (Position* p : {&pos, &black}) {
            const bool white = p == &pos;
            const std::vector<Move> all = listOf(generateAll, *p),
                                    quiet = listOf(generateQuiet, *p);
            const Move words[2] = {white ? WHITE_KING_CASTLE : BLACK_KING_CASTLE,
                                   white ? WHITE_QUEEN_CASTLE : BLACK_QUEEN_CASTLE};
            const bool expected[2] = {c.kingSide, c.queenSide};
            for (int side = 0; side < 2; side++) {
                SCOPED_TRACE(std::string(c.fen) + (white ? "" : " mirrored") +
                             (side ? " queen side" : " king side"));
                EXPECT_EQ(contains(all, words[side]), expected[side]);
                EXPECT_EQ(contains(quiet, words[side]), expected[side]);
                EXPECT_EQ(isPseudoLegal(*p, words[side]), expected[side]);
                EXPECT_EQ(isGenerated(*p, words[side]), expected[side]);
            }
        }
    }
    // The counters alone decide: a right set up without its rook is still generated.
    Position noRook = build("4k3/8/8/8/8/8/8/4K3", White, "K");
    EXPECT_TRUE(contains(listOf(generateAll, noRook), WHITE_KING_CASTLE));
}

TEST(MoveGeneration, EnPassantCapturers) {
    // e2-e4 beside two Black pawns: both capture, the lower square first, as the last tactical
    // moves.
    Position pos = fromFen("4k3/8/8/8/3p1p2/8/4P3/4K3 w - -");
    UndoRecord undo;
    makeMove(pos, undo, word("e2", "e4", Pawn));
    ASSERT_EQ(pos.epSquare, sq("e3"));
    const std::vector<Move> tactical = listOf(generateTactical, pos);
    ASSERT_GE(tactical.size(), 2u);
    EXPECT_EQ(tactical[tactical.size() - 2], word("d4", "e3", Pawn, White + Pawn, 0, 1));
    EXPECT_EQ(tactical.back(), word("f4", "e3", Pawn, White + Pawn, 0, 1));
    EXPECT_EQ(tactical[tactical.size() - 2], 0x8496d4u);

    // A square named by the FEN with no pawn to take on it gives no capture.
    Position none = fromFen("4k3/8/8/3p4/8/8/8/4K3 w - d6");
    ASSERT_EQ(none.epSquare, sq("d6"));
    for (Move m : listOf(generateAll, none)) EXPECT_FALSE(moveSpecial(m)) << moveText(m);
}

TEST(MoveGeneration, PinnedPieceKeepsItsPseudoLegalMoves) {
    Position pos = fromFen("4r1k1/8/8/8/8/8/4N3/4K3 w - -");
    const std::vector<Move> all = listOf(generateAll, pos);
    EXPECT_EQ(std::count_if(all.begin(), all.end(), [](Move m) { return moveType(m) == Knight; }),
              6);
    for (Move m : board_test::legalMoves(pos)) EXPECT_NE(moveType(m), Knight) << moveText(m);
}

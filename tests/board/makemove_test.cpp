#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

#include "board/attacks.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/perft_positions.h"
#include "board/tables.h"
#include "board_helpers.h"

using board_test::build;
using board_test::fromFen;
using board_test::invariantsHold;
using board_test::samePosition;
using board_test::sq;

namespace {

// The move word for from-to on this board: mover and captured piece read off the board, the
// flag for a king's two-file step and for a pawn's diagonal step onto an empty square.
Move mv(const Position& pos, const char* from, const char* to, int promotion = 0) {
    const int f = sq(from), t = sq(to), type = typeOf(pos.board[f]);
    int captured = pos.board[t], flag = 0;
    if (type == King && (f - t == 2 || t - f == 2)) flag = 1;
    if (type == Pawn && fileOf(f) != fileOf(t) && captured == 0) {
        flag = 1;
        captured = opposite(Colour(pos.sideToMove)) + Pawn;
    }
    return makeMoveWord(f, t, type, captured, promotion, flag);
}

// What a move must do, stated directly on the fields the caller owns; the derived fields then
// come from a fresh set-up plus the en-passant keys the line has gathered (`epKeys`, updated).
Position referenceMake(const Position& before, Move m, uint64_t& epKeys) {
    Position p = before;
    const Colour us = Colour(before.sideToMove), them = opposite(us);
    const int f = moveFrom(m), t = moveTo(m), type = moveType(m), c = moveCaptured(m),
              promotion = movePromotion(m);
    p.keyHistory[p.gamePly++] = before.hashKey();
    p.sideToMove = them;
    p.epSquare = NO_SQUARE;
    p.lastCaptureSquare = c || promotion ? t : NO_SQUARE;
    p.halfmoveClock = c || type == Pawn ? 0 : before.halfmoveClock + 1;
    if (typeOf(c) == Rook) p.moved[t]++;
    if (type == Rook || type == King) p.moved[f]++;
    p.board[f] = 0;
    if (type == Pawn && moveSpecial(m)) p.board[us == White ? t - 8 : t + 8] = 0;
    if (type == King && moveSpecial(m)) {
        // Rook off first: in Chess960 the king may land where it stood.
        const int home = us == White ? 0 : 56;
        const bool kingSide = t == home + 6;
        p.board[before.castlingRook[colourIndex(us)][kingSide ? KING_SIDE : QUEEN_SIDE]] = 0;
        p.board[kingSide ? home + 5 : home + 3] = us + Rook;
    }
    p.board[t] = us + (promotion ? promotion : type);
    if (type == Pawn && (t - f == 16 || f - t == 16)) {
        const int ep = (f + t) / 2;
        for (int side : {-1, 1}) {
            const int n = t + side;
            if (fileOf(t) + side >= 0 && fileOf(t) + side < 8 && before.board[n] == them + Pawn)
                p.epSquare = ep;
        }
        if (p.epSquare == ep) epKeys ^= EnPassantKeys[ep];
    }
    setUpPosition(p);
    p.pieceKey ^= epKeys;
    return p;
}

// A line of moves made on a position: each make is compared with the reference, each unmake with
// the position saved before the move.
class Line {
public:
    explicit Line(const Position& start) : pos(start) {}

    testing::AssertionResult make(Move m) {
        Frame frame{pos, {}, m, frames.empty() ? 0 : frames.back().epKeys};
        const Position expected = referenceMake(pos, m, frame.epKeys);
        makeMove(pos, frame.undo, m);
        frames.push_back(frame);
        if (auto r = samePosition(pos, expected); !r)
            return r << " after making " << std::hex << std::showbase << m;
        if (auto r = invariantsHold(pos); !r)
            return r << " after making " << std::hex << std::showbase << m;
        return testing::AssertionSuccess();
    }
    testing::AssertionResult unmake() {
        const Frame& frame = frames.back();
        unmakeMove(pos, frame.undo, frame.m);
        auto r = samePosition(pos, frame.before);
        if (!r) r << " after unmaking " << std::hex << std::showbase << frame.m;
        frames.pop_back();
        return r;
    }
    testing::AssertionResult unwind() {
        while (!frames.empty())
            if (auto r = unmake(); !r) return r;
        return testing::AssertionSuccess();
    }
    // pieceKey less the key a fresh set-up gives: the en-passant keys still held.
    uint64_t heldEnPassantKeys() const {
        Position fresh = pos;
        setUpPosition(fresh);
        return pos.pieceKey ^ fresh.pieceKey;
    }

    Position pos;

private:
    struct Frame {
        Position before;
        UndoRecord undo;
        Move m;
        uint64_t epKeys;
    };
    std::vector<Frame> frames;
};

}  // namespace

TEST(MakeUnmake, MoveWordsOfTheExamples) {
    const Position start = build("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR");
    EXPECT_EQ(mv(start, "e2", "e4"), 0x131cu);
    EXPECT_EQ(makeMoveWord(sq("e7"), sq("d8"), Pawn, Black + Rook, Queen), 0x5a1d3bu);
    const Position ep = build("4k3/8/8/8/3pP3/8/8/4K3", Black);
    EXPECT_EQ(mv(ep, "d4", "e3"), 0x8496d4u);
    const Position castles = build("r3k2r/8/8/8/8/8/8/R3K2R", White, "KQkq");
    EXPECT_EQ(mv(castles, "e1", "g1"), WHITE_KING_CASTLE);
    EXPECT_EQ(mv(castles, "e1", "c1"), WHITE_QUEEN_CASTLE);
    EXPECT_EQ(mv(castles, "e8", "g8"), BLACK_KING_CASTLE);
    EXPECT_EQ(mv(castles, "e8", "c8"), BLACK_QUEEN_CASTLE);
}

TEST(MakeUnmake, CastlingBothWingsBothColours) {
    const Position start = build("r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R", White, "KQkq");
    for (bool whiteKingSide : {true, false}) {
        Line line(start);
        const Move white = whiteKingSide ? WHITE_KING_CASTLE : WHITE_QUEEN_CASTLE;
        const Move black = whiteKingSide ? BLACK_QUEEN_CASTLE : BLACK_KING_CASTLE;
        ASSERT_TRUE(line.make(white));
        ASSERT_TRUE(line.make(black));
        const Position& p = line.pos;
        const int wk = whiteKingSide ? sq("g1") : sq("c1"),
                  bk = whiteKingSide ? sq("c8") : sq("g8");
        EXPECT_EQ(p.board[wk], White + King);
        EXPECT_EQ(p.board[whiteKingSide ? sq("f1") : sq("d1")], White + Rook);
        EXPECT_EQ(p.board[whiteKingSide ? sq("h1") : sq("a1")], 0);
        EXPECT_EQ(p.board[bk], Black + King);
        EXPECT_EQ(p.board[whiteKingSide ? sq("d8") : sq("f8")], Black + Rook);
        EXPECT_EQ(p.board[whiteKingSide ? sq("a8") : sq("h8")], 0);
        EXPECT_EQ(p.side[0].kingSquare, wk);
        EXPECT_EQ(p.side[1].kingSquare, bk);
        // Only the king's counter moves; the rooks' home squares keep theirs.
        EXPECT_EQ(p.moved[sq("e1")], 1);
        EXPECT_EQ(p.moved[sq("e8")], 1);
        for (const char* rook : {"a1", "h1", "a8", "h8"}) EXPECT_EQ(p.moved[sq(rook)], 0);
        EXPECT_EQ(p.halfmoveClock, 2);
        EXPECT_EQ(p.lastCaptureSquare, NO_SQUARE);
        ASSERT_TRUE(line.unwind());
    }
}

TEST(MakeUnmake, EnPassantBothColours) {
    {
        Line line(build("4k3/3p4/8/4P3/8/8/8/4K3", Black));
        ASSERT_TRUE(line.make(mv(line.pos, "d7", "d5")));
        EXPECT_EQ(line.pos.epSquare, sq("d6"));
        const Move capture = mv(line.pos, "e5", "d6");
        EXPECT_EQ(capture, makeMoveWord(sq("e5"), sq("d6"), Pawn, Black + Pawn, 0, 1));
        ASSERT_TRUE(line.make(capture));
        EXPECT_EQ(line.pos.board[sq("d5")], 0);
        EXPECT_EQ(line.pos.board[sq("d6")], White + Pawn);
        EXPECT_EQ(line.pos.side[1].count[Pawn], 0);
        EXPECT_EQ(line.pos.lastCaptureSquare, sq("d6"));
        EXPECT_EQ(line.pos.epSquare, NO_SQUARE);
        // The key of the double push stays for the rest of the line.
        EXPECT_EQ(line.heldEnPassantKeys(), EnPassantKeys[sq("d6")]);
        ASSERT_TRUE(line.unwind());
    }
    {
        Line line(build("4k3/8/8/8/3p4/8/4P3/4K3"));
        ASSERT_TRUE(line.make(mv(line.pos, "e2", "e4")));
        EXPECT_EQ(line.pos.epSquare, sq("e3"));
        ASSERT_TRUE(line.make(0x8496d4));
        EXPECT_EQ(line.pos.board[sq("e4")], 0);
        EXPECT_EQ(line.pos.board[sq("e3")], Black + Pawn);
        EXPECT_EQ(line.pos.side[0].count[Pawn], 0);
        EXPECT_EQ(line.pos.side[0].occupied, bit(sq("e1")));
        ASSERT_TRUE(line.unwind());
    }
}

TEST(MakeUnmake, DoublePushSetsEnPassantOnlyBesideAnEnemyPawn) {
    {
        Line line(build("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR"));
        const uint64_t before = line.pos.pieceKey;
        ASSERT_TRUE(line.make(0x131c));
        EXPECT_EQ(line.pos.epSquare, NO_SQUARE);
        EXPECT_EQ(line.pos.pieceKey, before ^ SideKey);
    }
    {
        Line line(build("rnbqkbnr/ppp1pppp/8/8/3p4/8/PPPPPPPP/RNBQKBNR"));
        const uint64_t before = line.pos.pieceKey;
        ASSERT_TRUE(line.make(0x131c));
        EXPECT_EQ(line.pos.epSquare, sq("e3"));
        EXPECT_EQ(line.pos.pieceKey, before ^ SideKey ^ EnPassantKeys[sq("e3")]);
        ASSERT_TRUE(line.make(mv(line.pos, "g8", "f6")));
        EXPECT_EQ(line.pos.epSquare, NO_SQUARE);
        EXPECT_EQ(line.heldEnPassantKeys(), EnPassantKeys[sq("e3")]);
        // A second double push adds its own key on top.
        ASSERT_TRUE(line.make(mv(line.pos, "c2", "c4")));
        EXPECT_EQ(line.pos.epSquare, sq("c3"));
        EXPECT_EQ(line.heldEnPassantKeys(), EnPassantKeys[sq("e3")] ^ EnPassantKeys[sq("c3")]);
        ASSERT_TRUE(line.unmake());
        EXPECT_EQ(line.heldEnPassantKeys(), EnPassantKeys[sq("e3")]);
        ASSERT_TRUE(line.unwind());
    }
    struct Case {
        const char* placement;
        Colour mover;
        const char *from, *to;
        int ep;
    };
    const Case cases[] = {
        {"4k3/8/8/8/5p2/8/4P3/4K3", White, "e2", "e4", sq("e3")},   // enemy pawn east
        {"4k3/8/8/8/3P4/8/4P3/4K3", White, "e2", "e4", NO_SQUARE},  // own pawn beside
        {"4k3/8/8/8/3n4/8/4P3/4K3", White, "e2", "e4", NO_SQUARE},  // enemy piece beside
        {"4k3/8/8/8/8/7p/P7/4K3", White, "a2", "a4", NO_SQUARE},    // h3 is no neighbour of a4
        {"4k3/8/8/p7/8/8/7P/4K3", White, "h2", "h4", NO_SQUARE},    // nor a5 of h4
        {"4k3/8/8/8/1p6/8/P7/4K3", White, "a2", "a4", sq("a3")},
        {"4k3/8/8/8/6p1/8/7P/4K3", White, "h2", "h4", sq("h3")},
        {"4k3/4p3/8/3P4/8/8/8/4K3", Black, "e7", "e5", sq("e6")},
        {"4k3/4p3/8/5P2/8/8/8/4K3", Black, "e7", "e5", sq("e6")},
        {"4k3/7p/P7/8/8/8/8/4K3", Black, "h7", "h5", NO_SQUARE},  // a6 is no neighbour of h5
        {"4k3/p7/8/7P/8/8/8/4K3", Black, "a7", "a5", NO_SQUARE},  // nor h5 of a5
        {"4k3/p7/8/1P6/8/8/8/4K3", Black, "a7", "a5", sq("a6")},
        {"4k3/8/8/8/3p4/4P3/8/4K3", White, "e3", "e4", NO_SQUARE},  // single push
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.placement);
        Line line(build(c.placement, c.mover));
        ASSERT_TRUE(line.make(mv(line.pos, c.from, c.to)));
        EXPECT_EQ(line.pos.epSquare, c.ep);
        EXPECT_EQ(line.heldEnPassantKeys(), c.ep == NO_SQUARE ? 0 : EnPassantKeys[c.ep]);
        ASSERT_TRUE(line.unwind());
    }
}

TEST(MakeUnmake, PromotionsWithAndWithoutCapture) {
    struct Case {
        const char* placement;
        Colour mover;
        const char *from, *to;
    };
    const Case cases[] = {
        {"3r1n1k/4P3/8/8/8/8/8/K7", White, "e7", "d8"},  // takes a rook off its home file
        {"3r1n1k/4P3/8/8/8/8/8/K7", White, "e7", "f8"},
        {"3r1n1k/4P3/8/8/8/8/8/K7", White, "e7", "e8"},
        {"r3k3/1P6/8/8/8/8/8/4K3", White, "b7", "a8"},  // takes a rook on its home square
        {"k7/8/8/8/8/8/4p3/3R1B1K", Black, "e2", "d1"},
        {"k7/8/8/8/8/8/4p3/3R1B1K", Black, "e2", "f1"},
        {"k7/8/8/8/8/8/4p3/3R1B1K", Black, "e2", "e1"},
        {"4k3/8/8/8/8/8/6p1/4K2R", Black, "g2", "h1"},
    };
    for (const Case& c : cases)
        for (int promotion : {Queen, Knight, Rook, Bishop}) {
            SCOPED_TRACE(std::string(c.placement) + " " + c.to + " " + std::to_string(promotion));
            const Position start = build(c.placement, c.mover, "KQkq");
            const Move m = mv(start, c.from, c.to, promotion);
            Line line(start);
            ASSERT_TRUE(line.make(m));
            const int us = colourIndex(c.mover), t = sq(c.to);
            const ColourBlock &own = line.pos.side[us], &before = start.side[us];
            EXPECT_EQ(line.pos.board[t], c.mover + promotion);
            EXPECT_EQ(own.count[Pawn], before.count[Pawn] - 1);
            EXPECT_EQ(own.count[promotion], before.count[promotion] + 1);
            EXPECT_EQ(own.pieceCount, before.pieceCount + 1);
            EXPECT_EQ(line.pos.lastCaptureSquare, t);
            EXPECT_EQ(line.pos.halfmoveClock, 0);
            // Only a captured rook on its home square moves a counter, never the new piece.
            for (int s = 0; s < 64; s++)
                EXPECT_EQ(line.pos.moved[s],
                          start.moved[s] + (s == t && typeOf(start.board[t]) == Rook))
                    << s;
            ASSERT_TRUE(line.unwind());
        }
}

TEST(MakeUnmake, RookCapturesRaiseTheHomeSquareCounter) {
    Line line(build("r3k2r/8/8/8/8/8/8/R3K2R", White, "KQkq"));
    ASSERT_TRUE(line.make(mv(line.pos, "h1", "h8")));
    EXPECT_EQ(line.pos.moved[sq("h1")], 1);
    EXPECT_EQ(line.pos.moved[sq("h8")], 1);
    ASSERT_TRUE(line.make(mv(line.pos, "a8", "a1")));
    EXPECT_EQ(line.pos.moved[sq("a8")], 1);
    EXPECT_EQ(line.pos.moved[sq("a1")], 1);
    EXPECT_EQ(line.pos.side[0].count[Rook], 1);
    EXPECT_EQ(line.pos.side[1].count[Rook], 1);
    ASSERT_TRUE(line.unwind());
    for (const char* s : {"a1", "h1", "a8", "h8", "e1", "e8"}) EXPECT_EQ(line.pos.moved[sq(s)], 0);

    // A rook that later stands on h8 does not bring the right back.
    Move moves[MAX_MOVES];
    const Position control = build("4k2r/8/8/8/8/8/8/4K2R", Black, "Kk");
    const int n = generateAll(control, moves);
    EXPECT_NE(std::find(moves, moves + n, BLACK_KING_CASTLE), moves + n);
    Line again(build("4k1rr/8/8/8/8/8/8/4K2R", White, "Kk"));
    ASSERT_TRUE(again.make(mv(again.pos, "h1", "h8")));
    ASSERT_TRUE(again.make(mv(again.pos, "g8", "h8")));
    ASSERT_TRUE(again.make(mv(again.pos, "e1", "d1")));
    EXPECT_EQ(again.pos.board[sq("h8")], Black + Rook);
    EXPECT_EQ(again.pos.moved[sq("h8")], 2);
    EXPECT_EQ(again.pos.moved[sq("e8")], 0);
    const int m = generateAll(again.pos, moves);
    EXPECT_EQ(std::find(moves, moves + m, BLACK_KING_CASTLE), moves + m);
    ASSERT_TRUE(again.unwind());
}

TEST(MakeUnmake, ClockLastCaptureAndHistory) {
    struct Case {
        const char* placement;
        Colour mover;
        const char *from, *to;
        int promotion, clock, lastCapture;
    };
    const Case cases[] = {
        {"4k3/8/8/8/8/8/8/4K1N1", White, "g1", "f3", 0, 8, NO_SQUARE},   // quiet piece move
        {"4k3/8/8/8/8/8/8/4K3", White, "e1", "e2", 0, 8, NO_SQUARE},     // quiet king move
        {"4k3/8/8/8/8/8/3P4/4K3", White, "d2", "d3", 0, 0, NO_SQUARE},   // pawn push
        {"4k3/8/8/8/8/5p2/8/4K1N1", White, "g1", "f3", 0, 0, sq("f3")},  // piece capture
        {"4k3/8/8/8/8/8/1p6/4K3", Black, "b2", "b1", Knight, 0, sq("b1")},
        {"4k2r/8/8/8/8/8/8/4K3", Black, "e8", "g8", 0, 8, NO_SQUARE},  // castling
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.placement);
        Position start = build(c.placement, c.mover, "k");
        start.halfmoveClock = 7;
        start.lastCaptureSquare = sq("a1");
        start.gamePly = 3;
        for (int i = 0; i < KEY_HISTORY_SIZE; i++) start.keyHistory[i] = 0xabcdef00ULL + i;
        Line line(start);
        ASSERT_TRUE(line.make(mv(start, c.from, c.to, c.promotion)));
        EXPECT_EQ(line.pos.halfmoveClock, c.clock);
        EXPECT_EQ(line.pos.lastCaptureSquare, c.lastCapture);
        EXPECT_EQ(line.pos.gamePly, 4);
        EXPECT_EQ(line.pos.keyHistory[3], start.hashKey());
        EXPECT_EQ(line.pos.keyHistory[2], 0xabcdef02ULL);
        ASSERT_TRUE(line.unwind());
        EXPECT_EQ(line.pos.halfmoveClock, 7);
        EXPECT_EQ(line.pos.lastCaptureSquare, sq("a1"));
    }
}

// Random games from positions rich in castling, en passant and promotions: at every node each
// generated move is made and unmade, then a random legal one is played on.
TEST(MakeUnmake, RandomPlayoutsOverGeneratedMoves) {
    const struct {
        const char* placement;
        Colour toMove;
        const char* castling;
    } starts[] = {
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR", White, "KQkq"},
        {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R", White, "KQkq"},
        {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8", White, "-"},
        {"r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1", White, "kq"},
        {"n1n5/PPPk4/8/8/8/8/4Kppp/5N1N", Black, "-"},
        {"r3k2r/1pp2ppp/8/pP1pP3/3Pp1pP/8/1PP2PP1/R3K2R", White, "KQkq"},
        {"4k3/pppppppp/8/1P1P1P1P/p1p1p1p1/8/PPPPPPPP/4K3", Black, "-"},
    };
    // Chess960: king and rooks side by side, and a rook on its king's destination.
    const char* starts960[] = {"rkrnnqbb/pppppppp/8/8/8/8/PPPPPPPP/RKRNNQBB w CAca -",
                               "1r4kr/6p1/8/8/8/8/1P6/RK4R1 w AGbh -"};
    std::vector<Position> positions;
    for (const auto& s : starts) positions.push_back(build(s.placement, s.toMove, s.castling));
    for (const char* fen : starts960) positions.push_back(fromFen(fen, true));
    std::mt19937 rng(7);
    long made = 0, castles = 0, enPassant = 0, promotions = 0;
    for (const Position& start : positions) {
        for (int game = 0; game < 8; game++) {
            SCOPED_TRACE("start " + std::to_string(&start - &positions[0]) + " game " +
                         std::to_string(game));
            Line line(start);
            for (int ply = 0; ply < 120; ply++) {
                Move moves[MAX_MOVES], legal[MAX_MOVES];
                const int n = generateAll(line.pos, moves);
                int legalCount = 0;
                for (int i = 0; i < n; i++) {
                    ASSERT_TRUE(line.make(moves[i]));
                    made++;
                    castles += moveSpecial(moves[i]) && moveType(moves[i]) == King;
                    enPassant += moveSpecial(moves[i]) && moveType(moves[i]) == Pawn;
                    promotions += movePromotion(moves[i]) != 0;
                    const Position& p = line.pos;
                    const bool exposed = p.sideToMove == Black
                                             ? isAttackedBy<Black>(p, p.side[0].kingSquare)
                                             : isAttackedBy<White>(p, p.side[1].kingSquare);
                    if (!exposed) legal[legalCount++] = moves[i];
                    ASSERT_TRUE(line.unmake());
                }
                if (legalCount == 0) break;
                // Favour the rare kinds of move: double pushes, en passant, castling.
                Move rare[MAX_MOVES];
                int rareCount = 0;
                for (int i = 0; i < legalCount; i++) {
                    const int d = moveFrom(legal[i]) - moveTo(legal[i]);
                    if (moveSpecial(legal[i]) || (isPawnMove(legal[i]) && (d == 16 || d == -16)))
                        rare[rareCount++] = legal[i];
                }
                ASSERT_TRUE(line.make(rareCount && rng() % 2 ? rare[rng() % rareCount]
                                                             : legal[rng() % legalCount]));
            }
            ASSERT_TRUE(line.unwind());
        }
    }
    EXPECT_GT(made, 50000);
    EXPECT_GT(castles, 100);
    EXPECT_GT(enPassant, 100);
    EXPECT_GT(promotions, 1000);
    std::printf("%ld moves made, %ld castling, %ld en passant, %ld promotions\n", made, castles,
                enPassant, promotions);
}

// Fifteen rooks (as many as a set-up accepts) plus two promotions reach counts past the keyed
// range: the keys must stay inside the table and agree with a fresh set-up.
TEST(MakeUnmake, MoreThanSixteenOfAKindStayInRange) {
    {
        Line line(build("7k/PP6/8/8/8/K7/RRRRRRRR/RRRRRRR1"));
        ASSERT_EQ(line.pos.side[0].count[Rook], 15);
        ASSERT_TRUE(line.make(mv(line.pos, "a7", "a8", Rook)));
        ASSERT_TRUE(line.make(mv(line.pos, "h8", "h7")));
        EXPECT_TRUE(line.make(mv(line.pos, "b7", "b8", Rook)));  // the seventeenth rook
        EXPECT_EQ(line.pos.side[0].count[Rook], 17);
        EXPECT_TRUE(line.unwind());
    }
    {
        Line line(build("7k/8/8/8/r7/RK6/RRRRRRRR/RRRRRRRR", Black));
        ASSERT_EQ(line.pos.side[0].count[Rook], 17);
        EXPECT_TRUE(line.make(mv(line.pos, "a4", "a3")));  // leaves sixteen
        EXPECT_TRUE(line.unwind());
    }
}

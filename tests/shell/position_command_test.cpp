// The position command on the main thread's record, driven through dispatchCommand as the loop
// drives it: which moves are made, when the list stops, and the key history of long games.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "board/makemove.h"
#include "board/notation.h"
#include "shell/session.h"
#include "shell/uci.h"

namespace {

SearchThread thread;

// Runs the lines through dispatchCommand until their end, as a command file would be run.
void run(const std::string& lines) {
    const int fd = memfd_create("commands", MFD_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, lines.data(), lines.size()), ssize_t(lines.size()));
    lseek(fd, 0, SEEK_SET);
    static LineReader reader;
    attachLineReader(reader, fd);
    TokenLine line;
    while (!quitRequested && dispatchCommand(thread, reader, line)) {
    }
    close(fd);
}

// The position reached by making the texts one by one from a start, stopping at the first that
// names no legal move; also the keys of every position before each move.
struct Replay {
    Position pos;
    std::vector<uint64_t> keys;
};
Replay& replay(const std::vector<std::string>& texts, const char* fen = nullptr) {
    static Replay r;
    r.keys.clear();
    if (fen) {
        char placement[100], side[4], castling[8], ep[4];
        std::sscanf(fen, "%99s %3s %7s %3s", placement, side, castling, ep);
        EXPECT_TRUE(readFen(r.pos, placement, side, castling, ep));
    } else {
        setStartPosition(r.pos);
    }
    for (const std::string& t : texts) {
        const Move m = textToMove(r.pos, t.c_str());
        if (!m) break;
        r.keys.push_back(r.pos.hashKey());
        UndoRecord undo;
        makeMove(r.pos, undo, m);
        r.pos.gamePly = 0;  // the history is checked against keys
    }
    return r;
}

void expectBoard(const Position& expected, int gamePly) {
    EXPECT_EQ(0, std::memcmp(thread.position.board, expected.board, sizeof expected.board));
    EXPECT_EQ(0, std::memcmp(thread.position.moved, expected.moved, sizeof expected.moved));
    EXPECT_EQ(thread.position.sideToMove, expected.sideToMove);
    EXPECT_EQ(thread.position.epSquare, expected.epSquare);
    EXPECT_EQ(thread.position.hashKey(), expected.hashKey());
    EXPECT_EQ(thread.position.gamePly, gamePly);
}

class PositionCommand : public testing::Test {
protected:
    void SetUp() override {
        initThread(thread, MAIN_THREAD);
        positionValid = true;
    }
    void TearDown() override { releaseThread(thread); }
};

}  // namespace

TEST_F(PositionCommand, MovesStopAtTheFirstTextThatNamesNoLegalMove) {
    run("position startpos moves e2e4 e7e5 g1g3 g1f3\n");
    expectBoard(replay({"e2e4", "e7e5"}).pos, 2);
    run("position startpos moves e2e4 e2e4 e7e5\n");
    expectBoard(replay({"e2e4"}).pos, 1);
    run("position startpos moves e7e5\n");  // not White's move
    expectBoard(replay({}).pos, 0);
    run("position startpos moves\n");
    expectBoard(replay({}).pos, 0);
    run("position startpos e2e4\n");  // without the keyword nothing is made
    expectBoard(replay({}).pos, 0);
    EXPECT_TRUE(positionValid);
}

TEST_F(PositionCommand, FenFormsAndTheirCounters) {
    const char* kiwi = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -";
    run(std::string("position fen ") + kiwi + " 5 40 moves e1g1 h3g2\n");
    expectBoard(replay({"e1g1", "h3g2"}, kiwi).pos, 2);
    EXPECT_EQ(thread.position.halfmoveClock, 0);  // the FEN's counters are not read
    run(std::string("position fen ") + kiwi + " moves a2a4\n");
    expectBoard(replay({"a2a4"}, kiwi).pos, 1);
    EXPECT_EQ(thread.position.epSquare, 16);
    // Fewer than six tokens, or an unknown form, leaves the position as it was.
    run("position fen 8/8/8/8/8/8/8/K6k w\nposition fen\nposition somewhere\n");
    expectBoard(replay({"a2a4"}, kiwi).pos, 1);
    EXPECT_TRUE(positionValid);
}

TEST_F(PositionCommand, RefusedFenLeavesNoValidPositionUntilTheNextOne) {
    run("position startpos moves e2e4\nposition fen 8/8/8/8/8/8/8/7k w - - moves e7e5\n");
    EXPECT_FALSE(positionValid);
    expectBoard(replay({"e2e4"}).pos, 1);     // nothing of the refused line was applied
    run("position fen 8/8/8/8/8/8/8/K6k\n");  // too short to be read: nothing changes
    EXPECT_FALSE(positionValid);
    run("position startpos\n");
    EXPECT_TRUE(positionValid);
    run("position fen k7/8/8/8/8/8/8/K6P w - -\n");
    EXPECT_FALSE(positionValid);
    run("position fen k7/8/8/8/8/8/8/K7 w - -\n");
    EXPECT_TRUE(positionValid);
}

TEST_F(PositionCommand, LongGamesKeepTheRecentKeyHistory) {
    for (int plies : {8, 596, 600, 601, 604, 1020, 4000, 4004}) {
        std::vector<std::string> game;
        std::string line = "position startpos moves";
        static const char* cycle[4] = {"g1f3", "g8f6", "f3g1", "f6g8"};
        for (int i = 0; i < plies; i++) {
            game.push_back(cycle[i % 4]);
            line += std::string(" ") + cycle[i % 4];
        }
        run(line + "\n");
        const Replay& r = replay(game);
        ASSERT_EQ(int(r.keys.size()), plies);
        const int kept = thread.position.gamePly;
        EXPECT_LE(kept, 600) << plies;
        EXPECT_GE(kept, std::min(plies, 100)) << plies;
        expectBoard(r.pos, kept);
        // What is kept is the tail of the game, oldest first.
        for (int i = 0; i < kept; i++)
            ASSERT_EQ(thread.position.keyHistory[i], r.keys[plies - kept + i]) << plies << " " << i;
    }
}

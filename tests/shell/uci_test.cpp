// The UCI dialogue through the real binary: answers byte for byte, options, ignored lines, the end
// of input in its several forms, and lines far beyond any fixed token or length limit.
#include <gtest/gtest.h>

#include <string>

#include "board/legal.h"
#include "board/makemove.h"
#include "board/notation.h"
#include "shell/engine_process.h"
#include "shell/speed.h"

using namespace engine_process;

namespace {

void expectClean(const Result& r) {
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0);
}

// Legal-move count after playing the given move texts from the start position, in process.
long long movesAfter(const std::vector<std::string>& moves) {
    static Position pos;
    setStartPosition(pos);
    for (const std::string& text : moves) {
        const Move m = textToMove(pos, text.c_str());
        if (!m) break;
        UndoRecord undo;
        makeMove(pos, undo, m);
        trimKeyHistory(pos);
    }
    setUpPosition(pos);
    return (long long)perftCount(pos, 1);
}

}  // namespace

TEST(EngineDialogue, UciAndIsreadyAnswerExactly) {
    Result r = runEngine("uci\nisready\nquit\n");
    expectClean(r);
    EXPECT_EQ(r.output, uciAnswer() + "readyok\n");
}

TEST(EngineDialogue, OptionsClampAndBecomeTheNextDefaults) {
    struct Case {
        const char* line;
        int hash, threads, multiPv = 1, overhead = 50, nodesTime = 0;
        bool refused = false;  // a table the system cannot give: one info line, the old one stays
    };
    const Case cases[] = {
        {"setoption name Hash value 8", 8, 1},
        {"setoption name Hash value 1000", 1000, 1},
        {"setoption name Hash value 64", 64, 1},
        {"setoption name Threads value 0", 64, 1},
        {"setoption name Threads value 9", 64, 9},
        {"setoption name Threads value 3", 64, 3},
        {"setoption name Threads value +2", 64, 2},
        {"setoption name Threads value 3x", 64, 3},
        {"setoption name Threads value 5000", 64, 1024},
        {"setoption name Threads value 3", 64, 3},
        {"setoption name Hash value abc", 1, 3},
        {"setoption name Hash value 99999999999999999999999", 1, 3, 1, 50, 0, true},
        {"setoption name Threads value -99999999999999999999999", 1, 1},
        {"setoption name Hash value 4294967328", 1, 1, 1, 50, 0, true},  // 2^32 + 32: no wrap
        {"setoption name Hash value -4294967200", 1, 1},
        {"setoption name Hash value 16", 16, 1},
        // Ignored: a sixth token, misspelt or upper-case keywords, other options.
        {"setoption name Hash value 32 extra", 16, 1},
        {"setoption nam Hash value 32", 16, 1},
        {"setoption name Hash valu 32", 16, 1},
        {"setoption NAME hash VALUE 32", 16, 1},
        {"setoption name Ponder value false", 16, 1},
        {"setoption name Threads", 16, 1},
        // Option names in any case.
        {"setoption name hash value 32", 32, 1},
        {"setoption name THREADS value 2", 32, 2},
        {"setoption name multipv value 2", 32, 2, 2},
        {"setoption name move overhead value 900", 32, 2, 2, 900},
        {"setoption name clear hash", 32, 2, 2, 900},
        {"setoption name Hash value 16", 16, 2, 2, 900},
        {"setoption name Threads value 1", 16, 1, 2, 900},
        {"setoption name MultiPV value 1", 16, 1, 1, 900},
        {"setoption name Move Overhead value 50", 16, 1},
        // Names of two words; a button takes no value.
        {"setoption name MultiPV value 0", 16, 1, 1},
        {"setoption name MultiPV value 900", 16, 1, 500},
        {"setoption name Move Overhead value -5", 16, 1, 500, 0},
        {"setoption name Move Overhead value 99999", 16, 1, 500, 5000},
        {"setoption name Move Overhead value 30 ms", 16, 1, 500, 5000},
        {"setoption name Move Overhead", 16, 1, 500, 5000},
        {"setoption name Clear Hash", 16, 1, 500, 5000},
        {"setoption name MultiPV value 3", 16, 1, 3, 5000},
        // nodestime: clamped like every spin; text after the value or none leaves it.
        {"setoption name nodestime value 600", 16, 1, 3, 5000, 600},
        {"setoption name NodesTime value 99999", 16, 1, 3, 5000, 10000},
        {"setoption name nodestime value -1", 16, 1, 3, 5000, 0},
        {"setoption name nodestime value 40 nodes", 16, 1, 3, 5000, 0},
        {"setoption name nodestime", 16, 1, 3, 5000, 0},
    };
    std::string input, expected;
    for (const Case& c : cases) {
        input += std::string(c.line) + "\nuci\n";
        if (c.refused)
            expected += "info string Hash 33554432 MB could not be allocated; the table stays at " +
                        std::to_string(c.hash) + " MB\n";
        expected += uciAnswer(c.hash, c.threads, c.multiPv, c.overhead, c.nodesTime);
    }
    Result r = runEngine(input);
    expectClean(r);
    EXPECT_EQ(r.output, expected);
}

TEST(EngineDialogue, IgnoresMalformedAndUnknownLines) {
    Result r = runEngine(
        "uci extra\nQuit\nQUIT\nquit now\nisready now\n\n   \t \r\n\v\f\nbogus\nstop\nponderhit\n"
        "stop now\ngo\nspeed\nspeed 1 2\nfile\nposition\nposition foo\nsetoption\n"
        "isready\n");
    expectClean(r);
    // stop and ponderhit with no withheld best move print nothing either.
    EXPECT_EQ(r.output, "readyok\n");
}

TEST(EngineDialogue, QuitEndsAtOnceAndCarriageReturnsAreBlanks) {
    Result r = runEngine("isready\r\nquit\r\nisready\n");
    expectClean(r);
    EXPECT_EQ(r.output, "readyok\n");
}

TEST(EngineDialogue, EndOfInputEndsTheEngine) {
    {  // pipe closed without quit, last line unterminated
        Result r = runEngine("uci\nisready");
        expectClean(r);
        EXPECT_EQ(r.output, uciAnswer() + "readyok\n");
    }
    {  // nothing at all
        Result r = runEngine("");
        expectClean(r);
        EXPECT_EQ(r.output, "");
    }
    {
        Result r = runEngineOnFile("/dev/null");
        expectClean(r);
        EXPECT_EQ(r.output, "");
    }
    {  // a regular file as standard input
        TempFile f("isready\n\nuci\nisready");
        Result r = runEngineOnFile(f.path.c_str());
        expectClean(r);
        EXPECT_EQ(r.output, "readyok\n" + uciAnswer() + "readyok\n");
    }
}

TEST(EngineDialogue, FailedWriteEndsTheEngine) {
    Engine e = startEngine();
    close(e.fromEngine);  // the GUI stops reading
    e.fromEngine = -1;
    std::string ignored;
    EXPECT_TRUE(exchange(e, "uci\nisready\n", ignored, false));
    // The engine must leave on its own although its input stays open.
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    int status = 0;
    pid_t done = 0;
    while ((done = waitpid(e.pid, &status, WNOHANG)) == 0 && msLeft(deadline) > 0) usleep(2000);
    if (done == 0) kill(e.pid, SIGKILL);
    closeInput(e);
    e.pid = -1;
    ASSERT_EQ(done > 0, true) << "engine kept running after its output was closed";
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(EngineDialogue, OverlongLineIsDiscardedWhole) {
    // Executed in pieces, the head would answer readyok and the tail would quit.
    std::string line = "isready";
    line += std::string(2000000 - line.size() - 5, ' ');
    line += " quit";
    ASSERT_EQ(line.size(), 2000000u);
    {
        Result r = runEngine(line + "\nisready\n");
        expectClean(r);
        EXPECT_EQ(r.output, "readyok\n");
    }
    {  // the same line as the unterminated end of input
        Result r = runEngine("isready\n" + line);
        expectClean(r);
        EXPECT_EQ(r.output, "readyok\n");
    }
    {  // just below the cap a line is whole and runs
        std::string kept = "isready" + std::string((1 << 20) - 8, ' ');
        Result r = runEngine(kept + "\nquit\n");
        expectClean(r);
        EXPECT_EQ(r.output, "readyok\n");
    }
}

TEST(EngineDialogue, LongGamesAndManyTokensOnOnePositionLine) {
    // A real 4000-ply game: knights out and back, then two pawn moves.
    std::vector<std::string> game;
    for (int i = 0; i < 1000; i++)
        for (const char* m : {"g1f3", "g8f6", "f3g1", "f6g8"}) game.push_back(m);
    game.push_back("e2e4");
    game.push_back("e7e5");
    std::string line = "position startpos moves";
    for (const std::string& m : game) line += " " + m;
    {
        Result r = runEngine(line + "\nspeed 1\n");
        expectClean(r);
        EXPECT_EQ(speedCounts(r.output), std::vector<long long>{movesAfter(game)});
    }
    // 5,000 tokens whose last moves must still be made, next to a 5,000-token line to ignore.
    std::vector<std::string> many;
    for (int i = 0; i < 4992; i++) many.push_back(game[i % 4]);
    for (const char* m : {"e2e4", "e7e5", "d2d4", "d7d5", "c2c4"}) many.push_back(m);
    std::string tokens = "position startpos moves";
    for (const std::string& m : many) tokens += " " + m;
    std::string ignored = "setoption name Hash value 64";
    for (int i = 0; i < 4995; i++) ignored += " x";
    Result r = runEngine(tokens + "\n" + ignored + "\nspeed 1\nuci\n");
    expectClean(r);
    const long long expected = movesAfter(many);
    EXPECT_NE(expected, 20);  // the last five moves changed the position
    // Two speed lines, then the uci answer with the Hash default untouched.
    const size_t second = r.output.find('\n', r.output.find('\n') + 1);
    EXPECT_EQ(r.output.substr(second + 1), uciAnswer());
    EXPECT_EQ(speedCounts(r.output), std::vector<long long>{expected});
}

// position, speed and file through the real binary: refused and cut-back FENs as a GUI would see
// them, the speed line, and command files that return, run out, include themselves or are not
// regular files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "shell/engine_process.h"

using namespace engine_process;

namespace {

using Counts = std::vector<long long>;

Counts speedAfter(const std::string& input) {
    Result r = runEngine(input);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0);
    return speedCounts(r.output);
}

}  // namespace

TEST(SpeedCommand, PrintsTimeNodesAndRate) {
    Result r = runEngine("speed 3\nquit\n");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(maskSpeedTimes(r.output),
              "info time T nodes 8902 nps N\ninfo time T nodes 8902 nps N\n");
    // Depths below 1 and text without digits count as depth 1.
    EXPECT_EQ(speedAfter("speed 0\nspeed -7\nspeed abc\nspeed 2\n"), (Counts{20, 20, 20, 400}));
    // No legal moves: 0 nodes.
    EXPECT_EQ(speedAfter("position startpos moves f2f3 e7e5 g2g4 d8h4\nspeed 3\n"), Counts{0});
    // The count leaves the position as it was.
    EXPECT_EQ(speedAfter("position startpos moves e2e4\nspeed 3\nspeed 1\n"), (Counts{13160, 20}));
}

TEST(FenThroughEngine, RefusedFenCountsNothingUntilTheNextValidPosition) {
    const char* refused[] = {
        "8/8/8/8/8/8/K6k w - -",
        "8/8/8/8/8/8/8/K6k/8 w - -",
        "k7/8/8/8/8/8/8/K6 w - -",
        "k7/8/8/8/8/8/8/K7p w - -",
        "kkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkk w - -",
        "8/8/8/8/8/8/8/7k w - -",
        "k7/8/8/8/8/8/8/K6K w - -",
        "k6k/8/8/8/8/8/8/K7 w - -",
        "k7/8/8/8/8/8/8/K6P w - -",
        "k3p3/8/8/8/8/8/8/K7 b - -",
        "k7/8/QQQQQQQQ/QQQQQQQQ/8/8/8/7K b - -",
        "k6R/8/8/8/8/8/8/K7 w - -",
        // Three checkers: the king could step back along the middle one's line.
        "4k3/8/3pqq2/4K3/8/8/8/8 w - -",
        "8/8/8/8/4k3/3PQQ2/8/4K3 b - -",
        "2R1kR2/3B4/8/8/8/8/8/4K3 b - -",
        "4k3/8/8/8/8/8/3b4/2r1Kr2 w - -",
    };
    for (const char* fen : refused) {
        const std::string input = std::string("position fen ") + fen +
                                  " 0 1 moves a1a2\nspeed 1\nposition startpos\nspeed 1\n"
                                  "position fen " +
                                  fen +
                                  "\nspeed 1\nposition fen k7/8/8/8/8/8/8/K7 w - -\nspeed 1\n";
        EXPECT_EQ(speedAfter(input), (Counts{20, 3})) << fen;
    }
}

TEST(FenThroughEngine, EnPassantAndCastlingFieldsTheBoardCannotBack) {
    struct Case {
        const char* fen;
        long long moves;
    };
    const Case cases[] = {
        {"4k3/8/8/3P4/8/8/8/4K3 w - e6", 6},   // no pawn to take: no capture onto e6
        {"4k3/8/8/3Pp3/8/8/8/4K3 w - e6", 7},  // a real double push: dxe6 counts
        {"4k3/8/8/3Pp3/8/8/8/4K3 w - 6", 6},   // no file: no square
        {"4k3/8/8/8/8/8/8/4K3 w K -", 5},      // no rook: no castling
        {"4k3/8/8/8/8/8/8/3K3R w K -", 15},    // king away from e1
        {"4k3/8/8/8/8/8/8/4K2R w K -", 15},    // both at home: castling counts
        {"4k3/8/8/8/8/8/8/4K2R w - -", 14},
        {"4k3/8/8/8/8/8/8/4K1R1 w KQ -", 14},  // rook beside its home square
        // In check before the push: no en-passant capture may block the check or uncover the king.
        {"5b1k/8/8/3pP3/8/K7/8/8 w - d6", 4},
        {"8/8/k7/8/3Pp3/8/8/5B1K b - d3", 4},
        {"7k/8/2b5/3pP3/4K3/8/8/8 w - d6", 6},
        {"8/8/8/4k3/3Pp3/2B5/8/7K b - d3", 6},
    };
    for (const Case& c : cases)
        EXPECT_EQ(speedAfter(std::string("position fen ") + c.fen + "\nspeed 1\n"), Counts{c.moves})
            << c.fen;
}

TEST(CommandFile, RunsLinesAsIfTypedAndReturnsToStandardInput) {
    TempFile withQuit("uci\nquit\nisready\n");
    TempFile withoutQuit("position startpos moves e2e4\nspeed 1\nisready");
    Result r = runEngine("file " + withQuit.path + "\nisready\nfile " + withoutQuit.path +
                         "\nspeed 1\nfile /nonexistent/kestrun\nfile /tmp\nquit\nisready\n");
    EXPECT_EQ(r.exitCode, 0);
    const std::string info = "info time T nodes 20 nps N\ninfo time T nodes 20 nps N\n";
    EXPECT_EQ(maskSpeedTimes(r.output), uciAnswer() + "readyok\n" + info + "readyok\n" + info);
}

TEST(CommandFile, SkipsWhatIsNotARegularFile) {
    // Devices never end and a pipe may never be written to: reading one would hang the engine.
    Result r = runEngine("file /dev/zero\nfile /dev/urandom\nfile /dev/stdout\nisready\n", 20000);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.output, "readyok\n");
}

TEST(CommandFile, AFileAlreadyRunningIsNotOpenedAgain) {
    // Named twice, once under another spelling: unchecked, it fans out to thousands of runs.
    TempFile self, inner("isready\n");
    self.setContents("isready\nfile " + self.path + "\nfile /tmp/." + self.path.substr(4) +
                     "\nfile " + inner.path + "\nfile " + inner.path + "\n");
    Result r = runEngine("file " + self.path + "\nisready\n", 20000);
    EXPECT_EQ(r.exitCode, 0);
    // Once for the file, twice for the inner file (no longer open the second time), once typed.
    EXPECT_EQ(r.output, "readyok\nreadyok\nreadyok\nreadyok\n");
}

TEST(CommandFile, NestingStopsAtSixteenFiles) {
    TempFile chain[20];
    auto link = [&](const char* before, const char* after) {
        for (int i = 0; i < 20; i++)
            chain[i].setContents(before + (i < 19 ? "file " + chain[i + 1].path + "\n" : "") +
                                 after);
    };
    std::string expected;
    for (int i = 0; i < 16; i++) expected += "readyok\n";
    link("isready\n", "");
    Result r = runEngine("file " + chain[0].path + "\nisready\n");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output, expected + "readyok\n");

    // Each level runs to its own quit and hands back to the file that named it.
    link("", "isready\nquit\nisready\n");
    r = runEngine("file " + chain[0].path + "\nisready\n");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output, expected + "readyok\n");
}

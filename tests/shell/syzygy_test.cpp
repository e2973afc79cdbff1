// Syzygy tables over the pipes, as a GUI sets them: table scores and tbhits on the lines, moves
// that keep the result, the empty path's unchanged counts, and paths the engine must survive.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <regex>

#include "engine_process.h"
#include "search/tablebase.h"

using namespace engine_process;

namespace {

const std::string Tables = KESTRUN_SYZYGY_TABLES;
const std::string SetTables = "setoption name SyzygyPath value " + Tables + "\n";
// A table win one ply from the root: 20000 less the ply, a decisive score no GUI reads as a mate.
const std::string TableWin = "score cp 19999 ";

#define NEEDS_TABLES()                                                 \
    if (!SYZYGY_BUILT) GTEST_SKIP() << "built without Syzygy support"; \
    if (!std::filesystem::exists(Tables + "/KRvK.rtbw"))               \
    GTEST_SKIP() << "no Syzygy tables in " << Tables

// The score and the tbhits of the last score line before the bestmove, and the move.
struct Answer {
    std::string score, move;
    long long tbhits = -1;
};

Answer answerOf(const std::string& output) {
    Answer a;
    std::smatch m;
    std::string::const_iterator from = output.begin();
    static const std::regex line("tbhits (\\d+) (score \\w+ -?\\d+ )");
    while (std::regex_search(from, output.end(), m, line)) {
        a.tbhits = std::stoll(m[1]);
        a.score = m[2];
        from = m[0].second;
    }
    const size_t b = output.rfind("bestmove ");
    if (b != std::string::npos)
        a.move = output.substr(b + 9, output.find_first_of(" \n", b + 9) - b - 9);
    return a;
}

// The score lines without their time and rate, and the answers: what a search counts, without the
// lines a slow build adds by the clock (status and currmove lines).
std::string countsAndAnswers(const std::string& output) {
    static const std::regex line("(info string|info .* score |bestmove).*\n");
    static const std::regex timing("time \\d+ |nps \\d+ ");
    std::string kept;
    for (std::sregex_iterator i(output.begin(), output.end(), line), end; i != end; ++i)
        kept += std::regex_replace(i->str(), timing, "");
    return kept;
}

Answer search(Engine& e, const std::string& fen, int depth) {
    return answerOf(
        bestMoveAfter(e, "position fen " + fen + "\ngo depth " + std::to_string(depth) + "\n"));
}

}  // namespace

TEST(SyzygyDialogue, WinsAndDrawsKeepTheirTableResultAndScore) {
    NEEDS_TABLES();
    Engine e = startEngine();
    EXPECT_EQ(say(e, SetTables + "isready\n", "readyok"),
              "info string Syzygy tables found: 35\nreadyok\n");
    Answer a = search(e, "8/8/8/8/8/3k4/8/3KR3 w - - 0 1", 3);
    EXPECT_EQ(a.score, TableWin);
    EXPECT_GT(a.tbhits, 0);
    a = search(e, "8/8/4k3/8/8/8/3Q4/3K1r2 w - - 0 1", 5);
    EXPECT_EQ(a.score, TableWin);
    EXPECT_GT(a.tbhits, 1);
    EXPECT_TRUE(a.move == "d1c2" || a.move == "d1e2") << a.move;
    // Drawn: king and pawn against king, queen against queen, and rook against pawn, where ten
    // of the thirteen moves lose.
    for (const char* fen : {"8/8/8/4k3/8/8/4P3/4K3 b - - 0 1", "8/8/3k4/3q4/8/3Q4/3K4/8 w - - 0 1"})
        EXPECT_EQ(search(e, fen, 8).score, "score cp 0 ") << fen;
    a = search(e, "8/8/8/8/8/2k5/1p6/4K2R w - - 0 1", 8);
    EXPECT_EQ(a.score, "score cp 0 ");
    EXPECT_TRUE(a.move == "e1e2" || a.move == "e1f2" || a.move == "h1h3") << a.move;
    // The pawn push looks best to a shallow search but only draws; the king's way wins.
    const std::string shallowLoss = "5k2/8/8/8/2P5/4K3/8/8 w - - 0 1";
    a = search(e, shallowLoss, 4);
    EXPECT_EQ(a.score, TableWin);
    EXPECT_NE(a.move, "c4c5");
    Engine plain = startEngine();
    EXPECT_EQ(search(plain, shallowLoss, 4).move, "c4c5");
    expectExit(plain, "quit\n");
    expectExit(e, "quit\n");
}

TEST(SyzygyDialogue, ThreadsProbeTogether) {
    NEEDS_TABLES();
    Engine e = startEngine();
    send(e, "setoption name Threads value 3\n" + SetTables);
    const Answer a = search(e, "8/8/4k3/8/8/8/3Q4/3K1r2 w - - 0 1", 9);
    EXPECT_EQ(a.score, TableWin);
    EXPECT_GT(a.tbhits, 0);
    expectExit(e, "quit\n");
}

TEST(SyzygyDialogue, TheEmptyPathCountsAsBefore) {
    NEEDS_TABLES();
    const std::string searches =
        "position fen 8/8/4k3/8/8/8/3Q4/3K1r2 w - - 0 1\ngo depth 9\n"
        "position startpos moves e2e4 e7e5\ngo depth 8\nquit\n";
    const Result plain = runEngineOnText(searches);
    const Result unloaded =
        runEngineOnText(SetTables + "setoption name SyzygyPath value <empty>\n" +
                        "setoption name SyzygyPath value\n" + searches);
    EXPECT_EQ(countsAndAnswers(unloaded.output),
              "info string Syzygy tables found: 35\n" + countsAndAnswers(plain.output));
}

TEST(SyzygyDialogue, BadPathsSpacesAndSearchesInTheWay) {
    NEEDS_TABLES();
    char folder[] = "/tmp/kestrun_syzygy_XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string spaced = std::string(folder) + "/tables  with spaces";
    ASSERT_EQ(symlink(Tables.c_str(), spaced.c_str()), 0);
    Engine e = startEngine();
    EXPECT_EQ(say(e, "setoption name SyzygyPath value /no/such/folder\nisready\n", "readyok"),
              "info string Syzygy tables found: 0\nreadyok\n");
    EXPECT_EQ(search(e, "8/8/8/8/8/3k4/8/3KR3 w - - 0 1", 3).tbhits, -1);
    EXPECT_EQ(say(e, "setoption name syzygypath value " + spaced + " \nisready\n", "readyok"),
              "info string Syzygy tables found: 35\nreadyok\n");
    // Dropped during a search, as every setoption is.
    send(e, "position fen 8/8/4k3/8/8/8/3Q4/3K1r2 w - - 0 1\ngo infinite\n");
    usleep(100000);
    std::string output =
        bestMoveAfter(e, "setoption name SyzygyPath value /no/such/folder\nstop\n");
    EXPECT_EQ(output.find("info string"), std::string::npos) << output;
    EXPECT_EQ(search(e, "8/8/8/8/8/3k4/8/3KR3 w - - 0 1", 3).score, TableWin);
    expectExit(e, "quit\n");
    std::filesystem::remove_all(folder);
}

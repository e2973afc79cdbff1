// Syzygy tables over the pipes, as a GUI sets them: table scores and tbhits on the lines, moves
// that keep the result, the empty path's unchanged counts, and paths the engine must survive.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

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

// Path shapes a user or a fuzzer may type, and folders of broken tables: each answers with the
// count and leaves a normal search; under the address sanitizer a read outside any buffer of the
// engine or of what it hands the library fails the test.
TEST(SyzygyDialogue, HostilePathShapesAndBrokenTables) {
    NEEDS_TABLES();
    namespace fs = std::filesystem;
    char folder[] = "/tmp/kestrun_syzygy_XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string cut = std::string(folder) + "/cut", noise = std::string(folder) + "/noise",
                      bad = std::string(folder) + "/bad";
    fs::create_directory(cut);
    fs::create_directory(noise);
    fs::create_directory(bad);
    unsigned seed = 12345;
    for (const auto& file : fs::directory_iterator(Tables)) {
        const uintmax_t size = fs::file_size(file.path());
        fs::copy_file(file.path(), cut / file.path().filename());
        fs::permissions(cut / file.path().filename(), fs::perms::owner_write,
                        fs::perm_options::add);
        fs::resize_file(cut / file.path().filename(), size / 3);
        std::string bytes(size, '\0');
        for (char& c : bytes) c = char((seed = seed * 1103515245 + 12345) >> 16);
        FILE* f = std::fopen((noise / file.path().filename()).c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        // The real tables, but one whose header is sound and whose contents are noise: probing it
        // makes the library read outside the file.
        FILE* g = std::fopen((fs::path(bad) / file.path().filename()).c_str(), "wb");
        ASSERT_NE(g, nullptr);
        std::ifstream real(file.path(), std::ios::binary);
        std::string content((std::istreambuf_iterator<char>(real)), {});
        if (file.path().filename() == "KRvKP.rtbw") content.replace(64, size - 64, bytes, 64);
        std::fwrite(content.data(), 1, content.size(), g);
        std::fclose(g);
    }
    const std::pair<std::string, int> shapes[] = {
        {":", 0},
        {"::", 0},
        {" : ", 0},
        {Tables + ":", 35},
        {":" + Tables, 35},
        {Tables + "::" + Tables, 35},
        {"  " + Tables + " :\t" + Tables + "  :", 35},
        {Tables + "/KRvK.rtbw", 0},
        {"/no/such:" + Tables + "/KRvK.rtbw:" + Tables, 35},
        {noise, 0},
        // A table's first folder holds the file the library reads.
        {noise + ":" + Tables, 0},
        {Tables + ":" + noise, 35},
        {cut, 0},
        {bad, 5},
        {std::string(5000, '/') + ":" + std::string(5000, ':'), 0},
    };
    Engine e = startEngine();
    for (const auto& [path, found] : shapes) {
        const std::string output =
            say(e, "setoption name SyzygyPath value " + path + "\nisready\n", "readyok");
        const std::string count =
            "info string Syzygy tables found: " + std::to_string(found) + "\nreadyok\n";
        ASSERT_GE(output.size(), count.size()) << path;
        EXPECT_EQ(output.substr(output.size() - count.size()), count) << path.substr(0, 200);
        // The library's info line for each table cut short stays; a corrupt table is named.
        std::istringstream lines(output.substr(0, output.size() - count.size()));
        for (std::string line; std::getline(lines, line);)
            if (path == bad)
                EXPECT_EQ(line,
                          "info string Syzygy table KRvKP is corrupt: tables of 4 pieces "
                          "and more are not used");
            else
                EXPECT_EQ(line.rfind("info string Incomplete tablebase file ", 0), 0u) << line;
        const Answer a = search(e, "8/8/8/8/8/3k4/8/3KR3 w - - 0 1", 4);
        EXPECT_EQ(a.score == TableWin, found > 0) << path.substr(0, 200) << " " << a.score;
        EXPECT_EQ(a.move.size(), 4u);
    }
    // A value left empty unloads, as <empty> does, and prints nothing.
    EXPECT_EQ(say(e,
                  "setoption name SyzygyPath value " + Tables +
                      "\nsetoption name SyzygyPath value   \nisready\n",
                  "readyok"),
              "info string Syzygy tables found: 35\nreadyok\n");
    EXPECT_EQ(search(e, "8/8/8/8/8/3k4/8/3KR3 w - - 0 1", 4).tbhits, -1);
    expectExit(e, "quit\n");
    fs::remove_all(folder);
}

// The library is opened only when a folder is given: without it (missing, not a library, or one
// without the entry points) the engine says so once and searches on without tables.
TEST(SyzygyDialogue, WithoutTheLibraryTheEnginePlaysOn) {
    NEEDS_TABLES();
    char broken[] = "/tmp/kestrun_fathom_XXXXXX";
    const int fd = mkstemp(broken);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "not a library", 13), 13);
    close(fd);
    const std::pair<std::string, std::string> libraries[] = {
        {"/no/such/libfathom.so.1",
         "the fathom library could not be opened (/no/such/libfathom.so.1: "},
        {broken, "the fathom library could not be opened (" + std::string(broken) + ": "},
        {"libm.so.6", "the fathom library libm.so.6 has no tb_init (another version?)"},
    };
    for (const auto& [library, problem] : libraries) {
        setenv("KESTRUN_FATHOM_LIBRARY", library.c_str(), 1);
        Engine e = startEngine();
        unsetenv("KESTRUN_FATHOM_LIBRARY");
        // An empty value does not open the library, so it says nothing.
        EXPECT_EQ(say(e, "setoption name SyzygyPath value <empty>\nisready\n", "readyok"),
                  "readyok\n");
        const std::string output =
            say(e, "setoption name SyzygyPath value " + Tables + "\nisready\n", "readyok");
        EXPECT_EQ(output.rfind("info string Syzygy tables not loaded: " + problem, 0), 0u)
            << output;
        EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 2) << output;
        const Answer a = search(e, "8/8/8/8/8/3k4/8/3KR3 w - - 0 1", 4);
        EXPECT_EQ(a.tbhits, -1);
        EXPECT_NE(a.score, TableWin);
        EXPECT_EQ(a.move.size(), 4u);
        expectExit(e, "quit\n");
    }
    unlink(broken);
}

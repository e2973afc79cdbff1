// The Syzygy tables through the library: loading and counting them, the ranking of root moves
// (the fifty-move rule included), the node probe, and tables that are missing or cut short.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "board/legal.h"
#include "board/notation.h"
#include "search/tablebase.h"
#include "search_helpers.h"

namespace {

namespace fs = std::filesystem;
const std::string Tables = KESTRUN_SYZYGY_TABLES;

// Every test leaves the process without tables, as the other tests expect it.
class Syzygy : public ::testing::Test {
protected:
    void SetUp() override {
        if (!SYZYGY_BUILT) GTEST_SKIP() << "built without Syzygy support";
        if (!fs::exists(Tables + "/KRvK.rtbw")) GTEST_SKIP() << "no Syzygy tables in " << Tables;
    }
    void TearDown() override {
        loadTablebases("");
        setTablebaseOptions(1, true, 7);
    }
};

// The moves the ranking keeps, as text, and the root's table score.
std::string ranked(const std::string& fen, int& score, int halfmoveClock = 0) {
    Position pos;
    EXPECT_TRUE(readFenText(pos, fen.c_str())) << fen;
    pos.halfmoveClock = halfmoveClock;
    Move moves[MAX_MOVES];
    const int n = rankRootMoves(pos, moves, generateLegal(pos, moves), score = NO_SCORE);
    std::string kept;
    for (int i = 0; i < n; i++) kept += text(moves[i]) + " ";
    return kept;
}

}  // namespace

TEST_F(Syzygy, LoadsCountsAndUnloads) {
    EXPECT_EQ(loadTablebases(Tables.c_str()), 35);
    EXPECT_EQ(tablebasePieces(), 4);
    // Several folders, with a missing one and a very long name among them.
    const std::string folders = "/no/such/folder:" + std::string(100000, 'x') + ":" + Tables;
    EXPECT_EQ(loadTablebases(folders.c_str()), 35);
    EXPECT_EQ(loadTablebases("/no/such/folder"), 0);
    EXPECT_EQ(tablebasePieces(), 0);
    EXPECT_EQ(tablebaseRules.probePieces, 0);
    EXPECT_EQ(loadTablebases(Tables.c_str()), 35);
    EXPECT_EQ(loadTablebases("<empty>"), 0);
    EXPECT_EQ(tablebaseRules.probePieces, 0);
}

TEST_F(Syzygy, RootKeepsTheBestResultCountingTheFiftyMoveRule) {
    loadTablebases(Tables.c_str());
    int score;
    // King and pawn: the push draws, the king's way forward wins.
    std::string kept = ranked("5k2/8/8/8/2P5/4K3/8/8 w - -", score);
    EXPECT_EQ(score, TABLE_WIN - 1);
    EXPECT_EQ(kept.find("c4c5"), std::string::npos) << kept;
    EXPECT_NE(kept.find("e3d4"), std::string::npos) << kept;
    // A drawn king and pawn keeps every drawing move and scores 0.
    EXPECT_EQ(ranked("8/8/8/4k3/8/8/4P3/4K3 b - -", score).size(), 8u * 5);
    EXPECT_EQ(score, 0);
    // The rook is kept, and the quickest way to zero the clock comes first.
    kept = ranked("4k3/8/8/8/8/8/8/3RK3 w - -", score);
    EXPECT_EQ(kept.find("d1d7"), std::string::npos) << kept;
    EXPECT_EQ(kept.substr(0, 5), "e1e2 ") << kept;
    // Late in the fifty moves only the quickest wins are still wins; later still, none is, and
    // the cursed win scores just above a draw unless the rule is off.
    EXPECT_EQ(ranked("4k3/8/8/8/8/8/8/3RK3 w - -", score, 75), "e1e2 e1f2 e1d2 ");
    ranked("4k3/8/8/8/8/8/8/3RK3 w - -", score, 90);
    EXPECT_EQ(score, 1);
    setTablebaseOptions(1, false, 7);
    ranked("4k3/8/8/8/8/8/8/3RK3 w - -", score, 90);
    EXPECT_EQ(score, TABLE_WIN - 1);
    // Beyond the probe limit the root is left to the search.
    setTablebaseOptions(1, true, 2);
    EXPECT_EQ(ranked("5k2/8/8/8/2P5/4K3/8/8 w - -", score).size(), 9u * 5);
    EXPECT_EQ(score, NO_SCORE);
}

TEST_F(Syzygy, TablesCutShortAreNeitherTrustedNorFatal) {
    char folder[] = "/tmp/kestrun_syzygy_XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    for (const auto& file : fs::directory_iterator(Tables))
        fs::copy_file(file.path(), fs::path(folder) / file.path().filename());
    // Half of the rook ending's win/draw/loss table, half of the pawn ending's distance table.
    for (const char* name : {"KRvK.rtbw", "KPvK.rtbz"}) {
        const fs::path p = fs::path(folder) / name;
        fs::permissions(p, fs::perms::owner_write, fs::perm_options::add);
        fs::resize_file(p, fs::file_size(p) / 2);
    }
    EXPECT_EQ(loadTablebases(folder), 34);
    Position pos;
    ASSERT_TRUE(readFenText(pos, "4k3/8/8/8/8/8/8/3RK3 w - -"));
    EXPECT_EQ(probeWdl(pos, 3), NO_SCORE);
    int score;
    EXPECT_EQ(ranked("4k3/8/8/8/8/8/8/3RK3 w - -", score).size(), 14u * 5);
    EXPECT_EQ(score, NO_SCORE);
    // Without its distance table the pawn ending keeps the win through the win/draw/loss table.
    const std::string kept = ranked("5k2/8/8/8/2P5/4K3/8/8 w - -", score);
    EXPECT_EQ(score, TABLE_WIN - 1);
    EXPECT_EQ(kept.find("c4c5"), std::string::npos) << kept;
    // The search plays on without the broken table and keeps the rook.
    const SearchResult r = searchFen("4k3/8/8/8/8/8/8/3RK3 w - -", 8);
    EXPECT_GT(r.score, 300);
    EXPECT_NE(text(r.bestMove), "d1d7");
    EXPECT_NE(text(r.bestMove), "d1d8");
    fs::remove_all(folder);
}

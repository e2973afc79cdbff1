// Win/draw/loss odds: the model's shape (monotone in the score, colour-symmetric, summing to
// 1000), certain odds for mates and table results, and the wdl token on every score line only
// when UCI_ShowWDL asks for it.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "search/tablebase.h"
#include "shell/engine_process.h"
#include "shell/wdl.h"

using namespace engine_process;

TEST(WdlModel, MonotoneSymmetricAndSummingTo1000) {
    for (int move = 1; move <= 200; move++) {
        Wdl last = modelWdl(-5000, move);
        EXPECT_EQ(last.loss, 1000);
        for (int cp = -5000; cp <= 5000; cp++) {
            const Wdl w = modelWdl(cp, move);
            ASSERT_EQ(w.win + w.draw + w.loss, 1000) << cp << " " << move;
            ASSERT_GE(w.draw, 0);
            ASSERT_GE(w.win, last.win) << cp << " " << move;
            ASSERT_LE(w.loss, last.loss) << cp << " " << move;
            const Wdl m = modelWdl(-cp, move);
            ASSERT_TRUE(w.win == m.loss && w.draw == m.draw && w.loss == m.win) << cp;
            last = w;
        }
        EXPECT_EQ(last.win, 1000);
        // The draw odds shrink as the score grows either way.
        EXPECT_GT(modelWdl(0, move).draw, modelWdl(300, move).draw);
    }
    // The move number matters: a level score late in a game is mostly a draw.
    EXPECT_GT(modelWdl(0, 100).draw, modelWdl(0, 10).draw + 300);
}

TEST(WdlModel, MatesAndTableResultsAreCertain) {
    auto same = [](Wdl a, Wdl b) { return a.win == b.win && a.draw == b.draw && a.loss == b.loss; };
    EXPECT_TRUE(same(scoreWdl(MATE - 5, 20, false), {1000, 0, 0}));
    EXPECT_TRUE(same(scoreWdl(-MATE + 4, 20, false), {0, 0, 1000}));
    EXPECT_TRUE(same(scoreWdl(TABLE_WIN - 7, 60, false), {1000, 0, 0}));
    EXPECT_TRUE(same(scoreWdl(-TABLE_WIN + 7, 60, true), {0, 0, 1000}));
    // The root's table verdict: a draw, or a cursed win or blessed loss under the fifty-move rule.
    for (int score : {0, 1, -1}) EXPECT_TRUE(same(scoreWdl(score, 60, true), {0, 1000, 0}));
    // The same scores from a search print the model's odds (the scores print at 1.3 times).
    EXPECT_TRUE(same(scoreWdl(100, 30, false), modelWdl(130, 30)));
}

TEST(WdlDialogue, ScoreLinesCarryTheOddsOnlyWhenAsked) {
    const std::string search = "position startpos moves e2e4 e7e5\ngo depth 8\n";
    const Result off = runEngineOnText(search + "quit\n");
    EXPECT_EQ(off.output.find(" wdl "), std::string::npos);
    const Result on = runEngineOnText("setoption name UCI_ShowWDL value true\n" + search +
                                      "position fen 7k/8/6QK/8/8/8/8/8 w - - 0 1\ngo depth 7\n"
                                      "position startpos moves f2f3 e7e5 g2g4 d8h4\ngo depth 3\n"
                                      "position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1\ngo depth 3\n"
                                      "setoption name UCI_ShowWDL value false\nucinewgame\n" +
                                      search + "quit\n");
    const std::regex line("score (cp|mate) (-?[0-9]+) wdl ([0-9]+) ([0-9]+) ([0-9]+)( pv |\n)");
    int lines = 0;
    for (std::sregex_iterator i(on.output.begin(), on.output.end(), line), end; i != end; ++i) {
        const int w = std::stoi((*i)[3]), d = std::stoi((*i)[4]), l = std::stoi((*i)[5]);
        EXPECT_EQ(w + d + l, 1000) << i->str();
        if ((*i)[1] == "mate") {
            EXPECT_EQ(std::stoi((*i)[2]) > 0 ? w : l, 1000) << i->str();
        }
        lines++;
    }
    EXPECT_EQ(lines, count(on.output, " score ") - count(off.output, " score ")) << on.output;
    EXPECT_NE(on.output.find("score mate 1 wdl 1000 0 0 pv g6g7\n"), std::string::npos);
    EXPECT_NE(on.output.find("info depth 0 score mate 0 wdl 0 0 1000\n"), std::string::npos);
    EXPECT_NE(on.output.find("info depth 0 score cp 0 wdl 0 1000 0\n"), std::string::npos);
    // Switched off again, the lines are as before, byte for byte but for the clock.
    const std::regex timing("time [0-9]+ |nps [0-9]+ ");
    const size_t before = on.output.rfind("bestmove", on.output.rfind("bestmove") - 1);
    const std::string last = on.output.substr(on.output.find('\n', before) + 1);
    EXPECT_EQ(std::regex_replace(last, timing, ""), std::regex_replace(off.output, timing, ""));
}

TEST(WdlDialogue, TableScoresPrintDecisiveButNoMate) {
    const std::string tables = KESTRUN_SYZYGY_TABLES;
    if (!SYZYGY_BUILT) GTEST_SKIP() << "built without Syzygy support";
    if (!std::filesystem::exists(tables + "/KRvK.rtbw")) GTEST_SKIP() << "no tables in " << tables;
    const Result r = runEngineOnText(
        "setoption name UCI_ShowWDL value true\n"
        "setoption name SyzygyPath value " +
        tables +
        "\n"
        "position fen 8/8/8/8/8/3k4/8/3KR3 w - - 0 1\ngo depth 3\n"
        "position fen 8/8/8/8/8/3k4/8/R2K4 b - - 0 1\ngo depth 3\n"
        "position fen 8/8/8/4k3/8/8/4P3/4K3 b - - 0 1\ngo depth 8\n"
        "quit\n");
    EXPECT_NE(r.output.find("score cp 19999 wdl 1000 0 0 pv "), std::string::npos) << r.output;
    EXPECT_TRUE(
        std::regex_search(r.output, std::regex("score cp -(19[0-9]{3}|20000) wdl 0 0 1000 pv ")))
        << r.output;
    EXPECT_NE(r.output.find("score cp 0 wdl 0 1000 0 pv "), std::string::npos) << r.output;
    // Every table score stays inside the band: decisive, never near 32767.
    const std::regex cp("score cp (-?[0-9]+)");
    for (std::sregex_iterator i(r.output.begin(), r.output.end(), cp), end; i != end; ++i)
        EXPECT_LE(std::abs(std::stoi((*i)[1])), 20000) << i->str();
}

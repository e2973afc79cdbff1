// The go limits beyond depth and time, a score for every answer, ucinewgame and the bench
// argument, through the real binary over pipes.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "shell/engine_process.h"

using namespace engine_process;

namespace {

// Whether text begins with the words of shape, "#" standing for a number (a minus allowed) and
// "*" for any word; with `whole`, no word may follow.
bool hasShape(const std::string& text, const std::vector<std::string>& shape, bool whole) {
    std::istringstream words(text);
    std::string w;
    for (const std::string& want : shape) {
        if (!(words >> w)) return false;
        const bool number = !w.empty() && w.find_first_not_of("-0123456789") == std::string::npos;
        if (want == "#" ? !number : want != "*" && w != want) return false;
    }
    return !whole || !(words >> w);
}

// The node count of the last line that has one.
long long lastNodes(const std::string& output) {
    const size_t at = output.rfind(" nodes ");
    return at == std::string::npos ? -1 : std::stoll(output.substr(at + 7));
}

std::string bestMoveLine(const std::string& output) {
    const size_t at = output.rfind("bestmove ");
    return at == std::string::npos ? "" : output.substr(at, output.find('\n', at) - at);
}

// The line just before the bestmove line.
std::string lineBeforeAnswer(const std::string& output) {
    const size_t answer = output.rfind("bestmove ");
    if (answer == std::string::npos || answer == 0) return "";
    const size_t start = output.rfind('\n', answer - 2);
    return output.substr(start == std::string::npos ? 0 : start + 1,
                         answer - 1 - (start == std::string::npos ? 0 : start + 1));
}

const char* const Middlegame = "r1bq1rk1/ppp2ppp/2np1n2/2b1p3/2B1P3/2PP1N2/PP3PPP/RNBQ1RK1 w - -";

}  // namespace

TEST(GoNodes, StopsAtTheBudgetAndRepeatsExactly) {
    Engine e = startEngine();
    const std::string go = std::string("position fen ") + Middlegame + "\ngo nodes 20000\n";
    const std::string first = bestMoveAfter(e, go);
    EXPECT_EQ(lastNodes(first), 20000) << first;
    const std::string again = bestMoveAfter(e, "ucinewgame\n" + go);
    EXPECT_EQ(lastNodes(again), 20000) << again;
    EXPECT_EQ(bestMoveLine(again), bestMoveLine(first));
    // The first limit reached ends the search.
    const std::string shallow = bestMoveAfter(e, "go nodes 100000000 depth 3\n");
    EXPECT_NE(lineBeforeAnswer(shallow).find("info depth 3 "), std::string::npos) << shallow;
    EXPECT_LT(lastNodes(shallow), 20000) << shallow;
    expectExit(e, "quit\n");
}

TEST(GoNodes, SeveralThreadsHoldTheBudgetAfterADeeperSearch) {
    // Helpers count towards the budget from zero, check it themselves and stop with the main
    // thread: no line of the search reports more than the README's tolerance, 2 % of the budget
    // and 1,024 nodes a thread (the last search's helper nodes used to show in its first lines).
    Engine e = startEngine();
    for (int threads : {2, 4}) {
        const std::string setUp = "setoption name Threads value " + std::to_string(threads) +
                                  "\nposition fen " + Middlegame + "\n";
        bestMoveAfter(e, setUp + "go depth 9\n");
        const std::string out = bestMoveAfter(e, "go nodes 20000\n");
        const long long most = 20000 + 20000 / 50 + 1024 * threads;
        long long largest = 0;
        for (size_t at = out.find(" nodes "); at != std::string::npos;
             at = out.find(" nodes ", at + 1))
            largest = std::max(largest, std::stoll(out.substr(at + 7)));
        EXPECT_GT(largest, 0) << out;
        EXPECT_LE(largest, most) << threads << " threads\n" << out;
        EXPECT_NE(bestMoveLine(out), "") << out;
    }
    expectExit(e, "quit\n");
}

TEST(GoMate, EndsAtTheFirstMateWithinTheMovesAndOtherwiseRunsOn) {
    Engine e = startEngine();
    std::string out = bestMoveAfter(e, "position fen k7/8/2K5/8/8/8/8/7R w - -\ngo mate 2\n");
    EXPECT_NE(lineBeforeAnswer(out).find(" score mate 2 pv c6b6"), std::string::npos) << out;
    // No mate in one here: only the depth limit ends the search.
    out = bestMoveAfter(e, "go mate 1 depth 7\n");
    EXPECT_EQ(count(out, "info depth 7 "), 2) << out;
    EXPECT_EQ(bestMoveLine(out), "bestmove c6b6 ponder a8b8") << out;
    expectExit(e, "quit\n");
}

TEST(GoSearchMoves, OnlyTheListedLegalMovesAreSearched) {
    Result r = runEngineOnText("position startpos\ngo depth 6 searchmoves a2a3 h2h3 e2e5 junk\n");
    const std::string answer = bestMoveLine(r.output);
    EXPECT_TRUE(answer.rfind("bestmove a2a3", 0) == 0 || answer.rfind("bestmove h2h3", 0) == 0)
        << r.output;
    for (const char* pv : {" pv b1c3", " pv g1f3", " pv e2e4", " pv d2d4"})
        EXPECT_EQ(r.output.find(pv), std::string::npos) << r.output;
    // No listed move is legal: all of them are searched, as without the keyword.
    const Result plain = runEngineOnText("position startpos\ngo depth 6\n");
    r = runEngineOnText("position startpos\ngo depth 6 searchmoves e7e5\n");
    EXPECT_EQ(bestMoveLine(r.output), bestMoveLine(plain.output));
    EXPECT_EQ(lastNodes(r.output), lastNodes(plain.output));
}

TEST(ScoreLine, EverySearchReportsTheScoreOfItsAnswer) {
    Engine e = startEngine();
    // Too short for the iterations that print: one line with the score, before the bestmove.
    std::string out = bestMoveAfter(e, "position startpos\ngo wtime 100 btime 100\n");
    EXPECT_TRUE(hasShape(lineBeforeAnswer(out),
                         {"info", "depth", "#", "seldepth", "#", "time", "#", "nodes", "#", "nps",
                          "#", "hashfull", "#", "score", "cp", "#", "pv", "*"},
                         false))
        << out;
    const std::string pv = lineBeforeAnswer(out).substr(lineBeforeAnswer(out).find(" pv ") + 4);
    EXPECT_EQ(bestMoveLine(out).substr(9, 4), pv.substr(0, 4)) << out;
    // Checkmated at the root.
    out = bestMoveAfter(e, "position fen R5k1/5ppp/8/8/8/8/8/6K1 b - -\ngo depth 5\n");
    EXPECT_EQ(out, "info depth 0 score mate 0\nbestmove 0000\n");
    // Iterations that printed their scores need no extra line.
    out = bestMoveAfter(e, "position startpos\ngo depth 6\n");
    EXPECT_EQ(count(out, " score "), count(out, " pv ")) << out;
    EXPECT_EQ(lineBeforeAnswer(out).find(" score "), std::string::npos) << out;
    expectExit(e, "quit\n");
}

TEST(NewGame, TheNextSearchCountsWhatAFreshProcessCounts) {
    const std::string game = "position startpos moves e2e4 e7e5\ngo depth 8\n";
    const long long fresh = lastNodes(runEngineOnText(game).output);
    Engine e = startEngine();
    bestMoveAfter(e, std::string("position fen ") + Middlegame + "\ngo depth 8\n");
    EXPECT_EQ(lastNodes(bestMoveAfter(e, "ucinewgame\n" + game)), fresh);
    // Without it the table of the search before changes the count.
    EXPECT_NE(lastNodes(bestMoveAfter(e, game)), fresh);
    expectExit(e, "quit\n");
}

TEST(BenchArgument, RunsTheBenchWithoutReadingInput) {
    const std::string typed = runEngine("bench 4\n").output;
    // The pipe stays open and silent: the engine must not wait for it.
    Engine e = startEngine(nullptr, {"bench", "4"});
    std::string output;
    EXPECT_TRUE(exchange(e, "", output, false, "", DEFAULT_TIMEOUT_MS));
    EXPECT_EQ(waitEngine(e), 0);
    EXPECT_TRUE(hasShape(output, {"#", "nodes", "#", "nps"}, true) && output.back() == '\n')
        << output;
    ASSERT_FALSE(typed.empty());
    EXPECT_EQ(std::stoll(output), std::stoll(typed));
}

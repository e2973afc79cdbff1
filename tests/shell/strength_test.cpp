// Playing at a chosen rating through the real binary: without the limit nothing changes; with it
// the engine still takes a mate and a hanging queen, repeats its moves for the same seed, varies
// them between games, and answers legally, within the go line's bounds, with the line it shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "board/legal.h"
#include "board/makemove.h"
#include "search/search_helpers.h"
#include "search/strength.h"
#include "shell/engine_process.h"

using namespace engine_process;

namespace {

std::string limit(int elo) {
    return "setoption name UCI_LimitStrength value true\nsetoption name UCI_Elo value " +
           std::to_string(elo) + "\n";
}

std::vector<std::string> bestMoves(const std::string& output) {
    std::vector<std::string> moves;
    std::istringstream in(output);
    for (std::string word; in >> word;)
        if (word == "bestmove" && in >> word) moves.push_back(word);
    return moves;
}

// Per line of output, its words.
std::vector<std::vector<std::string>> lines(const std::string& output) {
    std::vector<std::vector<std::string>> all;
    std::istringstream in(output);
    for (std::string text; std::getline(in, text);) {
        std::istringstream words(text);
        all.emplace_back();
        for (std::string w; words >> w;) all.back().push_back(w);
    }
    return all;
}

std::string after(const std::vector<std::string>& words, const std::string& key) {
    const auto at = std::find(words.begin(), words.end(), key);
    return at < words.end() - 1 ? at[1] : "";
}

// The first move of the last line shown as the best: the last pv of one line, or of line 1.
std::string shownMove(const std::string& output) {
    std::string move;
    for (const auto& words : lines(output))
        if (!after(words, "pv").empty() && after(words, "multipv") <= "1")
            move = after(words, "pv");
    return move;
}

// The lines that do not depend on the clock (slow builds add status and currmove lines: only
// scores, answers and the bench total stay), with times and rates masked.
std::string timeless(const std::string& output) {
    std::string kept;
    for (auto words : lines(output)) {
        const bool bench = words.size() == 4 && words[3] == "nps";
        if (!bench && after(words, "score").empty() && after(words, "bestmove").empty()) continue;
        for (size_t i = 1; i < words.size(); i++)
            if (words[i - 1] == "time" || words[i - 1] == "nps" || (bench && i == 2))
                words[i].assign(1, 'T');  // not = "T": GCC 12 warns falsely (-Wrestrict) there
        for (const std::string& w : words) kept += w + " ";
        kept += "\n";
    }
    return kept;
}

}  // namespace

TEST(Strength, WithoutTheLimitNothingChanges) {
    const std::string searches =
        "position startpos moves e2e4 c7c5 g1f3\ngo depth 8\n"
        "position fen r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 1\n"
        "go depth 8\n";
    const std::string plain = timeless(runEngineOnText(searches).output);
    ASSERT_EQ(count(plain, "bestmove "), 2) << plain;
    // Set and cleared again; on at the top of the scale, which is full strength.
    const std::string off = "setoption name UCI_LimitStrength value false\n";
    EXPECT_EQ(timeless(runEngineOnText(limit(MIN_ELO) + off + searches).output), plain);
    EXPECT_EQ(timeless(runEngineOnText(limit(99999) + searches).output), plain);
    // bench always searches at full strength.
    const std::string bench = timeless(runEngineOnText("bench 5\n").output);
    EXPECT_NE(bench.find(" nodes T nps"), std::string::npos) << bench;
    EXPECT_EQ(timeless(runEngineOnText(limit(MIN_ELO) + "bench 5\n").output), bench);
}

TEST(Strength, EveryRatingTakesAMateInOneAndAHangingQueen) {
    // A rook up with a back-rank mate; a queen that took on e4 and stands en prise to a pawn.
    const std::string positions =
        "position fen 6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1\ngo depth 30\n"
        "position fen rnb1kbnr/ppp1pppp/8/8/4q3/3P4/PPP1BPPP/RNBQK1NR w KQkq - 0 4\ngo depth 30\n";
    for (int elo : {MIN_ELO, (MIN_ELO + MAX_ELO) / 2}) {
        std::string script = limit(elo);
        const int games = 60;  // each a new seed
        for (int g = 0; g < games; g++) script += "ucinewgame\n" + positions;
        const Result r = runEngineOnText(script);
        const std::vector<std::string> moves = bestMoves(r.output);
        ASSERT_EQ(moves.size(), size_t(2 * games)) << r.output;
        for (int g = 0; g < 2 * games; g++) EXPECT_EQ(moves[g], g % 2 ? "d3e4" : "a1a8") << elo;
        EXPECT_EQ(count(r.output, "score mate 1 pv a1a8"), games);
    }
}

TEST(Strength, SameSeedSameMovesAndTheNextGameDiffers) {
    std::string games = limit(MIN_ELO);
    for (int g = 0; g < 12; g++)
        games +=
            "ucinewgame\nposition startpos\ngo depth 30\nposition startpos moves e2e4\n"
            "go depth 30\nposition fen r1bq1rk1/ppp2ppp/2np1n2/2b1p3/2B1P3/2PP1N2/PP3PPP/"
            "RNBQ1RK1 w - - 0 1\ngo depth 30\n";
    const std::vector<std::string> first = bestMoves(runEngineOnText(games).output);
    ASSERT_EQ(first.size(), 36u);
    EXPECT_EQ(bestMoves(runEngineOnText(games).output), first);
    // A limited search runs on the main thread alone: the thread count changes nothing.
    EXPECT_EQ(bestMoves(runEngineOnText("setoption name Threads value 2\n" + games).output), first);
    int differing = 0;
    for (int g = 1; g < 12; g++) differing += first[3 * g] != first[0];
    EXPECT_GT(differing, 0);
}

// A limited search's node count is part of the fingerprint: its budget is found spent at the same
// node whatever the timing of the input and clock checks, as it always was.
TEST(Strength, LimitedSearchesRepeatTheirNodeCounts) {
    const std::string italian =
        "position fen r1bqk1nr/pppp1ppp/2n5/2b1p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4\n";
    const struct {
        int elo;
        const char* multiPv;
        const char* go;
        long long nodes;
    } cases[] = {{1600, "1", "go depth 30\n", 2989},
                 {1950, "1", "go depth 30\n", 60005},
                 {1950, "3", "go depth 30\n", 60005},
                 {1950, "1", "go nodes 100000\n", 59999}};
    for (const auto& c : cases) {
        const std::string script =
            limit(c.elo) + "setoption name MultiPV value " + c.multiPv + "\n" + italian + c.go;
        for (int run = 0; run < 2; run++) {
            const std::string out = runEngineOnText(script).output;
            long long nodes = -1;
            for (const auto& words : lines(out))
                if (!after(words, "nodes").empty()) nodes = std::stoll(after(words, "nodes"));
            EXPECT_EQ(nodes, c.nodes) << c.elo << " " << c.go << out;
        }
    }
}

// Four limited games over a pipe, one with three lines, each kind of go line in turn.
TEST(Strength, LimitedSearchesAnswerLegallyWithTheLinePlayed) {
    const char* const gos[] = {"depth 30", "nodes 300", "movetime 20",
                               "wtime 4000 btime 4000 winc 40 binc 40", "depth 3"};
    Engine e = startEngine();
    int searches = 0;
    for (int game = 0; game < 4; game++) {
        // From the bottom of the scale to below its top, where the limit ends.
        say(e,
            limit(MIN_ELO + (MAX_ELO - MIN_ELO) * game / 4) + "setoption name MultiPV value " +
                (game == 2 ? "3" : "1") + "\nucinewgame\nisready\n",
            "readyok");
        ThreadPtr board = newMainThread();
        std::string moves;
        Move legal[MAX_MOVES];
        for (int ply = 0; ply < 80 && generateLegal(board->position, legal) > 0;
             ply++, searches++) {
            const std::string go = gos[ply % 5];
            const std::string out =
                bestMoveAfter(e, "position startpos moves" + moves + "\ngo " + go + "\n");
            const std::vector<std::string> answer = bestMoves(out);
            ASSERT_EQ(answer.size(), 1u) << out;
            const Move m = textToMove(board->position, answer[0].c_str());
            ASSERT_NE(m, NO_MOVE) << answer[0] << " after" << moves;
            if (!shownMove(out).empty()) {
                EXPECT_EQ(shownMove(out), answer[0]) << out;
            }
            // The go line's depth and nodes stay upper bounds.
            for (const auto& words : lines(out)) {
                if (go == "nodes 300" && !after(words, "nodes").empty()) {
                    EXPECT_LE(std::stoll(after(words, "nodes")), 300) << out;
                }
            }
            // (A single legal move is searched to depth 4 whatever the go line says.)
            if (go == "depth 3" && generateLegal(board->position, legal) > 1) {
                EXPECT_EQ(out.find("info depth 4"), std::string::npos) << out;
            }
            UndoRecord undo;
            makeMove(board->position, undo, m);
            moves += " " + answer[0];
        }
    }
    EXPECT_GE(searches, 200);
    expectExit(e, "quit\n");
}

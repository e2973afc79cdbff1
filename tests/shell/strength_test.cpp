// Playing at a chosen rating (UCI_LimitStrength, UCI_Elo) through the real binary: without the
// limit nothing changes; with it the engine still takes a mate and a hanging queen, repeats its
// moves for the same seed, varies them between games, and answers legally with the line it plays.
#include <gtest/gtest.h>

#include <regex>
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

const std::string Limit = "setoption name UCI_LimitStrength value true\n";

std::string rating(int elo) { return "setoption name UCI_Elo value " + std::to_string(elo) + "\n"; }

// The moves of the bestmove lines, in order.
std::vector<std::string> bestMoves(const std::string& output) {
    std::vector<std::string> moves;
    std::istringstream in(output);
    for (std::string word; in >> word;)
        if (word == "bestmove" && in >> word) moves.push_back(word);
    return moves;
}

// The first move of the last line shown as the best: the last pv of one line, or of line 1 of
// several.
std::string shownMove(const std::string& output) {
    std::string move;
    std::istringstream in(output);
    for (std::string text; std::getline(in, text);) {
        const size_t pv = text.find(" pv ");
        if (pv == std::string::npos) continue;
        if (text.find(" multipv ") != std::string::npos &&
            text.find(" multipv 1 ") == std::string::npos)
            continue;
        std::istringstream(text.substr(pv + 4)) >> move;
    }
    return move;
}

// The output with every time and rate masked, so that searches compare byte for byte.
std::string maskTimes(const std::string& output) {
    const std::string searches =
        std::regex_replace(output, std::regex(" (time|nps) [0-9]+"), " $1 T");
    return std::regex_replace(searches, std::regex("nodes [0-9]+ nps\n"), "nodes N nps\n");
}

}  // namespace

TEST(Strength, WithoutTheLimitNothingChanges) {
    const std::string searches =
        "position startpos moves e2e4 c7c5 g1f3\ngo depth 8\n"
        "position fen r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 1\n"
        "go depth 8\nbench 5\n";
    const Result plain = runEngineOnText(searches);
    // Set and cleared again; and on at the top of the scale, which is full strength.
    const Result cleared = runEngineOnText(
        Limit + rating(MIN_ELO) + "setoption name UCI_LimitStrength value false\n" + searches);
    const Result top = runEngineOnText(Limit + rating(99999) + searches);
    EXPECT_EQ(maskTimes(cleared.output), maskTimes(plain.output));
    EXPECT_EQ(maskTimes(top.output), maskTimes(plain.output));
    // bench always searches at full strength.
    const Result bench = runEngineOnText(Limit + rating(MIN_ELO) + "bench 5\n");
    const std::regex count("(^|\n)([0-9]+) nodes [0-9]+ nps");
    std::smatch a, b;
    ASSERT_TRUE(std::regex_search(plain.output, a, count)) << plain.output;
    ASSERT_TRUE(std::regex_search(bench.output, b, count)) << bench.output;
    EXPECT_EQ(a[2], b[2]);
}

TEST(Strength, EveryRatingTakesAMateInOneAndAHangingQueen) {
    // A rook up with a back-rank mate; a queen that took on e4 and stands en prise to a pawn.
    const std::string mate = "position fen 6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1\ngo depth 30\n";
    const std::string queen =
        "position fen rnb1kbnr/ppp1pppp/8/8/4q3/3P4/PPP1BPPP/RNBQK1NR w KQkq - 0 4\ngo depth 30\n";
    for (int elo : {MIN_ELO, (MIN_ELO + MAX_ELO) / 2}) {
        std::string script = Limit + rating(elo);
        // Each game a new seed.
        const int games = 60;
        for (int g = 0; g < games; g++) script += "ucinewgame\n" + mate + queen;
        const Result r = runEngineOnText(script);
        const std::vector<std::string> moves = bestMoves(r.output);
        ASSERT_EQ(moves.size(), size_t(2 * games)) << r.output;
        for (int g = 0; g < games; g++) {
            EXPECT_EQ(moves[2 * g], "a1a8") << elo << " game " << g;
            EXPECT_EQ(moves[2 * g + 1], "d3e4") << elo << " game " << g;
        }
        EXPECT_EQ(count(r.output, "score mate 1 pv a1a8"), games);
    }
}

TEST(Strength, SameSeedSameMovesAndTheNextGameDiffers) {
    std::string games = Limit + rating(MIN_ELO);
    for (int g = 0; g < 12; g++)
        games +=
            "ucinewgame\nposition startpos\ngo depth 30\nposition startpos moves e2e4\ngo depth "
            "30\n"
            "position fen r1bq1rk1/ppp2ppp/2np1n2/2b1p3/2B1P3/2PP1N2/PP3PPP/RNBQ1RK1 w - - 0 1\n"
            "go depth 30\n";
    const std::vector<std::string> first = bestMoves(runEngineOnText(games).output);
    ASSERT_EQ(first.size(), 36u);
    EXPECT_EQ(bestMoves(runEngineOnText(games).output), first);
    // A limited search runs on the main thread alone: the thread count changes nothing.
    EXPECT_EQ(bestMoves(runEngineOnText("setoption name Threads value 2\n" + games).output), first);
    // The same position in another game may get another move.
    int differing = 0;
    for (int g = 1; g < 12; g++) differing += first[3 * g] != first[0];
    EXPECT_GT(differing, 0);
}

// Limited games over pipes under every kind of go line: each answer is legal, the last line
// shown names the move played, and the go line's depth and nodes stay upper bounds.
TEST(Strength, LimitedSearchesAnswerLegallyWithTheLinePlayed) {
    const char* const gos[] = {"go depth 30", "go nodes 300", "go movetime 20",
                               "go wtime 4000 btime 4000 winc 40 binc 40", "go depth 3"};
    Engine e = startEngine();
    say(e, "uci\n" + Limit + "isready\n", "readyok");
    int searches = 0;
    for (int game = 0; game < 4; game++) {
        // From the bottom of the scale to below its top, where the limit ends.
        const int elo = MIN_ELO + (MAX_ELO - MIN_ELO) * game / 4;
        say(e,
            rating(elo) + "setoption name MultiPV value " + (game == 2 ? "3" : "1") +
                "\nucinewgame\nisready\n",
            "readyok");
        ThreadPtr board = newMainThread();
        Position& pos = board->position;
        std::string moves;
        for (int ply = 0; ply < 80; ply++) {
            Move legal[MAX_MOVES];
            if (generateLegal(pos, legal) == 0 || pos.halfmoveClock >= 100) break;
            const std::string go = gos[ply % 5];
            const std::string out =
                bestMoveAfter(e, "position startpos" + (moves.empty() ? "" : " moves" + moves) +
                                     "\n" + go + "\n");
            searches++;
            const std::vector<std::string> answer = bestMoves(out);
            ASSERT_EQ(answer.size(), 1u) << out;
            const Move m = textToMove(pos, answer[0].c_str());
            ASSERT_NE(m, NO_MOVE) << elo << ": " << answer[0] << " after" << moves;
            if (!shownMove(out).empty()) {
                EXPECT_EQ(shownMove(out), answer[0]) << out;
            }
            std::smatch last;
            const std::string tail = out.substr(std::min(out.rfind("info"), out.size()));
            if (go == "go nodes 300" &&
                std::regex_search(tail, last, std::regex(" nodes ([0-9]+)"))) {
                EXPECT_LE(std::stoi(last[1]), 300) << out;
            }
            if (go == "go depth 3") {
                EXPECT_EQ(out.find("info depth 4"), std::string::npos) << out;
            }
            UndoRecord undo;
            makeMove(pos, undo, m);
            moves += " " + answer[0];
        }
    }
    EXPECT_GE(searches, 200);
    expectExit(e, "quit\n");
}

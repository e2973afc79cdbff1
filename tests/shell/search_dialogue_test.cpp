// Searching through the real binary over pipes: score and bestmove lines, depth and one-move
// limits, withheld best moves, and the commands read while a search runs.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <thread>

#include "search/search_helpers.h"
#include "shell/engine_process.h"

using namespace engine_process;

TEST(SearchOutput, ScoresBestMovesAndLimits) {
    // Mate in 3 for the mover, mated in 2, and centipawns at 1.3 times the internal score.
    Result r = runEngineOnText(
        "position fen k7/8/8/3K4/8/8/8/7R w - -\ngo depth 7\n"
        "position fen k7/8/2K5/8/8/8/8/7R b - -\ngo depth 7\n");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.output.find("info depth 7 "), std::string::npos) << r.output;
    EXPECT_NE(r.output.find(" score mate 3 pv "), std::string::npos) << r.output;
    EXPECT_NE(r.output.find(" score mate -2 pv "), std::string::npos) << r.output;

    const char* fen = "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq -";
    const SearchResult inProcess = searchFen(fen, 6);
    r = runEngineOnText(std::string("position fen ") + fen + "\ngo depth 6\n");
    const std::string cp = " score cp " + std::to_string(inProcess.score * 130 / 100) + " pv ";
    EXPECT_NE(r.output.find(cp), std::string::npos) << cp << "\n" << r.output;
    EXPECT_NE(r.output.find("bestmove " + text(inProcess.bestMove) + " ponder "), std::string::npos)
        << r.output;

    // go depth 5 prints no iteration lines (they start at iteration 6), only the score of its
    // answer, and answers at once.
    r = runEngineOnText("position startpos\ngo depth 5\n");
    EXPECT_EQ(count(r.output, "info depth"), 1) << r.output;
    EXPECT_EQ(r.output.rfind("info depth 5 seldepth ", 0), 0) << r.output;
    EXPECT_EQ(count(r.output, "bestmove "), 1) << r.output;

    // One legal move: iteration 4 at the latest, whatever the depth asked; a mate on the board
    // leaves a one-move line without ponder.
    r = runEngineOnText(
        "position fen k7/8/1K6/8/8/8/8/7R b - -\ngo depth 30\n"
        "position fen 6k1/5ppp/8/8/8/8/8/R5K1 w - -\ngo depth 7\n");
    // The first answer's score line; iterations 6 and 7 of the second.
    EXPECT_EQ(count(r.output, "info depth"), 5) << r.output;
    EXPECT_EQ(r.output.rfind("info depth 4 ", 0), 0) << r.output;
    EXPECT_NE(r.output.find("bestmove a8b8 ponder h1h8\n"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("bestmove a1a8\n"), std::string::npos) << r.output;

    // Nothing to move, or no position: the empty move, and nothing is made. Stalemate scores 0.
    r = runEngineOnText(
        "position fen 7k/5Q2/6K1/8/8/8/8/8 b - -\ngo depth 3\n"
        "position fen 8/8/8/8/8/8/8/8 w - -\ngo wtime 1000\nspeed 1\n");
    EXPECT_EQ(r.output, "info depth 0 score cp 0\nbestmove 0000\nbestmove 0000\n");
}

TEST(SearchDialogue, WithheldBestMoveWaitsForStopOrPonderhit) {
    Engine e = startEngine();
    // An infinite search with a depth limit does not stop at that depth.
    send(e, "position startpos\ngo infinite depth 2\n");
    EXPECT_EQ(count(quietFor(e, 300), "bestmove"), 0);
    std::string out = bestMoveAfter(e, "stop\n");
    EXPECT_EQ(count(out, "bestmove"), 1) << out;
    // A second stop, or a stop with no search, prints nothing.
    out = quietFor(e, 100);
    out += say(e, "stop\nponderhit\nisready\n", "readyok");
    EXPECT_EQ(out, "readyok\n");

    // A search with nothing to do withholds the empty move until ponderhit.
    send(e, "position fen 7k/5Q2/6K1/8/8/8/8/8 b - -\ngo ponder\n");
    out = say(e, "isready\n", "readyok");
    // Its score line comes at once, with no iteration lines; the answer waits.
    EXPECT_EQ(out, "info depth 0 score cp 0\nreadyok\n") << out;
    EXPECT_EQ(say(e, "ponderhit\n", "bestmove 0000\n"), "bestmove 0000\n");

    // Until the withheld answer is out the search counts as running: a position line is dropped
    // and the stop that follows still answers, on the searched board.
    send(e, "position fen 4k3/8/8/8/8/8/8/4K3 w - -\ngo infinite\n");
    say(e, "isready\n", "readyok");
    out = bestMoveAfter(e, "position startpos\nstop\n");
    EXPECT_EQ(out.substr(out.find("bestmove"), 11), "bestmove e1") << out;
    out = say(e, "speed 2\nisready\n", "readyok", 10000);
    EXPECT_EQ(speedCounts(out), std::vector<long long>{25}) << out;
    expectExit(e, "quit\n");
}

TEST(SearchDialogue, CommandsDuringASearch) {
    Engine e = startEngine();
    send(e, "position startpos moves e2e4\ngo infinite\n");
    // isready is answered and the search goes on; other lines are dropped.
    std::string out =
        say(e, "setoption name Threads value 3\nposition startpos\nisready\n", "readyok");
    EXPECT_EQ(count(out, "bestmove"), 0) << out;
    out = bestMoveAfter(e, "stop\n");
    EXPECT_EQ(count(out, "bestmove"), 1);
    // The dropped position line left e2e4 in place: Black moves.
    EXPECT_NE(out.find("bestmove "), std::string::npos);
    const size_t at = out.find("bestmove ");
    EXPECT_TRUE(out[at + 10] >= '5' && out[at + 10] <= '8') << out;

    // A ponder search whose hard time has passed ends at the next check after ponderhit.
    send(e, "position startpos\ngo ponder wtime 1000 btime 1000\n");
    EXPECT_EQ(count(quietFor(e, 300), "bestmove"), 0);
    out = bestMoveAfter(e, "ponderhit\n", 5000);
    EXPECT_EQ(count(out, "bestmove"), 1) << out;

    // A timed search stops on stop too; quit prints the best move and exits.
    send(e, "go wtime 600000 btime 600000\n");
    out = bestMoveAfter(e, "stop\n", 5000);
    EXPECT_EQ(count(out, "bestmove"), 1) << out;
    send(e, "go infinite\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    out.clear();
    exchange(e, "quit\n", out, false, "bestmove", 5000);
    EXPECT_EQ(count(out, "bestmove"), 1) << out;
    EXPECT_EQ(waitEngine(e, 5000), 0);
}

TEST(SearchDialogue, EndOfInputAndCommandFilesOnStandardInput) {
    // An infinite search that loses its input ends as on quit.
    Engine e = startEngine();
    send(e, "go infinite\n");
    std::string out;
    exchange(e, "", out, true, "", 10000);
    EXPECT_EQ(count(out, "bestmove"), 1) << out;
    EXPECT_EQ(waitEngine(e, 5000), 0);

    // A pipe closed during a search with a limit: the GUI is gone, so the search ends at once
    // with its answer, whatever the limit (each would run for minutes).
    Result r;
    for (const char* go : {"go depth 60", "go movetime 600000", "go nodes 100000000000"}) {
        r = runEngine(std::string("position startpos\n") + go + "\n", 5000);
        EXPECT_FALSE(r.timedOut) << go;
        EXPECT_EQ(count(r.output, "bestmove"), 1) << go << "\n" << r.output;
        EXPECT_EQ(r.exitCode, 0) << go;
    }

    // Standard input that is a file: the search does not swallow the lines after its go.
    TempFile file(
        "position startpos\ngo movetime 200\nposition startpos moves e2e4\n"
        "go depth 3\nisready\n");
    r = runEngineOnFile(file.path.c_str(), 10000);
    EXPECT_EQ(count(r.output, "bestmove"), 2) << r.output;
    EXPECT_NE(r.output.find("readyok"), std::string::npos) << r.output;
    EXPECT_EQ(r.exitCode, 0);
}

TEST(SearchDialogue, AWithheldAnswerHoldsOffEverythingButStopPonderhitQuitAndIsready) {
    // All at once: a search that may have ended by itself counts as running until its answer
    // is out, so ucinewgame cannot throw the answer away.
    Result r = runEngine(
        "position fen 7k/6Q1/6K1/8/8/8/8/8 b - -\ngo infinite\nucinewgame\nstop\n"
        "position fen 8/8 w - -\ngo ponder\nucinewgame\nponderhit\nisready\n");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(count(r.output, "bestmove"), 2) << r.output;
    EXPECT_NE(r.output.find("info depth 0 score mate 0\nbestmove 0000\n"), std::string::npos)
        << r.output;
    EXPECT_EQ(r.output.substr(r.output.size() - 22), "bestmove 0000\nreadyok\n") << r.output;

    // quit, and the end of input, give the withheld answer first.
    Engine e = startEngine();
    say(e, "position fen 4k3/8/8/8/8/8/8/4K3 w - -\ngo infinite\nisready\n", "readyok");
    usleep(100000);
    std::string out;
    exchange(e, "setoption name Threads value 2\nquit\n", out, true);
    EXPECT_EQ(count(out, "bestmove e1"), 1) << out;
    EXPECT_EQ(waitEngine(e), 0);
}

TEST(SearchDialogue, TheFenHalfMoveFieldCountsTowardsTheFiftyMoveRule) {
    Engine e = startEngine();
    // A rook up, one half-move from the fifty-move draw: only a pawn move keeps the win.
    const std::string fen = "position fen 4k3/8/8/8/8/8/4P3/4K2R w K - ";
    std::string out = bestMoveAfter(e, fen + "99 70\ngo depth 8\n");
    EXPECT_EQ(out.substr(out.rfind("bestmove ") + 9, 3), "e2e") << out;
    // Garbage, a sign or a huge count never crash; moves after a FEN whose count reaches back
    // before its start repeat positions of the game only.
    for (const char* field : {"-1", "abc", "99999999999", "90 1 moves h1h2 e8d8 h2h1 d8e8"}) {
        out = bestMoveAfter(e, fen + field + "\ngo depth 6\n");
        EXPECT_EQ(count(out, "bestmove "), 1) << field << "\n" << out;
    }
    expectExit(e, "quit\n");
}

// The times and table use the lines of a long analysis show: a line at least about once a
// second, long iterations or not, and hashfull growing from an empty table.
TEST(SearchDialogue, LongAnalysisKeepsTheGuiDisplayLive) {
    Engine e = startEngine();
    say(e,
        "setoption name MultiPV value 3\nposition fen " + std::string(BenchPositions[9]) +
            "\ngo infinite\nisready\n",
        "readyok");
    usleep(3000000);
    const std::string out = bestMoveAfter(e, "stop\n");
    std::vector<int> times, hashfull;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        for (std::string w; words >> w;) {
            if (w == "time") times.push_back(0), words >> times.back();
            if (w == "hashfull") hashfull.push_back(0), words >> hashfull.back();
        }
    }
    ASSERT_GE(times.size(), 3u) << out;
    EXPECT_GE(times.back(), 2900) << out;
    // A margin over the second for slow (sanitizer) builds and a busy machine.
    for (size_t i = 1; i < times.size(); i++) EXPECT_LE(times[i] - times[i - 1], 1500) << out;
    EXPECT_LT(hashfull.front(), hashfull.back()) << out;
    EXPECT_LE(hashfull.back(), 1000) << out;
    expectExit(e, "quit\n");
}

TEST(SearchDialogue, DefaultClockSearchesDeepAndAnEarlyStopAnswersWithWhatIsKnown) {
    // With every option at its default a 1+0.01 game is played at real depth from move one. The
    // depth is asserted on a clock counted in nodes (at a rate far below any build's speed), so
    // that a stalled machine cannot fail it; the real clock's answer is asserted legal.
    const std::string oneSecond = "position startpos\ngo wtime 1000 btime 1000 winc 10 binc 10\n";
    Engine e = startEngine();
    std::string out = bestMoveAfter(e, "setoption name nodestime value 100\n" + oneSecond);
    const size_t last = out.rfind("info depth ");
    ASSERT_NE(last, std::string::npos) << out;
    EXPECT_GT(std::stoi(out.substr(last + 11)), 1) << out;
    out = bestMoveAfter(e, "setoption name nodestime value 0\n" + oneSecond);
    EXPECT_NE(out.find("bestmove "), std::string::npos) << out;
    EXPECT_EQ(out.find("bestmove 0000"), std::string::npos) << out;
    // A clock of nothing or less still answers with a legal move.
    for (const char* go : {"go wtime 0 btime 0", "go wtime 1 btime 1 winc 1 binc 1",
                           "go wtime -50 btime -50 winc 100 binc 100", "go movetime 0"}) {
        out = bestMoveAfter(e, std::string("position startpos\n") + go + "\n", 5000);
        EXPECT_NE(out.find("bestmove "), std::string::npos) << go;
        EXPECT_EQ(out.find("bestmove 0000"), std::string::npos) << go << "\n" << out;
    }
    expectExit(e, "quit\n");

    // Stopped inside the first iteration: the best move scored so far, with its score line
    // (not the first move generated, a king move that leaves the rook en prise).
    const std::string position = "position fen 4k3/8/8/8/8/2q5/8/4K1R1 w - -\n";
    Result r = runEngineOnText(position + "go nodes 120\n");
    EXPECT_NE(r.output.find("info depth 1 seldepth 5 time "), std::string::npos) << r.output;
    EXPECT_NE(r.output.find(" score cp "), std::string::npos) << r.output;
    const size_t answer = r.output.find("bestmove ");
    ASSERT_NE(answer, std::string::npos) << r.output;
    EXPECT_NE(r.output.find(" pv " + r.output.substr(answer + 9, 4)), std::string::npos)
        << r.output;
    // Before any move has a score there is no score line; no line shows a rate of 0.
    r = runEngineOnText(position + "go nodes 1\ngo nodes 60\n");
    EXPECT_EQ(r.output.find("bestmove"), 0u) << r.output;
    EXPECT_EQ(r.output.find(" nps 0 "), std::string::npos) << r.output;
}

// A stop before any root move has a score answers with the move the table already holds for the
// position (the game reached it in an earlier search's line), not the first move generated.
TEST(SearchDialogue, AnEarlyStopAnswersWithTheTablesMove) {
    Engine e = startEngine();
    const std::string start = "position fen " + std::string(BenchPositions[1]);
    const std::string out = bestMoveAfter(e, start + "\ngo depth 8\n");
    const size_t pv = out.rfind(" pv ");
    ASSERT_NE(pv, std::string::npos) << out;
    std::istringstream line(out.substr(pv + 4));
    std::string first, second, third;
    ASSERT_TRUE(line >> first >> second >> third) << out;
    const std::string known = "bestmove " + third;
    for (const char* budget : {"1", "3", "12"}) {
        const std::string early = bestMoveAfter(
            e, start + " moves " + first + " " + second + "\ngo nodes " + budget + "\n");
        EXPECT_NE(early.find(known), std::string::npos) << budget << "\n" << early;
        // Nothing scored: no score line.
        if (std::string(budget) == "1") {
            EXPECT_EQ(early.find(" score "), std::string::npos) << early;
        }
    }
    // The size in use sent again (as GUIs do every game) empties the table as a new game does.
    const std::string emptied =
        bestMoveAfter(e, "setoption name Hash value 16\n" + start + " moves " + first + " " +
                             second + "\ngo nodes 1\n");
    EXPECT_EQ(emptied.find(known), std::string::npos) << emptied;
    expectExit(e, "quit\n");
}

// nodestime: a game under a clock counted in nodes replays move for move. The script keeps the
// clocks as a GUI does, in real time, so the two plays send different clock values; the engine's
// own clock in nodes makes them search alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <sstream>
#include <string>

#include "shell/engine_process.h"

using namespace engine_process;

namespace {

// What a play of the game must repeat: each search's score lines without their times, and its
// answer.
struct Play {
    std::string moves;
    std::string searches;
};

std::string withoutTimes(const std::string& line) {
    std::istringstream words(line);
    std::string w, kept;
    while (words >> w) {
        if (w == "time" || w == "nps") {
            words >> w;
            continue;
        }
        kept += w + " ";
    }
    return kept;
}

Play playGame(int plies) {
    Engine e = startEngine();
    Play play;
    long long clock[2] = {10000, 10000};
    const long long inc = 100;
    std::string out = say(e, "setoption name nodestime value 20\nucinewgame\nisready\n", "readyok");
    for (int ply = 0; ply < plies; ply++) {
        const auto start = std::chrono::steady_clock::now();
        out = bestMoveAfter(e, "position startpos moves" + play.moves + "\ngo wtime " +
                                   std::to_string(clock[0]) + " btime " + std::to_string(clock[1]) +
                                   " winc 100 binc 100\n");
        const long long spent = std::chrono::duration_cast<std::chrono::milliseconds>(
                                    std::chrono::steady_clock::now() - start)
                                    .count();
        clock[ply % 2] += inc - spent;
        std::istringstream lines(out);
        std::string line;
        while (std::getline(lines, line)) {
            if (line.find(" pv ") != std::string::npos) play.searches += withoutTimes(line) + "\n";
            if (line.rfind("bestmove ", 0) == 0) {
                const std::string move = line.substr(9, line.find(' ', 9) - 9);
                if (move == "0000") return play;
                play.moves += " " + move;
                play.searches += line + "\n";
            }
        }
        EXPECT_GT(clock[ply % 2], 0) << "lost on time at ply " << ply;
    }
    expectExit(e, "quit\n");
    return play;
}

}  // namespace

TEST(NodesTime, AGameUnderAClockInNodesReplaysMoveForMove) {
    const Play first = playGame(24);
    const Play second = playGame(24);
    EXPECT_EQ(std::count(first.moves.begin(), first.moves.end(), ' '), 24) << first.moves;
    EXPECT_EQ(second.moves, first.moves);
    EXPECT_EQ(second.searches, first.searches);
    // The searches reached real depth: the clock gave each some ten thousand nodes.
    EXPECT_NE(first.searches.find("info depth 6 "), std::string::npos) << first.searches;
}

// The engine's clock in nodes starts again from the go line's at a new time-control period, a
// takeback and a new nodestime; within a period it stays the lower. A clock of 50 ms spent first
// leaves the engine's own a few thousand nodes; a fresh one of a minute lets the node cap end it.
TEST(NodesTime, TheEnginesClockStartsAgainWithANewPeriodATakebackAndANewRate) {
    Engine e = startEngine();
    say(e, "setoption name nodestime value 100\nisready\n", "readyok");
    const auto lastNodes = [](const std::string& out) {
        const size_t at = out.rfind(" nodes ");
        return at == std::string::npos ? -1 : std::stoll(out.substr(at + 7));
    };
    const std::string opening = "position startpos moves e2e4 e7e5\n";
    const std::string later = "position startpos moves e2e4 e7e5 g1f3 b8c6\n";
    const std::string spend = "go wtime 50 btime 50 movestogo 1\n";
    const std::string minute = "go wtime 60000 btime 60000 nodes 20000 movestogo ";
    bestMoveAfter(e, "position startpos\n" + spend);
    // The same period goes on: the engine's clock holds a few thousand nodes.
    std::string out = bestMoveAfter(e, opening + minute + "1\n");
    EXPECT_LT(lastNodes(out), 5000) << out;
    EXPECT_GT(lastNodes(out), 0) << out;
    // movestogo goes up: a new period.
    out = bestMoveAfter(e, later + minute + "40\n");
    EXPECT_EQ(lastNodes(out), 20000) << out;
    // A takeback.
    bestMoveAfter(e, later + spend);
    out = bestMoveAfter(e, opening + minute + "1\n");
    EXPECT_EQ(lastNodes(out), 20000) << out;
    // Another rate.
    bestMoveAfter(e, opening + spend);
    out = bestMoveAfter(e, "setoption name nodestime value 101\n" + opening + minute + "1\n");
    EXPECT_EQ(lastNodes(out), 20000) << out;
    expectExit(e, "quit\n");
}

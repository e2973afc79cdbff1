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

// Chess960 over the pipe as a GUI plays it: the option, castling text in and out, the mode a
// position keeps, the search's fingerprint unchanged on a standard board, and whole games.
#include <gtest/gtest.h>

#include <string>

#include "shell/engine_process.h"

using namespace engine_process;

namespace {

const std::string On = "setoption name UCI_Chess960 value true\n";
const std::string Off = "setoption name UCI_Chess960 value false\n";

// The node count of the last info line that has one.
long long lastNodes(const std::string& output) {
    const size_t at = output.rfind(" nodes ");
    return at == std::string::npos ? -1 : std::stoll(output.substr(at + 7));
}

TEST(Chess960Dialogue, CastlingTextFollowsTheModeThePositionWasReadIn) {
    // Castling mates at once; searchmoves forces it, written either way.
    const std::string mate = "position fen 4rkr1/4p1p1/8/8/8/8/8/4K2R w K - 0 1\n";
    Engine e = startEngine();
    std::string out = bestMoveAfter(e, On + mate + "go depth 3 searchmoves e1h1\n");
    EXPECT_NE(out.find("score mate 1 pv e1h1\n"), std::string::npos) << out;
    EXPECT_NE(out.find("bestmove e1h1"), std::string::npos) << out;
    // Switching the option keeps the position as it was read; the next one reads anew.
    out = bestMoveAfter(e, Off + "go depth 3 searchmoves e1h1\n");
    EXPECT_NE(out.find("bestmove e1h1"), std::string::npos) << out;
    out = bestMoveAfter(e, mate + "go depth 3 searchmoves e1g1\n");
    EXPECT_NE(out.find("score mate 1 pv e1g1\n"), std::string::npos) << out;
    EXPECT_NE(out.find("bestmove e1g1"), std::string::npos) << out;

    // Moves in 960 text, counted against another engine's counts: b1c1 castles; b1g1 is no
    // move here and ends the list.
    const std::string adjacent = "position fen 5rkr/5ppp/8/8/8/8/8/RKR5 w ACfh - 0 1 moves ";
    out = say(e, On + adjacent + "b1c1\nspeed 2\n" + adjacent + "b1g1 a1a2\nspeed 2\nisready\n",
              "readyok");
    EXPECT_EQ(speedCounts(out), (std::vector<long long>{297, 256})) << out;
    expectExit(e, "quit\n");
}

TEST(Chess960Dialogue, StandardStartSearchesAlikeInBothModes) {
    const std::string search =
        "position startpos moves e2e4 e7e5 g1f3 b8c6 f1c4 g8f6\n"
        "go depth 9\n";
    Engine e = startEngine();
    const std::string standard = bestMoveAfter(e, search);
    const std::string chess960 = bestMoveAfter(e, "ucinewgame\n" + On + search);
    EXPECT_GT(lastNodes(standard), 0);
    EXPECT_EQ(lastNodes(chess960), lastNodes(standard));
    EXPECT_EQ(standard.substr(standard.find("bestmove")),
              chess960.substr(chess960.find("bestmove")));
    expectExit(e, "quit\n");
}

}  // namespace

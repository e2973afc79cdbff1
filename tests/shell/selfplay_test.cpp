// Complete games of the engine against itself over pipes, under a real clock and with fixed move
// times: every bestmove must be legal, no side may overstep its clock, and every game must end by
// mate, stalemate, a draw rule or the ply cap.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "board/attacks.h"
#include "board/legal.h"
#include "board/makemove.h"
#include "search/search_helpers.h"
#include "shell/engine_process.h"

using namespace engine_process;

namespace {

constexpr int PLY_CAP = 120;

const char* const Openings[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -",
    "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq -",
    "rnbqkb1r/pp3ppp/4pn2/2pp4/2PP4/2N1PN2/PP3PPP/R1BQKB1R b KQkq -",
    "rnbqkb1r/pp1p1ppp/4pn2/2p5/2PP4/8/PP2PPPP/RNBQKBNR w KQkq -",
    "8/5k2/8/3K4/8/8/4P3/8 w - -",
};

struct TimeControl {
    int movetime = 0;  // fixed time per move, or a clock of base + increment
    int base = 0, increment = 0;
};

struct Player {
    Engine engine;
    int left = 0;
};

std::string readBestMove(Player& p, const std::string& command, int& elapsed) {
    const auto start = Clock::now();
    std::string out;
    EXPECT_TRUE(exchange(p.engine, command, out, false, "bestmove", 30000)) << out;
    const size_t b = out.find("bestmove ");
    while (b != std::string::npos && out.find('\n', b) == std::string::npos) {
        std::string more;
        if (!exchange(p.engine, "", more, false, "\n", 30000)) break;
        out += more;
    }
    elapsed =
        int(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
    if (b == std::string::npos) return "";
    return out.substr(b + 9, out.find_first_of(" \n", b + 9) - b - 9);
}

// Plays one game; returns how it ended.
std::string playGame(const char* fen, const TimeControl& clock, Player* players) {
    ThreadPtr board = newMainThread();
    EXPECT_TRUE(setFen(*board, fen));
    Position& pos = board->position;
    std::map<uint64_t, int> seen;
    std::string moves;
    for (Player* p = players; p < players + 2; p++) p->left = clock.base;
    for (int ply = 0;; ply++) {
        Move legal[MAX_MOVES];
        if (generateLegal(pos, legal) == 0) return inCheck(pos) ? "mate" : "stalemate";
        if (pos.halfmoveClock >= 100) return "fifty moves";
        if (++seen[pos.hashKey()] >= 3) return "repetition";
        if (ply >= PLY_CAP) return "ply cap";

        Player& p = players[ply % 2];
        const Player& other = players[1 - ply % 2];
        const bool white = pos.sideToMove == White;
        std::string go =
            "position fen " + std::string(fen) + (moves.empty() ? "" : " moves" + moves);
        if (clock.movetime) {
            go += "\ngo movetime " + std::to_string(clock.movetime) + "\n";
        } else {
            const int w = white ? p.left : other.left, b = white ? other.left : p.left;
            const std::string inc = std::to_string(clock.increment);
            go += "\ngo wtime " + std::to_string(w) + " btime " + std::to_string(b) + " winc " +
                  inc + " binc " + inc + "\n";
        }
        int elapsed = 0;
        const std::string reply = readBestMove(p, go, elapsed);
        const Move m = textToMove(pos, reply.c_str());
        if (m == NO_MOVE) return "illegal move '" + reply + "' after" + moves;
        if (!clock.movetime) {
            p.left -= elapsed;
            if (p.left < 0) return "time loss after" + moves;
            p.left += clock.increment;
        }
        UndoRecord undo;
        makeMove(pos, undo, m);
        moves += " " + reply;
    }
}

}  // namespace

TEST(SelfPlay, GamesEndByTheRulesWithLegalMovesOnTime) {
    Player players[2];
    for (Player& p : players) {
        p.engine = startEngine();
        std::string out;
        // A sanitizer build on a shared two-core machine can stall for longer than the default
        // overhead covers; the default's margin is measured in matches, not here.
        ASSERT_TRUE(exchange(p.engine, "uci\nsetoption name Move Overhead value 250\nisready\n",
                             out, false, "readyok"));
    }
    const TimeControl clocks[] = {{0, 2000, 20}, {15, 0, 0}};
    int games = 0;
    for (const char* fen : Openings)
        for (const TimeControl& clock : clocks) {
            // Each opening with each clock, the engines swapping colours.
            Player order[2] = {players[games % 2], players[1 - games % 2]};
            const std::string end = playGame(fen, clock, order);
            games++;
            EXPECT_TRUE(end == "mate" || end == "stalemate" || end == "fifty moves" ||
                        end == "repetition" || end == "ply cap")
                << fen << ": " << end;
        }
    EXPECT_EQ(games, 10);
    for (Player& p : players) {
        std::string out;
        exchange(p.engine, "quit\n", out, true);
        EXPECT_EQ(waitEngine(p.engine), 0);
    }
}

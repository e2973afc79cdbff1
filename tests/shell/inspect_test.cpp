// eval, d, flip and go perft through the real binary, as annotation tools and wrappers read
// them: the printed evaluation is the search's static one, the FEN of d sets up the same
// position again in both variants, the root-move counts add up to the tree, and a missing
// position or a running search gets no board.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "board/attacks.h"
#include "board/notation.h"
#include "board/perft_positions.h"
#include "eval/evaluate.h"
#include "eval/positions.h"
#include "shell/engine_process.h"

using namespace engine_process;

namespace {

std::string fenOf(const Position& pos) {
    char text[FEN_SIZE];
    writeFen(pos, 1, text);
    return text;
}

// "+0.26", "-1.05": how the last line gives the score.
std::string pawns(int centipawns) {
    char text[32];
    std::snprintf(text, sizeof text, "%c%d.%02d", centipawns < 0 ? '-' : '+',
                  std::abs(centipawns) / 100, std::abs(centipawns) % 100);
    return text;
}

std::vector<std::string> matches(const std::string& output, const std::string& pattern) {
    std::vector<std::string> found;
    const std::regex re(pattern);
    for (std::sregex_iterator i(output.begin(), output.end(), re), end; i != end; ++i)
        found.push_back((*i)[1]);
    return found;
}

std::vector<std::string> finalEvaluations(const std::string& output) {
    return matches(output, "Final evaluation ([-+][0-9]+\\.[0-9]{2}) \\(white side\\)\n");
}

}  // namespace

TEST(EvalCommand, FinalEvaluationIsTheStaticEvaluationOnManyPositions) {
    std::unique_ptr<MaterialTable> material(new MaterialTable());
    std::unique_ptr<PawnHashTable> pawnTable(new PawnHashTable());
    const auto all = eval_test::randomPlayPositions(12, 200, 3636);
    std::string input;
    std::vector<std::string> expected;
    int checks = 0;
    for (size_t i = 0; i < all.size(); i += 5) {
        const Position& pos = all[i];
        input += "position fen " + fenOf(pos) + "\neval\n";
        const int score = evaluate(pos, *material, *pawnTable, -MATE, MATE);
        expected.push_back(pawns(score * 130 / 100));
        checks += inCheck(pos);
    }
    ASSERT_GT(expected.size(), 300u);
    ASSERT_GT(checks, 0);
    const Result r = runEngine(input + "quit\n");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(finalEvaluations(r.output), expected);
    // In check the trace says so and still ends with the score.
    EXPECT_EQ(count(r.output, "The side to move is in check"), checks);
    // The start position: the side to move's bonus alone, 20 internal units.
    EXPECT_EQ(finalEvaluations(runEngine("eval\n").output), std::vector<std::string>{"+0.26"});
}

TEST(FlipCommand, MirrorEvaluatesToTheOppositeScoreAndFlipsBack) {
    std::string input, back;
    int pairs = 0;
    for (const Position& pos : eval_test::randomPlayPositions(6, 160, 99)) {
        MaterialEntry entry{};
        evaluateMaterial(pos, entry);
        // The scale factors favour whichever side they name, so only neutral entries mirror.
        if (entry.whiteScale != 16 || entry.blackScale != 16 || (entry.flags & ~LAZY_EXIT))
            continue;
        input += "position fen " + fenOf(pos) + "\neval\nflip\neval\n";
        back += "position fen " + fenOf(pos) + "\nd\nflip\nflip\nd\n";
        pairs++;
    }
    ASSERT_GT(pairs, 200);
    const std::vector<std::string> scores = finalEvaluations(runEngine(input).output);
    ASSERT_EQ(scores.size(), size_t(2 * pairs));
    for (size_t i = 0; i < scores.size(); i += 2) {
        const std::string& a = scores[i];
        const std::string& b = scores[i + 1];
        if (a == "+0.00") {
            EXPECT_EQ(b, "+0.00");
        } else {
            EXPECT_EQ(a.substr(1), b.substr(1)) << "pair " << i / 2;
        }
        if (a != "+0.00") {
            EXPECT_NE(a[0], b[0]) << "pair " << i / 2;
        }
    }
    const std::vector<std::string> fens = matches(runEngine(back).output, "Fen: ([^\n]*)\n");
    ASSERT_EQ(fens.size(), size_t(2 * pairs));
    for (size_t i = 0; i < fens.size(); i += 2) EXPECT_EQ(fens[i], fens[i + 1]);
    // Castling rights, the en-passant square and the side to move are mirrored too.
    EXPECT_EQ(
        matches(runEngine("position startpos moves e2e4 c7c5 e4e5 d7d5 g1f3\nd\nflip\nd\n").output,
                "Fen: ([^\n]*)\n"),
        (std::vector<std::string>{
            "rnbqkbnr/pp2pppp/8/2ppP3/8/5N2/PPPP1PPP/RNBQKB1R b KQkq - 1 3",
            "rnbqkb1r/pppp1ppp/5n2/8/2PPp3/8/PP2PPPP/RNBQKBNR w KQkq - 1 3"}));
    EXPECT_EQ(
        matches(runEngine("position startpos moves e2e4 g8f6 e4e5 d7d5\nflip\nd\n").output,
                "Fen: ([^\n]*)\n"),
        std::vector<std::string>{"rnbqkbnr/pppp1ppp/8/8/3Pp3/5N2/PPP1PPPP/RNBQKB1R b KQkq d3 0 3"});
}

TEST(DisplayCommand, DiagramFenKeyAndCheckers) {
    const Result r = runEngine("position startpos moves f2f3 e7e5 g2g4 d8h4\nd\n");
    const char* rule = " +---+---+---+---+---+---+---+---+\n";
    std::string expected = std::string("\n") + rule;
    const char* ranks[] = {"rnb kbnr", "pppp ppp", "        ", "    p   ",
                           "      Pq", "     P  ", "PPPPP  P", "RNBQKBNR"};
    for (int r8 = 0; r8 < 8; r8++) {
        for (int f = 0; f < 8; f++) expected += std::string(" | ") + ranks[r8][f];
        expected += " | " + std::to_string(8 - r8) + "\n" + rule;
    }
    Position pos;
    ASSERT_TRUE(readFenText(pos, "rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq -"));
    char key[32];
    std::snprintf(key, sizeof key, "%016llX", static_cast<unsigned long long>(pos.hashKey()));
    expected +=
        "   a   b   c   d   e   f   g   h\n\n"
        "Fen: rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3\n"
        "Key: " +
        std::string(key) + "\nCheckers: h4\n";
    EXPECT_EQ(r.output, expected);
    // The move number as the position command gave it, capped; text or nothing reads 1.
    EXPECT_EQ(
        matches(runEngine("position fen 4k3/8/8/8/8/8/8/4K3 b - - 7 99999999999 moves e8d8\nd\n"
                          "position fen 4k3/8/8/8/8/8/8/4K3 w - - 0 x\nd\n"
                          "position fen 4k3/8/8/8/8/8/8/4K3 w - - moves e1d1\nd\n")
                    .output,
                "Fen: ([^\n]*)\n"),
        (std::vector<std::string>{"3k4/8/8/8/8/8/8/4K3 w - - 8 1000000001",
                                  "4k3/8/8/8/8/8/8/4K3 w - - 0 1",
                                  "4k3/8/8/8/8/8/8/3K4 b - - 1 1"}));
    // Two checkers, named by their squares.
    EXPECT_EQ(matches(runEngine("position fen 4k3/8/8/8/8/5n2/8/4K2r w - - 3 40\nd\n").output,
                      "(Checkers:[^\n]*)\n"),
              std::vector<std::string>{"Checkers: h1 f3"});
}

TEST(DisplayCommand, FenRoundTripsThroughThePositionCommandInBothVariants) {
    std::mt19937 rng(3);
    std::string input;
    std::vector<std::string> expectedKeys;
    for (const auto& start : board_test::perftPositions()) {
        input += std::string("setoption name UCI_Chess960 value ") +
                 (start.chess960 ? "true" : "false") + "\n";
        Position pos = board_test::fromFen(start.fen, start.chess960);
        std::string moves;
        for (int ply = 0; ply < 30; ply++) {
            Move legal[MAX_MOVES];
            const int n = generateLegal(pos, legal);
            if (n == 0) break;
            const Move m = legal[rng() % n];
            char text[6];
            moveToText(m, text, &pos);
            moves += std::string(" ") + text;
            UndoRecord undo;
            makeMove(pos, undo, m);
            input += std::string("position fen ") + start.fen + " 0 1 moves" + moves + "\nd\n";
            // The key the search starts from: the derived state set up afresh.
            Position root = pos;
            setUpPosition(root);
            char key[32];
            std::snprintf(key, sizeof key, "%016llX",
                          static_cast<unsigned long long>(root.hashKey()));
            expectedKeys.push_back(key);
        }
    }
    const std::string first = runEngine(input).output;
    const std::vector<std::string> fens = matches(first, "Fen: ([^\n]*)\n");
    EXPECT_EQ(matches(first, "Key: ([^\n]*)\n"), expectedKeys);
    ASSERT_EQ(fens.size(), expectedKeys.size());
    // Each FEN set up again, in the variant it was written in, gives itself and the same key.
    std::string again;
    size_t i = 0;
    for (const auto& start : board_test::perftPositions()) {
        again += std::string("setoption name UCI_Chess960 value ") +
                 (start.chess960 ? "true" : "false") + "\n";
        for (int ply = 0; ply < 30 && i < fens.size(); ply++, i++)
            again += "position fen " + fens[i] + "\nd\n";
    }
    const std::string second = runEngine(again).output;
    EXPECT_EQ(matches(second, "Fen: ([^\n]*)\n"), fens);
    EXPECT_EQ(matches(second, "Key: ([^\n]*)\n"), expectedKeys);
}

TEST(GoPerft, RootMoveCountsAddUpOnTheReferencePositions) {
    for (const auto& p : board_test::perftPositions()) {
        const int depth = std::min<int>(3, int(p.counts.size()));
        const Result r = runEngine(std::string("setoption name UCI_Chess960 value ") +
                                   (p.chess960 ? "true" : "false") + "\nposition fen " + p.fen +
                                   "\ngo perft " + std::to_string(depth) + "\n");
        const std::regex line("^([a-h][1-8][a-h][1-8][nbrq]?): ([0-9]+)$");
        long long sum = 0;
        std::set<std::string> moves;
        size_t at = 0, blank = r.output.find("\n\n");
        ASSERT_NE(blank, std::string::npos) << r.output;
        while (at <= blank) {
            const size_t end = r.output.find('\n', at);
            const std::string text = r.output.substr(at, end - at);
            std::smatch m;
            ASSERT_TRUE(std::regex_match(text, m, line)) << p.name << ": " << text;
            moves.insert(m[1]);
            sum += std::stoll(m[2]);
            at = end + 1;
        }
        EXPECT_EQ(moves.size(), p.counts[0]) << p.name;
        EXPECT_EQ(sum, (long long)p.counts[depth - 1]) << p.name;
        EXPECT_EQ(r.output.substr(blank),
                  "\n\nNodes searched: " + std::to_string(p.counts[depth - 1]) + "\n")
            << p.name;
        // Chess960 castling is the king taking its own rook.
        if (std::string(p.name) == "960 shield") {
            EXPECT_TRUE(moves.count("c1h1")) << r.output;
        }
    }
}

TEST(GoPerft, RefusedDepthsCountAsSpeedCountsThem) {
    const std::string depthOne = runEngine("go perft 1\n").output;
    EXPECT_EQ(count(depthOne, ": 1\n"), 20);
    EXPECT_NE(depthOne.find("e2e4: 1\n"), std::string::npos);
    for (const char* depth : {"0", "-3", "abc", "-99999999999"})
        EXPECT_EQ(runEngine(std::string("go perft ") + depth + "\n").output, depthOne) << depth;
    const std::string depthTwo = runEngine("go perft 2\n").output;
    EXPECT_EQ(depthTwo.substr(depthTwo.find("\n\n")), "\n\nNodes searched: 400\n");
    // Without a depth, or with more than one, the line is no command.
    EXPECT_EQ(runEngine("go perft\ngo perft 2 3\nisready\n").output, "readyok\n");
    // No legal move: no lines, a total of 0.
    EXPECT_EQ(runEngine("position startpos moves f2f3 e7e5 g2g4 d8h4\ngo perft 3\n").output,
              "\nNodes searched: 0\n");
}

TEST(InspectCommands, NoPositionAndRunningSearchesGetNoBoard) {
    const std::string none = "info string no position: the last position command was refused\n";
    EXPECT_EQ(runEngine("position fen 8/8/8/8 w - -\neval\nd\nflip\ngo perft 2\nisready\n").output,
              none + none + none + none + "readyok\n");
    // A valid position brings them back.
    EXPECT_EQ(
        finalEvaluations(runEngine("position fen 8/8/8/8 w - -\nposition startpos\neval\n").output)
            .size(),
        1u);
    // During a search they are dropped like any other command; the position is untouched.
    Engine e = startEngine();
    send(e, "go infinite\n");
    const std::string during = bestMoveAfter(e, "eval\nd\nflip\ngo perft 1\nstop\n");
    EXPECT_EQ(during.find("Final evaluation"), std::string::npos) << during;
    EXPECT_EQ(during.find("Fen:"), std::string::npos) << during;
    EXPECT_EQ(during.find("Nodes searched"), std::string::npos) << during;
    EXPECT_NE(say(e, "d\n", "Checkers:")
                  .find("Fen: " + std::string("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w "
                                              "KQkq - 0 1")),
              std::string::npos);
    expectExit(e, "quit\n");
}

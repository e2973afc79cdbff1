// MultiPV through the real binary: several lines per iteration, each with its own first move and
// exact score in order, the best one matching the single-line search, and the limits it shares.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "shell/engine_process.h"

using namespace engine_process;

namespace {

struct PvLine {
    int depth = 0, index = 0, score = 0;
    bool mate = false;
    std::string firstMove;
};

// The multipv lines of the output, in order.
std::vector<PvLine> pvLines(const std::string& output) {
    std::vector<PvLine> lines;
    std::istringstream in(output);
    for (std::string text; std::getline(in, text);) {
        if (text.find(" multipv ") == std::string::npos) continue;
        std::istringstream words(text);
        PvLine l;
        for (std::string w; words >> w;) {
            if (w == "depth") words >> l.depth;
            if (w == "multipv") words >> l.index;
            if (w == "mate") l.mate = true;
            if (w == "cp" || w == "mate") words >> l.score;
            if (w == "pv") words >> l.firstMove;
        }
        lines.push_back(l);
    }
    return lines;
}

// The node counts of the lines that close iterations of the depth: exactly "info depth <d>
// seldepth <s> time <t> nodes <n> nps <r> hashfull <h>" (no score, no currmove).
std::vector<long long> closingNodes(const std::string& output, int depth) {
    std::vector<long long> nodes;
    std::istringstream in(output);
    for (std::string text; std::getline(in, text);) {
        std::istringstream words(text);
        std::string info, d, sel, time, nodesWord, npsWord, full, extra;
        int lineDepth = 0;
        long long s = 0, t = 0, n = 0, r = 0, h = 0;
        if (words >> info >> d >> lineDepth >> sel >> s >> time >> t >> nodesWord >> n >> npsWord >>
                r >> full >> h &&
            !(words >> extra) && info == "info" && d == "depth" && lineDepth == depth &&
            sel == "seldepth" && time == "time" && nodesWord == "nodes" && npsWord == "nps" &&
            full == "hashfull")
            nodes.push_back(n);
    }
    return nodes;
}

// The lines of the deepest iteration shown.
std::vector<PvLine> deepest(const std::vector<PvLine>& lines) {
    std::vector<PvLine> last;
    for (const PvLine& l : lines) {
        if (!last.empty() && l.depth != last.back().depth) last.clear();
        last.push_back(l);
    }
    return last;
}

// The score of the last single-line score of the output (cp or mate, told apart by `mate`).
PvLine lastScore(const std::string& output) {
    PvLine l;
    const size_t at = output.rfind(" score ");
    std::istringstream words(output.substr(at + 7));
    std::string kind;
    words >> kind >> l.score;
    l.mate = kind == "mate";
    return l;
}

std::string search(const std::string& fen, int depth, int lines) {
    return runEngineOnText("setoption name MultiPV value " + std::to_string(lines) +
                           "\nposition fen " + fen + "\ngo depth " + std::to_string(depth) + "\n")
        .output;
}

const char* const Middlegame = "r1bq1rk1/ppp2ppp/2np1n2/2b1p3/2B1P3/2PP1N2/PP3PPP/RNBQ1RK1 w - -";

}  // namespace

TEST(MultiPv, LinesHaveDistinctMovesInScoreOrder) {
    const std::string out = search(Middlegame, 8, 3);
    const std::vector<PvLine> all = pvLines(out);
    ASSERT_EQ(all.size(), 9u) << out;  // iterations 6, 7 and 8
    for (size_t i = 0; i < all.size(); i++) {
        EXPECT_EQ(all[i].depth, 6 + int(i) / 3) << out;
        EXPECT_EQ(all[i].index, 1 + int(i) % 3) << out;
    }
    // Each group is followed by the iteration's closing line (a slow build may add status lines
    // of the same form, once a second).
    EXPECT_GE(closingNodes(out, 8).size(), 1u) << out;
    for (int d = 6; d <= 8; d++) {
        std::vector<PvLine> group(all.begin() + (d - 6) * 3, all.begin() + (d - 5) * 3);
        EXPECT_NE(group[0].firstMove, group[1].firstMove) << out;
        EXPECT_NE(group[0].firstMove, group[2].firstMove) << out;
        EXPECT_NE(group[1].firstMove, group[2].firstMove) << out;
        EXPECT_GE(group[0].score, group[1].score) << out;
        EXPECT_GE(group[1].score, group[2].score) << out;
    }
    EXPECT_NE(out.find("bestmove " + all[6].firstMove), std::string::npos) << out;
    // No score lines of the single-line form.
    EXPECT_EQ(count(out, " score "), 9) << out;
}

TEST(MultiPv, FirstLineScoresWhatTheSingleLineSearchScores) {
    const char* const clear[] = {
        "rnb1kbnr/pppp1ppp/8/4p1q1/4P3/3P4/PPP2PPP/RNBQKBNR w KQkq -",      // the queen hangs
        "r1bqkb1r/pppp1ppp/2n2n2/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq -",  // mate in one
        "k7/8/8/3K4/8/8/8/7R w - -",                                        // mate in three
        "2kr3r/ppp2ppp/2n5/2b1p3/4P1b1/2NP1N2/PPP2PPP/R1B1KB1R b KQ -",
    };
    for (const char* fen : clear) {
        const std::string single = search(fen, 7, 1);
        const std::vector<PvLine> lines = deepest(pvLines(search(fen, 7, 3)));
        ASSERT_EQ(lines.size(), 3u) << fen;
        const PvLine best = lastScore(single);
        EXPECT_EQ(lines[0].score, best.score) << fen << "\n" << single;
        EXPECT_EQ(lines[0].mate, best.mate) << fen;
        EXPECT_NE(single.find("bestmove " + lines[0].firstMove), std::string::npos) << single;
    }
}

TEST(MultiPv, MoreLinesThanMovesShortSearchesAndOtherLimits) {
    Engine e = startEngine();
    // Three legal moves give three lines, however many are asked for.
    std::string out = bestMoveAfter(
        e, "setoption name MultiPV value 500\nposition fen k7/8/8/8/8/8/8/K7 w - -\ngo depth 6\n");
    EXPECT_EQ(pvLines(out).size(), 3u) << out;
    out = bestMoveAfter(e, "position fen 7k/5Q2/6K1/8/8/8/8/8 b - -\ngo depth 3\n");
    EXPECT_EQ(out, "info depth 0 score cp 0\nbestmove 0000\n");
    // A search too short for the iterations that print shows its lines once, before bestmove.
    out = bestMoveAfter(e, "setoption name MultiPV value 2\nposition startpos\ngo depth 4\n");
    std::vector<PvLine> lines = pvLines(out);
    ASSERT_EQ(lines.size(), 2u) << out;
    EXPECT_EQ(lines[0].depth, 4);
    EXPECT_NE(out.find("bestmove " + lines[0].firstMove), std::string::npos) << out;
    // The lines are among the listed moves.
    out = bestMoveAfter(e, "go depth 6 searchmoves h2h3 a2a3 b1a3\n");
    lines = deepest(pvLines(out));
    ASSERT_EQ(lines.size(), 2u) << out;
    for (const PvLine& l : lines)
        EXPECT_TRUE(l.firstMove == "h2h3" || l.firstMove == "a2a3" || l.firstMove == "b1a3") << out;
    // A node budget that ends inside an iteration after a move beat the best: the last line 1
    // names the answer.
    out = bestMoveAfter(e,
                        "setoption name MultiPV value 3\nposition fen "
                        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -\n"
                        "go nodes 120000\n");
    lines = pvLines(out);
    ASSERT_FALSE(lines.empty()) << out;
    std::string lastFirst;
    for (const PvLine& l : lines)
        if (l.index == 1) lastFirst = l.firstMove;
    EXPECT_NE(out.find("bestmove " + lastFirst), std::string::npos) << out;
    send(e, "setoption name MultiPV value 2\nposition startpos\n");
    // An infinite search answers stop with the best line's move.
    send(e, "go infinite\n");
    out = quietFor(e, 200);
    out += bestMoveAfter(e, "stop\n");
    lines = deepest(pvLines(out));
    ASSERT_EQ(lines.size(), 2u) << out;
    EXPECT_EQ(count(out, "bestmove "), 1) << out;
    expectExit(e, "quit\n");
}

TEST(MultiPv, OneLineCountsWhatTheDefaultCounts) {
    const std::string plain =
        runEngineOnText("position fen " + std::string(Middlegame) + "\ngo depth 7\n").output;
    Engine e = startEngine();
    bestMoveAfter(e, "setoption name MultiPV value 4\nposition fen " + std::string(Middlegame) +
                         "\ngo depth 7\n");
    const std::string again = bestMoveAfter(e,
                                            "setoption name MultiPV value 1\nucinewgame\n"
                                            "position fen " +
                                                std::string(Middlegame) + "\ngo depth 7\n");
    // The last line of the form is the search's closing line; status lines may come before it.
    ASSERT_GE(closingNodes(plain, 7).size(), 1u) << plain;
    ASSERT_GE(closingNodes(again, 7).size(), 1u) << again;
    EXPECT_EQ(closingNodes(again, 7).back(), closingNodes(plain, 7).back()) << again;
    EXPECT_EQ(count(again, " multipv "), 0) << again;
    expectExit(e, "quit\n");
}

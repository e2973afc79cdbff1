#include "shell/report.h"

#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>

#include "board/attacks.h"
#include "board/notation.h"
#include "platform/platform.h"
#include "search/driver.h"
#include "search/tablebase.h"
#include "search/tt.h"
#include "shell/options.h"
#include "shell/session.h"
#include "shell/tokens.h"
#include "shell/wdl.h"

namespace {

// Room for a score line with a full principal variation, for each of the most lines MultiPV
// reports, and the bestmove line.
constexpr int LINE_SIZE = 256;
constexpr int ANSWER_SIZE = (MAX_MULTI_PV + 1) * LINE_SIZE;

struct Answer {
    char text[ANSWER_SIZE] = "";
    size_t used = 0;
};
inline void clear(Answer& answer) {
    answer.text[0] = '\0';
    answer.used = 0;
}

// The withheld answer and whether there is one, kept together.
struct WithheldAnswer {
    bool present = false;
    Answer answer;
};
WithheldAnswer withheld;

struct Progress {
    int32_t elapsed;
    uint64_t nodes;
    uint64_t rate;
    int hashfull;
    uint64_t tbHits;
    bool tables;  // endgame tables are loaded: the lines carry tbhits
};

Progress progress(const SearchThread& thread) {
    Progress p;
    p.elapsed = clockMs() - thread.state.startTime;
    p.nodes = searchNodes(thread);
    // From microseconds: a line in the first millisecond shows a rate, not 0.
    const int64_t micros = std::max<int64_t>(clockMicros() - thread.state.startMicros, 1);
    p.rate = uint64_t(double(p.nodes) * 1e6 / double(micros));
    p.hashfull = ttHashfull();
    p.tables = tablebasePieces() > 0;
    p.tbHits = p.tables ? searchTbHits(thread) : 0;
    return p;
}

// The deepest ply of the lines of the iteration the depth names (the running one, or the last
// completed for an earlier depth), never shallower than the iteration itself.
int selectiveDepth(const SearchThread& thread, int depth) {
    const int reached =
        depth < thread.state.iteration ? thread.state.completedSelDepth : thread.selDepth;
    return std::max(reached, depth);
}

// Appends formatted text, cutting what does not fit.
__attribute__((format(printf, 2, 3))) void append(Answer& answer, const char* format, ...) {
    const size_t room = sizeof answer.text - answer.used;
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(answer.text + answer.used, room, format, args);
    va_end(args);
    if (n > 0) answer.used += std::min(size_t(n), room - 1);
}

// "info depth d seldepth s " and, for line > 0, "multipv i ".
void appendDepth(Answer& buffer, const SearchThread& thread, int depth, int line = 0) {
    append(buffer, "info depth %d seldepth %d ", depth, selectiveDepth(thread, depth));
    if (line > 0) append(buffer, "multipv %d ", line);
}

// "time t nodes n nps r hashfull h", and "tbhits t" when endgame tables are loaded
void appendProgress(Answer& buffer, const Progress& p) {
    append(buffer, "time %d nodes %" PRIu64 " nps %" PRIu64 " hashfull %d", p.elapsed, p.nodes,
           p.rate, p.hashfull);
    if (p.tables) append(buffer, " tbhits %" PRIu64, p.tbHits);
}

void print(const Answer& answer) {
    std::fputs(answer.text, stdout);
    flushOutput();
}

// " wdl w d l", for a GUI that asked for the odds.
void appendWdl(Answer& buffer, Wdl wdl) {
    append(buffer, " wdl %d %d %d", wdl.win, wdl.draw, wdl.loss);
}

// The score of a root without moves: mated or stalemated.
void appendRootWithoutMoves(Answer& buffer, const Position& pos) {
    const bool mated = inCheck(pos);
    append(buffer, "info depth 0 score %s", mated ? "mate 0" : "cp 0");
    if (settings.showWdl) appendWdl(buffer, mated ? Wdl{0, 0, 1000} : Wdl{0, 1000, 0});
    append(buffer, "\n");
}

// "info depth d seldepth s [multipv i] time t nodes n nps r hashfull h score ... [wdl w d l] pv
// ...": mate scores in moves, negative when the mover is mated; centipawns as printedCentipawns
// gives them. Line 0 is the single-line form.
void appendScoreLine(SearchThread& thread, Answer& buffer, int depth, int score, Move first,
                     int line = 0) {
    const Progress p = progress(thread);
    Move pv[MAX_PV];
    const int length = extractPv(thread.position, first, pv);
    char text[MAX_PV * 6];
    pvToText(length, pv, text, &thread.position);
    appendDepth(buffer, thread, depth, line);
    appendProgress(buffer, p);
    // With the root in the endgame tables their verdict is the score, unless the search saw a mate.
    const bool tableVerdict =
        thread.state.rootTableScore != NO_SCORE && score >= -MATE_BOUND && score <= MATE_BOUND;
    if (tableVerdict) score = thread.state.rootTableScore;
    if (score > MATE_BOUND)
        append(buffer, " score mate %d", (MATE + 1 - score) >> 1);
    else if (score < -MATE_BOUND)
        append(buffer, " score mate %d", (-MATE - score) >> 1);
    else
        append(buffer, " score cp %d", printedCentipawns(score));
    if (settings.showWdl) appendWdl(buffer, scoreWdl(score, fullmoveNumber, tableVerdict));
    append(buffer, " pv %s\n", text);
}

// One line per principal variation of the deepest completed iteration, best first.
// A limited search may search more lines than were asked for; it shows those asked for.
void appendPvLines(SearchThread& thread, Answer& buffer) {
    const SearchState& s = thread.state;
    const int shown = std::min(s.pvLineCount, thread.limits.multiPv);
    for (int i = 0; i < shown; i++)
        appendScoreLine(thread, buffer, s.pvLineDepth, s.pvLineScores[i], s.pvLineMoves[i], i + 1);
}

// The bestmove line, after a score line when no info line has shown one: every search reports a
// score for its answer, also one that ended before the iterations that print.
void formatAnswer(SearchThread& thread, Answer& buffer) {
    const SearchState& s = thread.state;
    clear(buffer);
    if (s.bestMove == NO_MOVE || !s.positionKnown) {
        // Mated or stalemated at the root: the score of the position itself.
        if (s.positionKnown && !s.scoreShown) appendRootWithoutMoves(buffer, thread.position);
        append(buffer, "bestmove 0000\n");
        return;
    }
    if (thread.limits.multiPv > 1) {
        if (!s.scoreShown) appendPvLines(thread, buffer);
        // A stop inside an iteration after a move beat the best one: no line shows it yet.
        const bool newBest = s.pvLineCount == 0 || Move(s.bestMove) != s.pvLineMoves[0];
        if (newBest && s.reportDepth > 0)
            appendScoreLine(thread, buffer, s.reportDepth, s.reportScore, Move(s.bestMove), 1);
    } else if (!s.scoreShown && s.reportDepth > 0) {
        appendScoreLine(thread, buffer, s.reportDepth, s.reportScore, Move(s.bestMove));
    }
    Move pv[MAX_PV];
    const int length = extractPv(thread.position, Move(s.bestMove), pv);
    char first[6], second[6];
    moveToText(pv[0], first, &thread.position);
    if (length == 1) {
        append(buffer, "bestmove %s\n", first);
    } else {
        moveToText(pv[1], second, &thread.position);
        append(buffer, "bestmove %s ponder %s\n", first, second);
    }
}

void answer(SearchThread& thread, bool withhold) {
    if (withhold) {
        formatAnswer(thread, withheld.answer);
        withheld.present = true;
        return;
    }
    static Answer buffer;  // too large for a stack frame
    formatAnswer(thread, buffer);
    print(buffer);
}

// Mated or stalemated at the root: the depth 0 line says so at once.
void printRootWithoutMoves(SearchThread& thread) {
    if (thread.state.scoreShown) return;
    static Answer line;
    clear(line);
    appendRootWithoutMoves(line, thread.position);
    print(line);
    thread.state.scoreShown = 1;
}

// "info depth d seldepth s time t nodes n nps r hashfull h": an iteration's end, or the status
// of one that runs long.
void printDepthLine(SearchThread& thread) {
    static Answer line;
    clear(line);
    appendDepth(line, thread, thread.state.iteration);
    appendProgress(line, progress(thread));
    append(line, "\n");
    print(line);
}

void iterationDone(SearchThread& thread) {
    if (thread.state.rootMoveCount == 0) return printRootWithoutMoves(thread);
    if (thread.state.iteration >= 6) printDepthLine(thread);
}

void status(SearchThread& thread) {
    if (thread.state.rootMoveCount > 0) printDepthLine(thread);
}

void newBestMove(SearchThread& thread, int score) {
    // Several lines are printed together once the iteration has ordered them. A limited search
    // may not play its best line: only its answer shows the line it plays.
    if (thread.state.iteration < 6 || thread.limits.multiPv > 1 || thread.limits.strengthElo)
        return;
    static Answer line;
    clear(line);
    appendScoreLine(thread, line, thread.state.iteration, score, Move(thread.state.bestMove));
    print(line);
    thread.state.scoreShown = 1;
}

void linesDone(SearchThread& thread) {
    // A limited search asked for one line searches several, and shows only the one it plays.
    if (thread.state.iteration < 6 || thread.limits.multiPv == 1) return;
    static Answer lines;
    clear(lines);
    appendPvLines(thread, lines);
    print(lines);
    thread.state.scoreShown = 1;
}

void currentMove(SearchThread& thread, Move m) {
    if (clockMs() - thread.state.startTime <= 1000) return;
    const Progress p = progress(thread);
    char text[6];
    moveToText(m, text, &thread.position);
    static Answer line;
    clear(line);
    appendDepth(line, thread, thread.state.iteration);
    appendProgress(line, p);
    append(line, " currmove %s currmovenumber %d\n", text, thread.state.rootMoveIndex + 1);
    print(line);
}

// A search with no limit in force ends only when told; with nobody left to tell it, or with
// commands waiting in a file, it must still read its input.
inline bool endsByItself(const SearchThread& thread) {
    const GoLimits& l = thread.limits;
    return !thread.state.holdBestMove &&
           (l.depthLimited || l.timeLimited || l.nodesLimited || l.strengthElo);
}

// Standard input that is a regular file holds the commands that follow the search: they are read
// only while the search cannot end by itself.
bool stdinIsFile() {
    static const bool isFile = isRegularFile(0);
    return isFile;
}

// Only stop, ponderhit, quit and isready act during a search; other lines are dropped.
void handleSearchInput(SearchThread& thread) {
    static TokenLine line;  // its own, so the go line's tokens stay intact
    const int n = readTokens(standardInput(), line);
    if (n == END_OF_INPUT) {
        // Nobody is left to read the answer (a pipe: the GUI is gone), or nobody to send stop (a
        // file read during a search only when it cannot end by itself): the search ends as on
        // quit, whatever limit it has.
        quitRequested = true;
        thread.stopFlag = 1;
        return;
    }
    if (n != 1) return;
    const char* word = line[0];
    if (isWord(word, "stop")) {
        thread.state.holdBestMove = 0;
        thread.stopFlag = 1;
    } else if (isWord(word, "ponderhit")) {
        if (thread.state.holdBestMove) {
            thread.state.holdBestMove = 0;
            thread.state.ponderHit = 1;
        }
    } else if (isWord(word, "quit")) {
        quitRequested = true;
        thread.stopFlag = 1;
    } else if (isWord(word, "isready")) {
        std::printf("readyok\n");
        flushOutput();
    }
}

bool searchInputPending(const SearchThread& thread) {
    if (stdinIsFile() && endsByItself(thread)) return false;
    return inputPending();
}

void pollInput(SearchThread& thread) {
    while (!thread.stopFlag && searchInputPending(thread)) handleSearchInput(thread);
}

constexpr SearchHooks GuiHooks = {pollInput,   iterationDone, newBestMove, linesDone,
                                  currentMove, answer,        status};

}  // namespace

const SearchHooks& guiHooks() { return GuiHooks; }

bool answerWithheld() { return withheld.present; }

void printWithheldAnswer() {
    withheld.present = false;
    print(withheld.answer);
}

// Drives the real engine binary over pipes, as a GUI does. Every wait has a deadline, so an engine
// that hangs fails the test instead of blocking it.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "search/tablebase.h"

#ifndef KESTRUN_BINARY
#error "KESTRUN_BINARY must name the engine executable"
#endif

extern char** environ;

namespace engine_process {

constexpr int DEFAULT_TIMEOUT_MS = 60000;

struct Engine {
    pid_t pid = -1;
    int toEngine = -1;    // our end of the engine's standard input (-1 when it reads a file)
    int fromEngine = -1;  // our end of the engine's standard output
};

struct Result {
    std::string output;
    int exitCode = -1;  // -1: killed after the deadline or ended by a signal
    bool timedOut = false;
};

using Clock = std::chrono::steady_clock;

inline int msLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() < 0 ? 0 : int(left.count());
}

// Starts the engine with the given arguments; its standard input is a pipe, or the file at
// stdinPath when one is given.
inline Engine startEngine(const char* stdinPath = nullptr, std::vector<std::string> args = {}) {
    signal(SIGPIPE, SIG_IGN);  // a dead engine must not kill the test binary
    Engine e;
    int in[2] = {-1, -1}, out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return e;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdinPath) {
        posix_spawn_file_actions_addopen(&actions, 0, stdinPath, O_RDONLY, 0);
    } else {
        if (pipe2(in, O_CLOEXEC) != 0) return e;
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    }
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    // KESTRUN_ENGINE, when set, is the command that runs another build of the engine in place of
    // the one built with the tests, words split at spaces: "wine kestrun.exe", "qemu-aarch64 -L
    // /usr/aarch64-linux-gnu kestrun".
    static std::vector<std::string> command = [] {
        std::vector<std::string> words;
        const char* other = std::getenv("KESTRUN_ENGINE");
        std::string text = other && *other ? other : "";
        for (size_t i = 0; i < text.size();) {
            const size_t end = std::min(text.find(' ', i), text.size());
            if (end > i) words.push_back(text.substr(i, end - i));
            i = end + 1;
        }
        if (words.empty()) words.push_back(KESTRUN_BINARY);
        return words;
    }();
    std::vector<char*> argv;
    for (std::string& w : command) argv.push_back(w.data());
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawnp(&e.pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) e.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    e.fromEngine = out[0];
    if (!stdinPath) {
        close(in[0]);
        e.toEngine = in[1];
        fcntl(e.toEngine, F_SETFL, O_NONBLOCK);
    }
    fcntl(e.fromEngine, F_SETFL, O_NONBLOCK);
    return e;
}

inline void closeInput(Engine& e) {
    if (e.toEngine >= 0) close(e.toEngine);
    e.toEngine = -1;
}

// Writes input while collecting output, so that neither side can fill a pipe and stall the other.
// With closeAfter the engine's input is closed once everything is written. Reading stops at the
// engine's end of output, or once `until` (when not empty) has appeared in the output; false on
// a timeout, or when the engine ended without printing `until`.
inline bool exchange(Engine& e, const std::string& input, std::string& output, bool closeAfter,
                     const std::string& until = "", int timeoutMs = DEFAULT_TIMEOUT_MS) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    size_t written = 0;
    for (;;) {
        if (e.toEngine >= 0 && written == input.size() && closeAfter) closeInput(e);
        if (!until.empty() && output.find(until) != std::string::npos && written == input.size())
            return true;
        pollfd p[2];
        int n = 0;
        if (e.fromEngine >= 0) p[n++] = {e.fromEngine, POLLIN, 0};
        if (e.toEngine >= 0 && written < input.size()) p[n++] = {e.toEngine, POLLOUT, 0};
        if (n == 0) return until.empty() || output.find(until) != std::string::npos;
        const int left = msLeft(deadline);
        if (left == 0) return false;
        if (poll(p, n, left) < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        for (int i = 0; i < n; i++) {
            if (!p[i].revents) continue;
            if (p[i].fd == e.fromEngine) {
                char buffer[65536];
                const ssize_t r = read(e.fromEngine, buffer, sizeof buffer);
                if (r > 0) {
                    output.append(buffer, size_t(r));
                } else if (r == 0 || (errno != EINTR && errno != EAGAIN)) {
                    close(e.fromEngine);
                    e.fromEngine = -1;
                }
            } else {
                const ssize_t w = write(e.toEngine, input.data() + written, input.size() - written);
                if (w > 0) {
                    written += size_t(w);
                } else if (w < 0 && errno != EINTR && errno != EAGAIN) {
                    closeInput(e);  // the engine is gone; what is left cannot be delivered
                    written = input.size();
                }
            }
        }
        // The engine has gone: what was waited for came or never will.
        if (e.fromEngine < 0 && (e.toEngine < 0 || written == input.size()))
            return until.empty() || output.find(until) != std::string::npos;
    }
}

// Waits for the engine to exit; kills it after the deadline. Returns its exit code or -1.
inline int waitEngine(Engine& e, int timeoutMs = DEFAULT_TIMEOUT_MS) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    closeInput(e);
    int status = 0;
    for (;;) {
        const pid_t r = waitpid(e.pid, &status, WNOHANG);
        if (r == e.pid) break;
        if (r < 0 && errno != EINTR) return -1;
        if (msLeft(deadline) == 0) {
            kill(e.pid, SIGKILL);
            waitpid(e.pid, &status, 0);
            status = -1;
            break;
        }
        usleep(2000);
    }
    if (e.fromEngine >= 0) close(e.fromEngine);
    e.fromEngine = -1;
    e.pid = -1;
    return status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Sends all of input, closes the engine's input and collects everything it prints until it exits.
inline Result runEngine(const std::string& input, int timeoutMs = DEFAULT_TIMEOUT_MS) {
    Engine e = startEngine();
    Result r;
    r.timedOut = !exchange(e, input, r.output, true, "", timeoutMs);
    r.exitCode = waitEngine(e, r.timedOut ? 0 : timeoutMs);
    return r;
}

// The engine reads the file at path as its standard input.
inline Result runEngineOnFile(const char* path, int timeoutMs = DEFAULT_TIMEOUT_MS) {
    Engine e = startEngine(path);
    Result r;
    r.timedOut = !exchange(e, "", r.output, true, "", timeoutMs);
    r.exitCode = waitEngine(e, r.timedOut ? 0 : timeoutMs);
    return r;
}

// The input as a file the engine reads as its standard input: each bounded search runs to its
// limit before the lines after it are read (on a pipe, the end of input would end the search).
inline Result runEngineOnText(const std::string& input, int timeoutMs = DEFAULT_TIMEOUT_MS) {
    char path[] = "/tmp/kestrun-input-XXXXXX";
    const int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, input.data(), input.size()), ssize_t(input.size()));
    close(fd);
    Result r = runEngineOnFile(path, timeoutMs);
    unlink(path);
    return r;
}

// Writes input without waiting for an answer.
inline void send(Engine& e, const std::string& input) {
    size_t done = 0;
    while (done < input.size()) {
        pollfd p{e.toEngine, POLLOUT, 0};
        poll(&p, 1, 1000);
        const ssize_t w = write(e.toEngine, input.data() + done, input.size() - done);
        if (w > 0) done += size_t(w);
        if (w < 0 && errno != EAGAIN && errno != EINTR) break;
    }
}

// Writes input and reads until `until` appears.
inline std::string say(Engine& e, const std::string& input, const std::string& until,
                       int timeoutMs = DEFAULT_TIMEOUT_MS) {
    std::string output;
    EXPECT_TRUE(exchange(e, input, output, false, until, timeoutMs)) << input << output;
    return output;
}

// Writes input and reads up to the end of the bestmove line it brings.
inline std::string bestMoveAfter(Engine& e, const std::string& input,
                                 int timeoutMs = DEFAULT_TIMEOUT_MS) {
    std::string output = say(e, input, "bestmove", timeoutMs);
    while (output.find('\n', output.find("bestmove")) == std::string::npos) {
        std::string more;
        if (!exchange(e, "", more, false, "\n", timeoutMs)) break;
        output += more;
    }
    return output;
}

// Reads whatever arrives within a short while: used to show that nothing is printed.
inline std::string quietFor(Engine& e, int ms) {
    std::string output;
    exchange(e, "", output, false, "\x01", ms);
    return output;
}

inline void expectExit(Engine& e, const std::string& rest = "") {
    std::string output;
    exchange(e, rest, output, true, "", DEFAULT_TIMEOUT_MS);
    EXPECT_EQ(waitEngine(e), 0) << output;
}

// KESTRUN_ENGINE_SYZYGY=0: the engine under test is a build without the tables.
inline bool engineHasSyzygy() {
    const char* value = std::getenv("KESTRUN_ENGINE_SYZYGY");
    return SYZYGY_BUILT && !(value && std::string(value) == "0");
}

inline std::string uciAnswer(int hash = 16, int threads = 1, int multiPv = 1, int overhead = 50,
                             int nodesTime = 0) {
    return "id name Kestrun 64-Bit\nid author Malvorn\n"
           "option name Hash type spin default " +
           std::to_string(hash) +
           " min 1 max 33554432\n"
           "option name Threads type spin default " +
           std::to_string(threads) +
           " min 1 max 1024\n"
           "option name Ponder type check default true\n"
           "option name MultiPV type spin default " +
           std::to_string(multiPv) +
           " min 1 max 500\n"
           "option name Move Overhead type spin default " +
           std::to_string(overhead) +
           " min 0 max 5000\n"
           "option name Clear Hash type button\n"
           "option name nodestime type spin default " +
           std::to_string(nodesTime) +
           " min 0 max 10000\n"
           "option name UCI_Chess960 type check default false\n"
           "option name UCI_LimitStrength type check default false\n"
           "option name UCI_Elo type spin default 1725 min 1350 max 2100\n"
           "option name UCI_ShowWDL type check default false\n" +
           (engineHasSyzygy() ? "option name SyzygyPath type string default <empty>\n"
                                "option name SyzygyProbeDepth type spin default 1 min 1 max 100\n"
                                "option name Syzygy50MoveRule type check default true\n"
                                "option name SyzygyProbeLimit type spin default 7 min 0 max 7\n"
                              : "") +
           "uciok\n";
}

// The node counts of the info lines that speed printed, in order.
inline std::vector<long long> speedCounts(const std::string& output) {
    std::vector<long long> lines;
    size_t at = 0;
    while ((at = output.find("info time ", at)) != std::string::npos) {
        const size_t nodes = output.find(" nodes ", at);
        if (nodes == std::string::npos) break;
        lines.push_back(std::stoll(output.substr(nodes + 7)));
        at = nodes;
    }
    // Each speed command prints the plain count and the move-picker count, which must agree.
    std::vector<long long> counts;
    EXPECT_EQ(lines.size() % 2, 0u) << output;
    for (size_t i = 0; i + 1 < lines.size(); i += 2) {
        EXPECT_EQ(lines[i], lines[i + 1]) << output;
        counts.push_back(lines[i]);
    }
    return counts;
}

// The output with the time and the rate of every speed line replaced by T and N, so that whole
// outputs can be compared byte for byte.
inline std::string maskSpeedTimes(const std::string& output) {
    std::string masked;
    size_t at = 0;
    for (;;) {
        size_t next = std::string::npos;
        const char* field = nullptr;
        for (const char* f : {"info time ", " nps "}) {
            const size_t p = output.find(f, at);
            if (p < next) next = p, field = f;
        }
        if (next == std::string::npos) break;
        const size_t digits = next + std::char_traits<char>::length(field);
        masked.append(output, at, digits - at);
        size_t end = digits;
        while (end < output.size() && output[end] >= '0' && output[end] <= '9') end++;
        masked += end > digits ? (field[0] == ' ' ? "N" : "T") : "";
        at = end;
    }
    return masked + output.substr(at);
}

// How often `what` occurs in text.
inline int count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
    return n;
}

// A scratch file that removes itself.
struct TempFile {
    std::string path;
    explicit TempFile(const std::string& contents = "") {
        char name[] = "/tmp/kestrun_test_XXXXXX";
        const int fd = mkstemp(name);
        path = name;
        if (fd >= 0) close(fd);
        setContents(contents);
    }
    void setContents(const std::string& contents) const {
        const int fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (fd < 0) return;
        size_t done = 0;
        while (done < contents.size()) {
            const ssize_t w = write(fd, contents.data() + done, contents.size() - done);
            if (w <= 0) break;
            done += size_t(w);
        }
        close(fd);
    }
    ~TempFile() { unlink(path.c_str()); }
};

}  // namespace engine_process

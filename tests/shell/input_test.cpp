// The line reader and tokenizer on real descriptors: line ends, the end of input, the length cap,
// lines arriving in pieces, and the non-blocking pending test.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "shell/input.h"
#include "shell/uci.h"

namespace {

// A pipe whose read end feeds a reader; the write end stays with the test.
struct PipeFeed {
    int fds[2];
    LineReader reader;
    PipeFeed() {
        EXPECT_EQ(pipe2(fds, O_CLOEXEC), 0);
        attachLineReader(reader, fds[0]);
    }
    ~PipeFeed() {
        closeWriter();
        close(fds[0]);
    }
    void write(const std::string& s) const {
        size_t done = 0;
        while (done < s.size()) {
            const ssize_t w = ::write(fds[1], s.data() + done, s.size() - done);
            ASSERT_GT(w, 0);
            done += size_t(w);
        }
    }
    void closeWriter() {
        if (fds[1] >= 0) close(fds[1]);
        fds[1] = -1;
    }
};

// Feeds the whole text from a thread (it may exceed the pipe's capacity), then closes the pipe.
std::vector<std::string> readAllLines(const std::string& text) {
    PipeFeed feed;
    std::thread writer([&] {
        feed.write(text);
        feed.closeWriter();
    });
    std::vector<std::string> lines;
    const char* line;
    size_t length;
    while (readLine(feed.reader, line, length)) lines.emplace_back(line, length);
    EXPECT_FALSE(readLine(feed.reader, line, length));  // the end stays the end
    writer.join();
    return lines;
}

using Lines = std::vector<std::string>;

}  // namespace

TEST(LineReader, BlankLinesAreNotTheEnd) {
    EXPECT_EQ(readAllLines("a\n\nb c\n"), (Lines{"a", "", "b c"}));
    EXPECT_EQ(readAllLines("a\n\nlast"), (Lines{"a", "", "last"}));
    EXPECT_EQ(readAllLines("\n"), (Lines{""}));
    EXPECT_EQ(readAllLines(""), Lines{});
    EXPECT_EQ(readAllLines("x\r\n"), (Lines{"x\r"}));
}

TEST(LineReader, LinesArrivingInPiecesAndThePendingTest) {
    PipeFeed feed;
    const char* line;
    size_t length;
    EXPECT_FALSE(inputPending(feed.reader));
    feed.write("isre");
    EXPECT_TRUE(inputPending(feed.reader));
    std::thread rest([&] {
        usleep(20000);
        feed.write("ady\nstop\npart");
    });
    ASSERT_TRUE(readLine(feed.reader, line, length));
    rest.join();
    EXPECT_EQ(std::string(line, length), "isready");
    // stop is in our buffer already, not in the pipe: still pending.
    EXPECT_TRUE(inputPending(feed.reader));
    ASSERT_TRUE(readLine(feed.reader, line, length));
    EXPECT_EQ(std::string(line, length), "stop");
    EXPECT_TRUE(inputPending(feed.reader));  // a partial line
    feed.write("\n");
    ASSERT_TRUE(readLine(feed.reader, line, length));
    EXPECT_EQ(std::string(line, length), "part");
    EXPECT_FALSE(inputPending(feed.reader));
    feed.closeWriter();
    EXPECT_TRUE(inputPending(feed.reader));  // the end is news too
    EXPECT_FALSE(readLine(feed.reader, line, length));
    EXPECT_FALSE(inputPending(feed.reader));  // once read, the end is news no more
}

TEST(LineReader, CommandFiles) {
    for (const char* other : {"/nonexistent/kestrun", "/dev/null", "/dev/zero", "/tmp"})
        EXPECT_EQ(openLineReader(other), nullptr) << other;
    char name[] = "/tmp/kestrun_reader_XXXXXX";
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "uci\nquit", 8), 8);
    close(fd);
    auto reader = openLineReader(name);
    ASSERT_NE(reader, nullptr);
    TokenLine line;
    EXPECT_EQ(readTokens(*reader, line), 1);
    EXPECT_STREQ(line[0], "uci");
    EXPECT_EQ(readTokens(*reader, line), 1);
    EXPECT_STREQ(line[0], "quit");
    EXPECT_EQ(readTokens(*reader, line), END_OF_INPUT);
    closeLineReader(*reader);
    unlink(name);
}

TEST(Tokens, SplitAtEveryBlankWithoutLimits) {
    PipeFeed feed;
    std::string many = "position startpos moves";
    for (int i = 0; i < 5000; i++) many += " t" + std::to_string(i);
    const std::string longToken(300, 'q');
    std::thread writer([&] {
        feed.write(" \t go\vwtime\f1000\r\n\n  \t \n" + many + "\n" + longToken + " x\n");
        feed.write(std::string("ab\0cd ef\n", 9));
        feed.closeWriter();
    });
    TokenLine line;
    ASSERT_EQ(readTokens(feed.reader, line), 3);
    EXPECT_STREQ(line[0], "go");
    EXPECT_STREQ(line[1], "wtime");
    EXPECT_STREQ(line[2], "1000");
    EXPECT_EQ(readTokens(feed.reader, line), 0);
    EXPECT_EQ(readTokens(feed.reader, line), 0);
    ASSERT_EQ(readTokens(feed.reader, line), 5003);
    EXPECT_STREQ(line[5002], "t4999");
    ASSERT_EQ(readTokens(feed.reader, line), 2);
    EXPECT_EQ(line[0], longToken);
    EXPECT_EQ(readTokens(feed.reader, line), 1);  // "ab\0cd ef" would be two tokens without the NUL
    writer.join();
}

TEST(Tokens, IntegersSaturate) {
    EXPECT_EQ(parseInteger("42"), 42);
    EXPECT_EQ(parseInteger("  -17x"), -17);
    EXPECT_EQ(parseInteger("+8"), 8);
    EXPECT_EQ(parseInteger("abc"), 0);
    EXPECT_EQ(parseInteger("-"), 0);
    EXPECT_EQ(parseInteger("2147483647"), INT32_MAX);
    EXPECT_EQ(parseInteger("2147483648"), INT32_MAX);
    EXPECT_EQ(parseInteger("-2147483648"), INT32_MIN);
    EXPECT_EQ(parseInteger("-2147483649"), INT32_MIN);
    EXPECT_EQ(parseInteger("99999999999999999999999999999"), INT32_MAX);
    EXPECT_EQ(parseInteger("4294967297"), INT32_MAX);  // would wrap to 1 in 32 bits
    EXPECT_EQ(parseInteger64("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(parseInteger64("9223372036854775808"), INT64_MAX);
    EXPECT_EQ(parseInteger64("-9223372036854775808"), INT64_MIN);
    EXPECT_EQ(parseInteger64("184467440737095516170"), INT64_MAX);  // wraps to 2 in 64 bits
    EXPECT_TRUE(isNumber(" -3"));
    EXPECT_FALSE(isNumber("-"));
    EXPECT_FALSE(isNumber("x1"));
}

// Reading command-file lines: newlines, a last line without one, NUL bytes and the length limit.
#include <gtest/gtest.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "ovfile.h"

namespace {

struct ReadStep {
    CmdLineRead status;
    std::string line;
};

// Reads `bytes` as a command file to its end (or its first stop) and returns every step.
std::vector<ReadStep> readall(const std::string& bytes) {
    std::string copy = bytes;
    FILE* f = fmemopen(copy.data(), copy.size(), "r");
    std::vector<ReadStep> steps;
    if (!f) return steps;
    for (int i = 0; i < 100; ++i) {
        std::string line;
        const CmdLineRead r = readovcmdline(f, line);
        steps.push_back({r, r == CmdLineRead::kLine ? line : ""});
        if (r != CmdLineRead::kLine && r != CmdLineRead::kNulStart) break;
    }
    fclose(f);
    return steps;
}

std::vector<std::string> lines(const std::vector<ReadStep>& steps) {
    std::vector<std::string> out;
    for (const ReadStep& s : steps)
        if (s.status == CmdLineRead::kLine) out.push_back(s.line);
    return out;
}

TEST(CmdFileReadTest, NewlineIsRemoved) {
    const auto steps = readall("echo a\necho b\n");
    EXPECT_EQ(lines(steps), (std::vector<std::string>{"echo a", "echo b"}));
    EXPECT_EQ(steps.back().status, CmdLineRead::kEnd);
}

TEST(CmdFileReadTest, LastLineWithoutNewlineKeepsItsLastCharacter) {
    EXPECT_EQ(lines(readall("echo a\necho bc")), (std::vector<std::string>{"echo a", "echo bc"}));
}

TEST(CmdFileReadTest, EmptyLinesAreLinesAndEmptyFileHasNone) {
    EXPECT_EQ(lines(readall("\n\nx\n")), (std::vector<std::string>{"", "", "x"}));
    const auto steps = readall("");
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0].status, CmdLineRead::kEnd);
}

TEST(CmdFileReadTest, CarriageReturnIsLeftForTheTrim) {
    EXPECT_EQ(lines(readall("echo a\r\n")), (std::vector<std::string>{"echo a\r"}));
}

TEST(CmdFileReadTest, LineBeginningWithNulIsReportedAndReadingGoesOn) {
    const auto steps = readall(std::string("echo a\n\0echo b\necho c\n", 22));
    ASSERT_GE(steps.size(), 3u);
    EXPECT_EQ(steps[1].status, CmdLineRead::kNulStart);
    EXPECT_EQ(lines(steps), (std::vector<std::string>{"echo a", "echo c"}));
}

TEST(CmdFileReadTest, LineIsCutAtANulInside) {
    EXPECT_EQ(lines(readall(std::string("echo ab\0cd\nx\n", 13))),
              (std::vector<std::string>{"echo ab", "x"}));
}

TEST(CmdFileReadTest, LineOf9999CharactersIsTaken) {
    const std::string longline = "echo " + std::string(9994, 'x');
    ASSERT_EQ(longline.size(), kMaxCmdLine);
    EXPECT_EQ(lines(readall(longline + "\nnext\n")), (std::vector<std::string>{longline, "next"}));
    EXPECT_EQ(lines(readall(longline)), (std::vector<std::string>{longline}));
}

TEST(CmdFileReadTest, LineOf10000CharactersStopsTheFile) {
    const std::string longline = "echo " + std::string(9995, 'x');
    const auto steps = readall("first\n" + longline + "\nnext\n");
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].line, "first");
    EXPECT_EQ(steps[1].status, CmdLineRead::kTooLong);
}

TEST(CmdFileReadTest, ReadErrorIsReported) {
    // A directory opens for reading but cannot be read.
    FILE* f = fopen("/", "r");
    if (!f) GTEST_SKIP() << "this system does not open a directory with fopen";
    std::string line;
    EXPECT_EQ(readovcmdline(f, line), CmdLineRead::kReadError);
    fclose(f);
}

}  // namespace

// The dispatcher: trimming, splitting, expansion and the choice of a table row.
#include <gtest/gtest.h>

#include "ovmain.h"

namespace {
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

std::string manywords(int n) {
    std::string line = "echo";
    for (int i = 1; i < n; ++i) line += " w";
    return line;
}

class DispatchTest : public testing::Test {
  protected:
    void SetUp() override {
        initvars();
        level = 0;
    }
    void TearDown() override {
        initvars();
        debugargs = 0;
    }
    std::string run(const std::string& line, int expect = kDone) {
        CaptureStdout();
        int r = cmdintr(line);
        std::string out = GetCapturedStdout();
        EXPECT_EQ(r, expect) << line;
        EXPECT_EQ(level, 0) << line;
        return out;
    }
    std::string runwords(const std::vector<std::string>& words, int expect = kDone) {
        CaptureStdout();
        int r = cmdintrwords(words);
        std::string out = GetCapturedStdout();
        EXPECT_EQ(r, expect);
        EXPECT_EQ(level, 0);
        return out;
    }
};
}  // namespace

TEST_F(DispatchTest, EmptyAndBlankLinesAreUnknownCommands) {
    EXPECT_EQ(run("\n"), "Error Cmd not known\n");
    EXPECT_EQ(run("    \n"), "Error Cmd not known\n");
    EXPECT_EQ(run(""), "Error Cmd not known\n");
}

TEST_F(DispatchTest, LeadingBlanksMakeAnEmptyCommandWord) {
    EXPECT_EQ(run("  echo x"), "Error Cmd not known\n");
}

TEST_F(DispatchTest, TrailingWhiteSpaceIsTrimmed) {
    EXPECT_EQ(run("echo   a    b  \t\n"), "a b\n");
}

TEST_F(DispatchTest, ArgumentCountOutsideTheRowIsUnknown) {
    EXPECT_EQ(run("vars"), "Error Cmd not known\n");
    EXPECT_EQ(run("vars x"), "Error Cmd not known\n");
    EXPECT_EQ(run("printv x"), "Error Cmd not known\n");
    EXPECT_EQ(run("setv"), "Error Cmd not known\n");
    EXPECT_EQ(run("Echo x"), "Error Cmd not known\n");
}

TEST_F(DispatchTest, At255WordsTheLineRunsAnd256AreRefusedSilently) {
    std::string out = run(manywords(255));
    EXPECT_EQ(out.size(), 254u * 2);
    EXPECT_EQ(run(manywords(256), kFailed), "");
}

TEST_F(DispatchTest, WordsLongerThan254CharactersAreRefused) {
    std::string w254(254, 'a');
    EXPECT_EQ(run("echo " + w254), w254 + "\n");
    EXPECT_EQ(run("echo " + std::string(255, 'b'), kFailed),
              "Error, word too long (255 characters, at most 254)\n");
}

TEST_F(DispatchTest, VariableValueIsOneArgument) {
    addvar("x", "a b");
    addvar("cmd", "echo hi");
    EXPECT_EQ(run("echo [x]"), "a b\n");
    EXPECT_EQ(run("[cmd]"), "Error Cmd not known\n");
    addvar("cmd", "echo");
    EXPECT_EQ(run("[cmd] [x] [x]"), "a b a b\n");
}

TEST_F(DispatchTest, ExpandedValueIsNotExpandedAgain) {
    addvar("y", "[x]");
    EXPECT_EQ(run("echo [y]"), "[x]\n");
}

TEST_F(DispatchTest, UnknownVariableRunsNothing) {
    EXPECT_EQ(run("echo [nosuch] now"), "No Such Variable nosuch\n");
    EXPECT_EQ(run("echo [x"), "No Such Variable \n");
    EXPECT_EQ(run("[cmd] lpwd"), "No Such Variable cmd\n");
}

TEST_F(DispatchTest, BracketInsideAWordIsLeftAlone) {
    EXPECT_EQ(run("echo a[x] b]"), "a[x] b]\n");
}

TEST_F(DispatchTest, ReadyMadeWordsAreNeitherSplitNorExpanded) {
    EXPECT_EQ(runwords({"echo", "a  b", "[x]", ""}), "a  b [x] \n");
    EXPECT_EQ(runwords({"nosuch"}), "Error Cmd not known\n");
}

TEST_F(DispatchTest, DebugargsShowsTheLineAndTheVector) {
    debugargs = 1;
    EXPECT_EQ(run("echo  a \n"),
              "Command line = :echo  a:\nargc 2\nargv[0] = echo\n"
              "argv[1] = a\na\n");
    EXPECT_EQ(runwords({"echo", "b c"}),
              "Command line = :echo b c:\nargc 2\n"
              "argv[0] = echo\nargv[1] = b c\nb c\n");
}

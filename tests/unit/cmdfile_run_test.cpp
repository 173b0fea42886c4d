// run, source, which and ! in-process: command files in a temporary folder along `path`, their
// lines dispatched by the real dispatcher. Nothing here touches the link.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "ovfile.h"
#include "ovmain.h"

namespace {

class CmdFileRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/cmdfile_run_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        initvars();
        addvar("path", dir);
        running = 1;
        runtype = 2;  // batch: pause prints nothing
    }
    void TearDown() override {
        initvars();
        debugrun = 0;
        std::filesystem::remove_all(dir);
    }
    void put(const std::string& name, const std::string& text) {
        std::ofstream(dir + "/" + name + ".ovcmd", std::ios::binary) << text;
    }
    std::string slurp(const std::string& rel) {
        std::ifstream in(dir + "/" + rel, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Runs one line as if typed and returns what it printed on standard output.
    std::string line(const std::string& text, int* rc = nullptr) {
        ::testing::internal::CaptureStdout();
        const int r = cmdintr(text);
        std::fflush(stdout);
        if (rc) *rc = r;
        return ::testing::internal::GetCapturedStdout();
    }
    std::string dir;
};

TEST_F(CmdFileRunTest, RunSetsArgVariablesAndRestoresTheCallersOnes) {
    put("f", "echo [arg0] [arg1] [arg2]\nsetv inner 1\n");
    addvar("arg0", "outer");
    int rc = 0;
    EXPECT_EQ(line("run f a b", &rc), "f a b\n");
    EXPECT_EQ(rc, kDone);
    EXPECT_STREQ(findvar("arg0"), "outer");
    EXPECT_EQ(findvar("arg1"), nullptr);
    EXPECT_EQ(findvar("inner"), nullptr);
}

TEST_F(CmdFileRunTest, RunSeesTheCallersVariables) {
    put("f", "echo [x]\nsetv x changed\necho [x]\n");
    addvar("x", "orig");
    EXPECT_EQ(line("run f"), "orig\nchanged\n");
    EXPECT_STREQ(findvar("x"), "orig");
}

TEST_F(CmdFileRunTest, SourceKeepsVariablesAndSetsNoArgs) {
    put("conf", "setv colour blue\necho [arg0]\n");
    EXPECT_EQ(line("source conf"), "No Such Variable arg0\n");
    EXPECT_STREQ(findvar("colour"), "blue");
}

TEST_F(CmdFileRunTest, NestedRunsRestoreEachLevel) {
    put("outer", "setv v outer\nrun inner deep\necho [v] [arg0]\n");
    put("inner", "echo [v] [arg0] [arg1]\nsetv v inner\n");
    addvar("v", "base");
    EXPECT_EQ(line("run outer"), "outer inner deep\nouter outer\n");
    EXPECT_STREQ(findvar("v"), "base");
    EXPECT_EQ(level, 0);
}

TEST_F(CmdFileRunTest, FileStopsOnAFailedLineButNotOnAnUnknownVariable) {
    // A `!` string that is too long is a failed line.
    put("f", "echo [nosuch]\necho one\n! [big]\necho two\n");
    addvar("big", std::string(10000, 'x'));
    int rc = 0;
    const std::string out = line("run f", &rc);
    EXPECT_EQ(out,
              "No Such Variable nosuch\none\n"
              "Error, command too long for ! (10001 characters, at most 9999)\n");
    EXPECT_EQ(rc, kDone);
}

TEST_F(CmdFileRunTest, UnknownCommandDoesNotStopTheFile) {
    put("f", "frob\n\necho after\n");
    EXPECT_EQ(line("run f"), "Error Cmd not known\nError Cmd not known\nafter\n");
}

TEST_F(CmdFileRunTest, FailedFileDoesNotStopItsCaller) {
    put("outer", "run inner\necho outer goes on\n");
    put("inner", "! [big]\necho never\n");
    addvar("big", std::string(10000, 'y'));
    const std::string out = line("run outer");
    EXPECT_EQ(out.find("never"), std::string::npos);
    EXPECT_NE(out.find("outer goes on\n"), std::string::npos);
}

TEST_F(CmdFileRunTest, PauseStopsTheFile) {
    put("f", "echo before\npause\necho after\n");
    int rc = 0;
    EXPECT_EQ(line("run f", &rc), "before\n");
    EXPECT_EQ(rc, kDone);
    EXPECT_EQ(running, 0);
}

TEST_F(CmdFileRunTest, WhichNamesTheFileAndRunsNothing) {
    put("f", "echo ran\n");
    EXPECT_EQ(line("which f"), "run f would use: " + dir + "/f.ovcmd\n");
}

TEST_F(CmdFileRunTest, PathSearchUsesTheVariable) {
    std::filesystem::create_directories(dir + "/a");
    std::filesystem::create_directories(dir + "/b");
    std::ofstream(dir + "/b/x.ovcmd") << "echo from b\n";
    addvar("path", dir + "/a:" + dir + "/b");
    EXPECT_EQ(line("run x"), "from b\n");
    EXPECT_EQ(line("which x"), "run x would use: " + dir + "/b/x.ovcmd\n");
    addvar("path", ":" + dir + "/b");
    EXPECT_EQ(line("run x"), "Error, x not found\n");
}

TEST_F(CmdFileRunTest, MissingFileIsReportedAndGoesOn) {
    int rc = 0;
    EXPECT_EQ(line("run nosuch", &rc), "Error, nosuch not found\n");
    EXPECT_EQ(rc, kDone);
    put("x", "echo x\n");
    EXPECT_EQ(line("run x.ovcmd"), "Error, x.ovcmd not found\n");
}

TEST_F(CmdFileRunTest, UnreadableFileFailsWithAMessageOnStandardError) {
    std::filesystem::create_directories(dir + "/d.ovcmd");
    ::testing::internal::CaptureStderr();
    int rc = 0;
    EXPECT_EQ(line("run d", &rc), "");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Error in opening d\n");
    EXPECT_EQ(rc, kFailed);
    EXPECT_EQ(level, 0);
}

TEST_F(CmdFileRunTest, LastLineWithoutNewlineRunsWhole) {
    put("f", "echo one\necho two");
    EXPECT_EQ(line("run f"), "one\ntwo\n");
}

TEST_F(CmdFileRunTest, LineBeginningWithNulIsSkipped) {
    put("f", std::string("echo a\n\0echo b\necho c\n", 22));
    EXPECT_EQ(line("run f"), "a\nError, line begins with a NUL byte, ignored\nc\n");
}

TEST_F(CmdFileRunTest, OverlongLineStopsTheFile) {
    put("f", "echo a\necho " + std::string(9995, 'z') + "\necho b\n");
    EXPECT_EQ(line("run f"), "a\nError, line too long (more than 9999 characters) in " + dir +
                                 "/f.ovcmd, stopping\n");
}

TEST_F(CmdFileRunTest, DebugRunShowsEachLine) {
    put("f", "echo a   b  \n");
    debugrun = 1;
    EXPECT_EQ(line("run f"), "Cmd :echo a   b  :\na b\n");
}

TEST_F(CmdFileRunTest, SelfRunningFileStopsAtTheNestingLimit) {
    put("loop", "echo deeper\nrun loop\n");
    const std::string out = line("run loop");
    std::string expected;
    for (int i = 0; i < 64; ++i) expected += "deeper\n";
    expected += "Error, command files nested too deeply, loop not run\n";
    EXPECT_EQ(out, expected);
    EXPECT_EQ(level, 0);
    // The limit is per nesting, not in total: the next run works again.
    put("f", "echo fine\n");
    EXPECT_EQ(line("run f"), "fine\n");
}

TEST_F(CmdFileRunTest, BangRunsTheCommandAfterEarlierOutput) {
    int rc = 0;
    line("! echo hi > " + dir + "/out.txt", &rc);
    EXPECT_EQ(rc, kDone);
    EXPECT_EQ(slurp("out.txt"), "hi\n");
}

TEST_F(CmdFileRunTest, BangJoinsWordsWithSingleBlanks) {
    addvar("msg", "a  b");
    line("!   printf   %s-   [msg]   >   " + dir + "/o.txt");
    // The shell got "printf %s- a  b > FILE ", which it splits again.
    EXPECT_EQ(slurp("o.txt"), "a-b-");
}

TEST_F(CmdFileRunTest, BangTooLongIsRefused) {
    addvar("big", std::string(9999, 'q'));
    int rc = 0;
    EXPECT_EQ(line("! [big]", &rc),
              "Error, command too long for ! (10000 characters, at most 9999)\n");
    EXPECT_EQ(rc, kFailed);
    addvar("big", std::string(9998, 'q'));
    ::testing::internal::CaptureStderr();
    line("! [big]", &rc);
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(rc, kDone);
}

}  // namespace

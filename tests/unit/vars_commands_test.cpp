// The variable commands: echo, comments, setv/unsetv with the debug switches, ifusetv, getenv
// and printv, run through the dispatcher as typed.
#include <gtest/gtest.h>

#include <cstdlib>

#include "ovmain.h"

namespace {
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

class ScriptTest : public testing::Test {
  protected:
    void SetUp() override { initvars(); }
    void TearDown() override {
        initvars();
        debugargs = debuglink = debugpath = debugrun = debugbackup = 0;
        debugcall = 0;
        logfile = 0;
    }
    // Runs one typed line; returns what it printed.
    std::string run(const std::string& line, int expect = kDone) {
        CaptureStdout();
        int r = cmdintr(line);
        std::string out = GetCapturedStdout();
        EXPECT_EQ(r, expect) << line;
        return out;
    }
};
}  // namespace

TEST_F(ScriptTest, EchoSeparatesItsArgumentsByOneBlank) {
    EXPECT_EQ(run("echo"), "");
    EXPECT_EQ(run("echo a   b"), "a b\n");
    EXPECT_EQ(run("echo one"), "one\n");
}

TEST_F(ScriptTest, CommentWordsMustStandAlone) {
    EXPECT_EQ(run("# a comment"), "");
    EXPECT_EQ(run("REM a comment"), "");
    EXPECT_EQ(run("Rem"), "");
    EXPECT_EQ(run("#comment"), "Error Cmd not known\n");
}

TEST_F(ScriptTest, CommentLinesAreExpandedFirst) {
    EXPECT_EQ(run("# see [x]"), "No Such Variable x\n");
}

TEST_F(ScriptTest, SetvWithoutValueStoresTheEmptyString) {
    run("setv x");
    EXPECT_STREQ(findvar("x"), "");
    EXPECT_EQ(run("echo a [x] b"), "a  b\n");
}

TEST_F(ScriptTest, SetvDebugNamesSwitchTheirFlags) {
    run("setv debugrun 0");
    run("setv debugpath");
    run("setv debugbackup x");
    run("setv debuglink 1");
    EXPECT_EQ(debugrun, 1);
    EXPECT_EQ(debugpath, 1);
    EXPECT_EQ(debugbackup, 1);
    EXPECT_EQ(debuglink, 1);
    run("unsetv debugrun");
    EXPECT_EQ(debugrun, 0);
    EXPECT_EQ(findvar("debugrun"), nullptr);
}

TEST_F(ScriptTest, SetvDebugcallSetsTheLevel) {
    EXPECT_EQ(run("setv debugcall"), "Call debuging now at level 1\n");
    EXPECT_EQ(debugcall, 1);
    debugcall = 0;
    EXPECT_EQ(run("setv debugcall 3"), "Call debuging now at level 3\n");
    debugcall = 0;
    EXPECT_EQ(run("setv debugcall abc"), "Call debuging now at level 0\n");
    EXPECT_EQ(run("unsetv debugcall"), "");
    EXPECT_EQ(debugcall, 0);
}

TEST_F(ScriptTest, DebugcallUnderLoggingWarnsAndUnsetKeepsTheLevel) {
    logfile = 1;
    debugcall = 0;
    EXPECT_EQ(run("setv debugcall 0"),
              "Logging enabled, changing debug call will affect loging information\n"
              "Call debuging now at level 0\n");
    EXPECT_EQ(run("unsetv debugcall"), "Logging enabled, debugcall cannot be changed\n");
    EXPECT_EQ(findvar("debugcall"), nullptr);
}

TEST_F(ScriptTest, OtherDebugNamesOnlySetTheVariable) {
    EXPECT_EQ(run("setv debugx 1"), "");
    EXPECT_STREQ(findvar("debugx"), "1");
    EXPECT_EQ(debugargs + debuglink + debugpath + debugrun + debugbackup + debugcall, 0);
}

TEST_F(ScriptTest, UnsetvOfTheNameHeldInItsOwnValue) {
    run("setv x x");
    EXPECT_EQ(run("unsetv [x]"), "");
    EXPECT_EQ(findvar("x"), nullptr);
}

TEST_F(ScriptTest, IfusetvLeavesASetVariable) {
    run("setv x 1");
    run("ifusetv x 2");
    run("ifusetv y 2");
    EXPECT_STREQ(findvar("x"), "1");
    EXPECT_STREQ(findvar("y"), "2");
}

TEST_F(ScriptTest, GetenvInItsThreeForms) {
    setenv("ORVELTEST_SET", "val", 1);
    unsetenv("ORVELTEST_NONE");
    run("getenv ORVELTEST_SET");
    EXPECT_STREQ(findvar("ORVELTEST_SET"), "val");
    run("getenv ORVELTEST_SET mine");
    EXPECT_STREQ(findvar("mine"), "val");
    run("getenv ORVELTEST_NONE other");
    EXPECT_EQ(findvar("other"), nullptr);
    EXPECT_EQ(run("getenv ORVELTEST_NONE other dflt"), "");
    EXPECT_STREQ(findvar("other"), "dflt");
    run("getenv ORVELTEST_SET mine dflt");
    EXPECT_STREQ(findvar("mine"), "val");
}

TEST_F(ScriptTest, PrintvAndTheHelpTopicsDumpTheLevel) {
    run("setv a 1");
    EXPECT_EQ(run("printv"), "Vars\na = 1\nEnd\n");
    EXPECT_EQ(run("specialvars2"), "Vars\na = 1\nEnd\n");
}

TEST_F(ScriptTest, HandlersTraceTheirCallAndArguments) {
    debugcall = 2;
    testing::internal::CaptureStderr();
    CaptureStdout();
    cmdintr("getenv ORVELTEST_NONE");
    GetCapturedStdout();
    std::string err = testing::internal::GetCapturedStderr();
    debugcall = 0;
    EXPECT_NE(err.find("CALL: cmtgetenv\nargc = (2) argv[0] = (getenv) "
                       "argv[1] = (ORVELTEST_NONE) \n"),
              std::string::npos)
        << err;
}

// The levelled variable store, and the variable commands (setv, unsetv with the debug switches,
// ifusetv, getenv, printv, comments) run through the dispatcher as typed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>

#include "ovmain.h"
#include "ovvar.h"

namespace {
class VarsTest : public testing::Test {
  protected:
    void SetUp() override { initvars(); }
    void TearDown() override {
        debuglink = debugpath = debugrun = debugbackup = debugcall = logfile = 0;
        initvars();
    }
    // Runs one typed line; returns what it printed.
    std::string run(const std::string& line) {
        testing::internal::CaptureStdout();
        EXPECT_EQ(cmdintr(line), kDone) << line;
        return testing::internal::GetCapturedStdout();
    }
};
}  // namespace

TEST_F(VarsTest, NewestFirstAndDroppingALevelDiscardsItsChanges) {
    EXPECT_EQ(run("printv"), "Vars\nEnd\n");
    addvar("a", "1");
    addvar("b", "2");
    addvar("c", "3");
    addvar("a", "4");
    addvar(curlevel->entries->name, curlevel->entries->value);  // from the entry's own text
    delvar("absent");
    EXPECT_EQ(findvar("A"), nullptr);
    upvarlevel();  // the copies go to the new level in reverse order
    addvar("arg0", "f");
    EXPECT_EQ(run("printv"), "Vars\narg0 = f\nb = 2\nc = 3\na = 4\nEnd\n");
    delvar("c");
    addvar("b", "changed");
    downvarlevel();
    EXPECT_EQ(curlevel, varstackbase);
    EXPECT_EQ(run("printv"), "Vars\na = 4\nc = 3\nb = 2\nEnd\n");
    downvarlevel();  // the base level is only emptied
    EXPECT_EQ(curlevel, varstackbase);
    EXPECT_EQ(run("printv"), "Vars\nEnd\n");
}

TEST_F(VarsTest, EnvironmentLookupIsAPrefixMatchUpToTheFirstEquals) {
    char homedir[] = "HOMEDIR=/d", home[] = "HOME=/h", opts[] = "OPTS=a=b", odd[] = "ODD";
    char* env[] = {homedir, home, opts, odd, nullptr};
    EXPECT_STREQ(extractenv("HOME", env), "HOMEDIR=/d");
    EXPECT_EQ(extractenv("PATH", env), nullptr);
    EXPECT_EQ(loadvar("HOME", "HOME", env), 1);
    EXPECT_STREQ(findvar("HOME"), "/d");
    EXPECT_EQ(loadvar("OPTS", "opts", env), 1);
    EXPECT_STREQ(findvar("opts"), "a=b");
    EXPECT_EQ(loadvar("ODD", "ODD", env), 0);  // an entry without "=" sets nothing
    EXPECT_EQ(findvar("ODD"), nullptr);
}

TEST_F(VarsTest, DebugcallLevelsAndTheirMessages) {
    const std::string warn =
        "Logging enabled, changing debug call will affect loging information\n";
    const std::tuple<int, const char*, std::string> steps[] = {
        {0, "setv debugcall", "Call debuging now at level 1\n"},
        {0, "setv debugcall 2", "Call debuging now at level 2\n"},
        {0, "setv debugcall abc", "Call debuging now at level 2\n"},  // not a number: kept
        {1, "unsetv debugcall", "Logging enabled, debugcall cannot be changed\n"},
        {1, "setv debugcall 3", warn + "Call debuging now at level 3\n"},
        {0, "unsetv debugcall", ""},
    };
    testing::internal::CaptureStderr();  // the call trace
    for (const auto& [logging, line, out] : steps) {
        logfile = logging;
        EXPECT_EQ(run(line), out) << line;
    }
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(debugcall, 0);
}

// Quiet commands, then the state they leave. setv and unsetv are also given the very text that
// they replace or release.
TEST_F(VarsTest, QuietCommandsEndInTheListedStateAndSwitchDebugFlags) {
    setenv("ORVELTEST_SET", "val", 1);
    unsetenv("ORVELTEST_NONE");
    for (const char* line :
         {"echo", "REM a comment", "Rem", "setv x v", "setv x [x]", "setv n n", "unsetv [n]",
          "setv e", "ifusetv e 2", "ifusetv f 2", "getenv ORVELTEST_SET",
          "getenv ORVELTEST_SET mine dflt", "getenv ORVELTEST_NONE other",
          "getenv ORVELTEST_NONE dflt fallback", "setv debugrun 0", "setv debugpath",
          "setv debugbackup x", "setv debuglink 1", "unsetv debugpath"})
        EXPECT_EQ(run(line), "") << line;
    EXPECT_EQ(debugrun + debugbackup + debuglink, 3);  // whatever the value
    EXPECT_EQ(debugpath, 0);
    EXPECT_EQ(run("echo a [e] b"), "a  b\n");
    // e was set, even if to the empty string, so ifusetv left it alone.
    const std::string state =
        "Vars\ndebuglink = 1\ndebugbackup = x\ndebugrun = 0\ndflt = fallback\nmine = val\n"
        "ORVELTEST_SET = val\nf = 2\ne = \nx = v\nEnd\n";
    EXPECT_EQ(run("printv"), state);
    EXPECT_EQ(run("specialvars2"), state);
}

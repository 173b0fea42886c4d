// The command line: -var in its three forms, -log (default, named, unwritable), the one command
// given on the command line (not expanded; options after it are its arguments), -b, -i, -p,
// -d without a name and unknown options.
#include <gtest/gtest.h>
#include <unistd.h>

#include "e2e_util.h"
#include "harness.h"

using namespace e2e;

namespace {

const char kUsage[] =
    "Useage: orvel [-v|-nv] [-i|-b] [-p|-q] [-r] [-d devname] [cmds] [-var varable_name "
    "[variable_value]] [-log [logname]]\n";

RunResult with_args(std::vector<std::string> args, const std::string& input = "") {
    OrganiserTree tree;
    return quick(tree.root, input, std::move(args));
}

// The lines between "Vars\n" and "End\n" of the first variable dump.
std::string first_dump(const std::string& out) {
    size_t start = out.find("Vars\n");
    size_t end = out.find("End\n", start);
    if (start == std::string::npos || end == std::string::npos) return "<no dump>";
    return out.substr(start + 5, end - start - 5);
}

}  // namespace

TEST(OptionsTest, VarWithoutValueIsEmpty) {
    RunSpec s;
    OrganiserTree tree;
    TempDir home;
    s.root = tree.root;
    s.env = {{"HOME", home.path}};
    s.args = {"-var", "x"};
    s.input = "printv\nquit\n";
    RunResult r = run_orvel(s);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(first_dump(r.out), "HOME = " + home.path + "\nx = \n");
}

TEST(OptionsTest, VarWithValueThenCommandIsNotExpanded) {
    RunResult r = with_args({"-var", "x", "1", "echo", "[x]"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(r.out, "[x]\n" + std::string(kQuitMsg))) << r.out;
    EXPECT_EQ(r.frames_from_yal().back(), "dc");
}

TEST(OptionsTest, VarValueFromPromptExpands) {
    RunResult r = with_args({"-var", "x", "1"}, "echo [x]\nquit\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(r.out, kPrompt + std::string("1\n"))) << r.out;
}

TEST(OptionsTest, VarFollowedByOptionIsEmptyAndOptionTaken) {
    RunResult r = with_args({"-var", "x", "-p", "printv"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(r.out, "x = \n")) << r.out;
    EXPECT_EQ(r.from_yal, startup_wire());  // -p: pause, no "dc"
    EXPECT_TRUE(contains(r.out, kPauseMsg));
}

TEST(OptionsTest, EnvironmentHomeWinsOverVarHome) {
    OrganiserTree tree;
    TempDir home;
    RunSpec s;
    s.root = tree.root;
    s.env = {{"HOME", home.path}};
    s.args = {"-var", "HOME", "/x", "printv"};
    RunResult r = run_orvel(s);
    EXPECT_EQ(first_dump(r.out), "HOME = " + home.path + "\n");
}

TEST(OptionsTest, NamedLogGetsTraceAndFrames) {
    TempDir logs;
    std::string log = logs.file("run.log");
    RunResult r = with_args({"-log", log, "-nv"}, "echo hi\nquit\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.substr(0, std::string("Logging to " + log + "\n").size()),
              "Logging to " + log + "\n");
    EXPECT_EQ(r.err, "");  // standard error went to the log
    std::string text = logs.read("run.log");
    EXPECT_TRUE(contains(text, "CALL: ")) << text;
    EXPECT_TRUE(contains(text, "CALL: cmecho\n"));
    EXPECT_TRUE(contains(text, "> " + frame_of("ia") + "\n"));
    EXPECT_TRUE(contains(text, "< XONLINE\n"));
    EXPECT_TRUE(contains(r.out, banner("2.3")));  // -nv after -log is still an option
}

TEST(OptionsTest, DefaultLogIsTmpOrvelLog) {
    RunResult r = with_args({"-log"}, "quit\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(r.out, "Logging to /tmp/orvel.log\n")) << r.out;
    EXPECT_TRUE(contains(slurp("/tmp/orvel.log"), "CALL: "));
}

TEST(OptionsTest, UnwritableLogExitsOne) {
    RunSpec s;
    s.args = {"-log", "/nonexistent-dir/x.log"};
    s.timeout_ms = 10000;
    RunResult r = run_orvel_direct(s);
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "ERROR - opening log file /nonexistent-dir/x.log\n");
}

TEST(OptionsTest, OptionAfterCommandIsAnArgument) {
    RunResult r = with_args({"lpwd", "-q"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(r.out, kNotKnown)) << r.out;
    EXPECT_EQ(r.frames_from_yal().back(), "dc");
}

TEST(OptionsTest, CommandLineCommandRunsOnce) {
    TempDir cwd;
    OrganiserTree tree;
    RunSpec s;
    s.root = tree.root;
    s.cwd = cwd.path;
    s.args = {"-i", "lpwd"};
    RunResult r = run_orvel(s);
    EXPECT_EQ(r.status, 0);
    char real[4096];
    ASSERT_NE(realpath(cwd.path.c_str(), real), nullptr);
    EXPECT_EQ(count_of(r.out, std::string(real) + "\n"), 1) << r.out;
    EXPECT_FALSE(contains(r.out, kPrompt));
}

TEST(OptionsTest, BatchFlagWithoutCommandRunsThePrompt) {
    RunResult r = with_args({"-b"}, "echo hi\nquit\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(r.out, std::string(kPrompt) + "hi\n")) << r.out;
}

TEST(OptionsTest, DeviceOptionWithoutNameIsUsage) {
    RunSpec s;
    s.args = {"-d"};
    s.timeout_ms = 10000;
    RunResult r = run_orvel_direct(s);
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, kUsage);
    EXPECT_EQ(r.out, "");
}

TEST(OptionsTest, UnknownOptionsAreUsage) {
    for (const char* option : {"-z", "-", "--help", "-var"}) {
        SCOPED_TRACE(option);
        RunSpec s;
        s.args = {option};
        s.timeout_ms = 10000;
        RunResult r = run_orvel_direct(s);
        ASSERT_FALSE(r.timed_out);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, kUsage);
    }
}

TEST(OptionsTest, TraceOptionIsAcceptedAndIgnored) {
    RunResult r = with_args({"-t", "echo", "ok"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(r.out, "ok\n"));
}

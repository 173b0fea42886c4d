// The command line: refusals before the line is touched (usage, an unwritable log, a device that
// cannot be opened), -var in its three forms, -log (default and named), the one command given
// on the command line (not expanded; options after it are its arguments), -b, -i, -p and -t.
#include <gtest/gtest.h>

#include <filesystem>

#include "e2e_util.h"
#include "harness.h"

using namespace e2e;

TEST(OptionsTest, RefusalsExitBeforeTheLineWithTheirStatus) {
    const std::string usage =
        "Useage: orvel [-v|-nv] [-i|-b] [-p|-q] [-r] [-d devname] [cmds] [-var varable_name "
        "[variable_value]] [-log [logname]]\n";
    struct Case {
        const char* args;
        int status;
        std::string out, err;
    } cases[] = {
        {"-d", 2, "", usage},
        {"-z", 2, "", usage},
        {"-", 2, "", usage},
        {"--verbose", 2, "", usage},
        {"-var", 2, "", usage},
        {"-log /nonexistent-dir/x.log", 1, "ERROR - opening log file /nonexistent-dir/x.log\n", ""},
        {"-d /nonexistent", 6, "", "Error in openint device\n\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        std::vector<std::string> argv = words(c.args);
        argv.insert(argv.begin(), ORVEL_BIN);
        RunResult r;
        Proc(argv, {}).finish(10000, &r);
        ASSERT_FALSE(r.timed_out);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, c.err);
    }
}

TEST(OptionsTest, EachFormRunsWhatItSays) {
    OrganiserTree tree;
    TempDir home, cwd, logs;
    const std::string real = std::filesystem::canonical(cwd.path);
    const std::string p = kPrompt, g = greeting("3.24"), log = logs.file("run.log");
    const std::string dump = "Vars\nHOME = " + home.path + "\n";
    struct Case {
        std::string args, input, out;
        bool quits;  // ends with "dc" (quit) rather than leaving the organiser active
    } cases[] = {
        {"-var x", "printv\nquit\n", g + p + dump + "x = \nEnd\n" + p + kQuitMsg, true},
        {"-var x 1", "echo [x]\nquit\n", g + p + "1\n" + p + kQuitMsg, true},
        {"-var x 1 echo [x]", "", g + "[x]\n" + kQuitMsg, true},  // not expanded
        {"-var x -p printv", "", g + dump + "x = \nEnd\n" + kPauseMsg, false},
        {"-var HOME /x printv", "", g + dump + "End\n" + kQuitMsg, true},  // HOME stays
        {"lpwd -q", "", g + kNotKnown + kQuitMsg, true},                   // -q is lpwd's argument
        {"-i lpwd", "", g + real + "\n" + kQuitMsg, true},
        {"-b", "echo hi\nquit\n", g + p + "hi\n" + p + kQuitMsg, true},
        {"-t echo ok", "", g + "ok\n" + kQuitMsg, true},
        {"-log " + log + " -nv", "echo hi\nquit\n",
         "Logging to " + log + "\n" + greeting("2.3") + p + "hi\n" + p + kQuitMsg, true},
        {"-log", "quit\n", "Logging to /tmp/orvel.log\n" + g + p + kQuitMsg, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        RunSpec s{.args = words(c.args),
                  .input = c.input,
                  .root = tree.root,
                  .cwd = cwd.path,
                  .env = {{"HOME", home.path}}};
        RunResult r = run_orvel(s);
        EXPECT_EQ(r.status, c.out.find(kNotKnown) == std::string::npos ? 0 : 3);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, "");  // with -log, standard error goes to the log
        EXPECT_EQ(r.frames_from_yal().back(), c.quits ? "dc" : "po 1");
    }
    std::string text = logs.read("run.log");
    for (const char* line : {"CALL: cmecho\n", "> $02ia$CA\n", "< XONLINE\n"})
        EXPECT_TRUE(contains(text, line)) << text;
    EXPECT_TRUE(contains(slurp("/tmp/orvel.log"), "CALL: "));
}

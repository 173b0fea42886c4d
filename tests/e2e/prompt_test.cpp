// The shell as a user meets it at the prompt: help and usage from the table (58 rows, 57 in the
// 3.22 build), lines that fit no row, variables and their expansion, the debug switches, the
// refusal of over-long words and shell strings, and the opt-in line time-out.
#include <gtest/gtest.h>

#include <sstream>

#include "e2e_util.h"
#include "harness.h"

using namespace e2e;

namespace {

const std::vector<std::string> kNames = {"get",
                                         "put",
                                         "lcd",
                                         "rcd",
                                         "lpwd",
                                         "rpwd",
                                         "sum",
                                         "filesum",
                                         "foreach",
                                         "list",
                                         "rlist",
                                         "info",
                                         "setro",
                                         "setrw",
                                         "mkdir",
                                         "rm",
                                         "fast",
                                         "display",
                                         "binary",
                                         "run",
                                         "source",
                                         "which",
                                         "!",
                                         "#",
                                         "REM",
                                         "Rem",
                                         "echo",
                                         "setv",
                                         "unsetv",
                                         "getenv",
                                         "printv",
                                         "ifusetv",
                                         "vars",
                                         "specialvars1",
                                         "specialvars2",
                                         "specialvars3",
                                         "help",
                                         "usage",
                                         "addfilter",
                                         "delfilter",
                                         "printfilters",
                                         "addexcl",
                                         "delexcl",
                                         "printexcl",
                                         "backup",
                                         "ibackup",
                                         "restore",
                                         "irestore",
                                         "transinfo",
                                         "transreset",
                                         "ftransinfo",
                                         "ftransreset",
                                         "proclist",
                                         "procprotect",
                                         "prockill",
                                         "shutdown",
                                         "pause",
                                         "quit"};

RunResult at_prompt(const std::string& input, bool rev322 = false,
                    std::vector<std::pair<std::string, std::string>> env = {}) {
    OrganiserTree tree;
    RunSpec s;
    s.root = tree.root;
    s.input = input;
    s.rev322 = rev322;
    s.env = std::move(env);
    return run_orvel(s);
}

// The names listed after "help, list of available commands is\n", up to the next prompt.
std::vector<std::string> listed_names(const std::string& out) {
    const std::string head = "help, list of available commands is\n";
    size_t start = out.find(head);
    if (start == std::string::npos) return {};
    std::istringstream in(out.substr(start + head.size()));
    std::vector<std::string> names;
    std::string line;
    while (std::getline(in, line) && line.rfind(kPrompt, 0) != 0) names.push_back(line);
    return names;
}

}  // namespace

TEST(PromptTest, HelpListsTheWholeTable) {
    RunResult r = at_prompt("help\nquit\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(listed_names(r.out), kNames);
}

TEST(PromptTest, Revision322HasNoShutdown) {
    RunResult r = at_prompt("help\nshutdown Word\nquit\n", true);
    EXPECT_EQ(r.status, 0);
    std::vector<std::string> names = kNames;
    names.erase(std::find(names.begin(), names.end(), "shutdown"));
    EXPECT_EQ(listed_names(r.out), names);
    EXPECT_EQ(names.size(), 57u);
    EXPECT_TRUE(contains(r.out, std::string(kPrompt) + kNotKnown)) << r.out;
    for (const std::string& f : r.frames_from_yal()) EXPECT_NE(f.substr(0, 2), "ps");
}

TEST(PromptTest, UsageAndHelpOfOneRow) {
    RunResult r = at_prompt("usage get\nusage vars\nhelp frob\nusage frob\nhelp pause\nquit\n");
    EXPECT_TRUE(contains(r.out, "Usage: get path [yal filename]\nArgument count, Min 1, Max 2\n"));
    EXPECT_TRUE(
        contains(r.out, "Usage: vars Not a command, see help\nArgument count, Min 1, Max 0\n"));
    EXPECT_TRUE(contains(r.out, "help: frob not found\n"));
    EXPECT_TRUE(contains(r.out, "usage: frob not found\n"));
    EXPECT_TRUE(contains(r.out,
                         "help for pause\nExit the yal end of the comms link without effecting "
                         "the orvel\nNOTE you should only use this in shell scripts as the orvel "
                         "will detect\na period of inactivity and powerdown, currently the "
                         "software cannot cope with this !\n"));
}

TEST(PromptTest, LinesThatFitNoRowAreNotKnown) {
    RunResult r = at_prompt("\n   \n  lpwd\nvars\nlpwd extra\nfrob\n#comment\nquit\n");
    EXPECT_EQ(count_of(r.out, kNotKnown), 7) << r.out;
    EXPECT_EQ(r.status, 0);
}

TEST(PromptTest, VariablesListNewestFirst) {
    RunResult r = at_prompt("setv a 1\nsetv b 2\nprintv\nsetv a 3\nprintv\nquit\n");
    size_t first = r.out.find("Vars\n");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(r.out.compare(first, 25, "Vars\nb = 2\na = 1\nHOME = /"), 0) << r.out;
    size_t second = r.out.find("Vars\n", first + 1);
    ASSERT_NE(second, std::string::npos);
    EXPECT_EQ(r.out.compare(second, 25, "Vars\na = 3\nb = 2\nHOME = /"), 0) << r.out;
}

TEST(PromptTest, VariableValueIsOneArgument) {
    RunResult r = at_prompt("getenv TWOWORDS x\necho [x]\necho a   b\necho <[x]>\nquit\n", false,
                            {{"TWOWORDS", "a  b"}});
    EXPECT_TRUE(contains(r.out, kPrompt + std::string("a  b\n"))) << r.out;  // not re-split
    EXPECT_TRUE(contains(r.out, kPrompt + std::string("a b\n")));
    EXPECT_TRUE(contains(r.out, kPrompt + std::string("<[x]>\n")));  // "[" not first: literal
}

TEST(PromptTest, UnknownVariableRunsNothing) {
    RunResult r = at_prompt("echo [nope]\necho [x\n# see [y]\nquit\n");
    EXPECT_TRUE(contains(r.out, "No Such Variable nope\n"));
    EXPECT_TRUE(contains(r.out, "No Such Variable \n"));
    EXPECT_TRUE(contains(r.out, "No Such Variable y\n"));
}

TEST(PromptTest, DebugCallTracesOnStandardError) {
    RunResult r = at_prompt("setv debugcall 3\necho hi\nbinary\nsetv debugcall\nquit\n");
    EXPECT_TRUE(contains(r.out, "Call debuging now at level 3\n"));
    EXPECT_TRUE(contains(r.out, "Call debuging now at level 1\n"));
    // The line is traced as read, before its trailing newline is trimmed.
    EXPECT_TRUE(contains(r.err, "CALL: cmdintr(echo hi\n)\n")) << r.err;
    EXPECT_TRUE(contains(r.err, "argc = (2) argv[0] = (echo) argv[1] = (hi) \n"));
    EXPECT_TRUE(contains(r.err, "CALL: cmecho\n"));
    EXPECT_TRUE(contains(r.err, "CALL: ovbinary()\n"));
    EXPECT_TRUE(contains(r.err, "CALL: ovcommand (msg = ia)\n"));
    EXPECT_FALSE(contains(r.out, "CALL:"));
}

TEST(PromptTest, DebugLinkTracesFramesOnStandardOutput) {
    RunResult r = at_prompt("setv debuglink\nbinary\nunsetv debuglink\nbinary\nquit\n");
    std::string ia = frame_of("ia"), xno = frame_of("XNO");
    EXPECT_TRUE(contains(r.out, "putline: got > as sync char\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "Sent :" + ia + ":\n"));
    EXPECT_TRUE(contains(r.out, "OK transmited (" + ia + ")\n"));
    EXPECT_TRUE(contains(r.out, "Recieved datablock OK (lenstr = $03, msg = :XNO: chkstr = " +
                                    xno.substr(xno.size() - 3) + ")\n"));
    EXPECT_TRUE(contains(r.out, "Len 3, Got:XNO:\n"));
    EXPECT_EQ(count_of(r.out, "Sent :" + ia + ":\n"), 1);  // unsetv switched it off
    EXPECT_EQ(r.err, "");
}

TEST(PromptTest, OverlongWordIsRefused) {
    std::string word(300, 'w');
    RunResult r = at_prompt("setv w " + word.substr(0, 250) + "\necho [w]\necho " +
                            std::string(260, 'v') + "\necho after\nquit\n");
    EXPECT_TRUE(contains(r.out, word.substr(0, 250) + "\n"));  // 250 fits
    EXPECT_FALSE(contains(r.out, std::string(255, 'v')));      // nothing echoed cut or whole
    EXPECT_TRUE(contains(r.out, "Error, word too long (260 characters, at most 254)\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "after\n"));
    EXPECT_EQ(r.status, 0);
}

TEST(PromptTest, OverlongShellStringIsRefused) {
    std::string value(250, 'q');
    std::string line = "!";
    for (int i = 0; i < 50; ++i) line += " [v]";  // 50 x 251 bytes: past 9,999
    RunResult r = at_prompt("setv v " + value + "\n" + line + "\necho after\nquit\n");
    EXPECT_FALSE(contains(r.err, "qqqq")) << "the shell ran it";
    EXPECT_TRUE(contains(r.out, "Error, command too long for ! (12550 characters, at most 9999)\n"))
        << r.out;
    EXPECT_TRUE(contains(r.out, "after\n"));
}

TEST(PromptTest, LineTimeoutEndsSilentLinkAsLostContact) {
    OrganiserTree tree;
    RunSpec s;
    s.root = tree.root;
    s.input = "setv linetimeout 1\nbinary\necho never\n";
    s.simargs = {"--mute-after", "9"};  // answers the start-up, then nothing
    s.timeout_ms = 15000;
    RunResult r = run_orvel(s);
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.out, kLostContact));
    EXPECT_FALSE(contains(r.out, "never"));
    EXPECT_LT(r.wall_seconds, 6.0);
}

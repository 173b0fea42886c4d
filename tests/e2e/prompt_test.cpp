// The shell as a user meets it at the prompt: help from the table of each build, usage and help
// of one row, lines that fit no row, variables and their expansion, the refusal of over-long
// words, lines and shell strings and of NUL lines, and the debug switches.
#include <gtest/gtest.h>

#include "e2e_util.h"
#include "harness.h"

using namespace e2e;

TEST(PromptTest, HelpListsTheTableOfEachBuild) {
    for (bool rev322 : {false, true}) {
        SCOPED_TRACE(rev322 ? "3.22" : "3.24");
        OrganiserTree tree;
        RunResult r = run_orvel({.input = "help\nquit\n", .root = tree.root, .rev322 = rev322});
        const std::string head = std::string(kPrompt) + "help, list of available commands is\n";
        ASSERT_TRUE(contains(r.out, head)) << r.out;
        size_t from = r.out.find(head) + head.size();
        std::string list = r.out.substr(from, r.out.find(kPrompt, from) - from);  // one a line
        EXPECT_EQ(count_of(list, "\n"), rev322 ? 57 : 58);
        EXPECT_TRUE(list.starts_with("get\nput\nlcd\nrcd\nlpwd\n")) << list;
        EXPECT_EQ(list.ends_with("\nshutdown\npause\nquit\n"), !rev322) << list;
        EXPECT_EQ(list.ends_with("\nprockill\npause\nquit\n"), rev322) << list;
    }
}

// One session, line by line: what each line must print after its prompt.
TEST(PromptTest, EachLineGetsItsExactAnswer) {
    const std::string w(254, 'w'), v(250, 'v');
    std::string bang = "!";
    for (int i = 0; i < 50; ++i) bang += " [v]";  // 50 x 251 characters: past 9,999
    const std::string ia = "$02ia$CA";
    const std::pair<std::string, std::string> lines[] = {
        {"usage get", "Usage: get path [yal filename]\nArgument count, Min 1, Max 2\n"},
        {"usage vars", "Usage: vars Not a command, see help\nArgument count, Min 1, Max 0\n"},
        {"help frob", "help: frob not found\n"},
        {"usage frob", "usage: frob not found\n"},
        {"help pause",
         "help for pause\nExit the yal end of the comms link without effecting the orvel\nNOTE "
         "you should only use this in shell scripts as the orvel will detect\na period of "
         "inactivity and powerdown, currently the software cannot cope with this !\n"},
        {"", kNotKnown},
        {"   ", kNotKnown},
        {"  lpwd", kNotKnown},  // leading blanks fit no row
        {"vars", kNotKnown},
        {"lpwd extra", kNotKnown},
        {"#comment", kNotKnown},
        {"getenv TWOWORDS x", ""},
        {"echo [x]", "a  b\n"},  // a value is one word, never split again
        {"echo a   b", "a b\n"},
        {"echo <[x]>", "<[x]>\n"},  // "[" not first: literal
        {"echo [nope]", "No Such Variable nope\n"},
        {"echo [x", "No Such Variable \n"},
        {"# see [y]", "No Such Variable y\n"},
        {"setv w " + w, ""},
        {"echo [w]", w + "\n"},
        {"echo x" + w, "Error, word too long (255 characters, at most 254)\n"},
        {"setv v " + v, ""},
        {bang, "Error, command too long for ! (12550 characters, at most 9999)\n"},
        {std::string(10000, 'b'), "Error, line too long (more than 9999 characters), ignored\n"},
        {std::string("\0echo x", 7), "Error, line begins with a NUL byte, ignored\n"},
        {"setv debugcall 3", "Call debuging now at level 3\n"},
        {"echo hi", "hi\n"},
        {"binary", ""},
        {"setv debugcall", "Call debuging now at level 1\n"},
        {"setv debuglink", ""},
        {"binary", "putline: got > as sync char\nSent :" + ia + ":\nOK transmited (" + ia +
                       ")\nRecieved datablock OK (lenstr = $03, msg = :XNO: chkstr = $F5)\n"
                       "Len 3, Got:XNO:\n"},
        {"unsetv debuglink", ""},
        {"binary", ""},
    };
    OrganiserTree tree;
    RunSpec s{.root = tree.root, .env = {{"TWOWORDS", "a  b"}}};
    std::string want = greeting("3.24");
    for (const auto& [line, answer] : lines) {
        s.input += line + "\n";
        want += kPrompt + answer;
    }
    RunResult r = run_orvel(s);
    EXPECT_EQ(r.status, 3);  // lines were refused, and standard input is not a terminal
    EXPECT_EQ(r.out, want + kPrompt + kPauseMsg);  // end of input ends as pause does
    // debugcall traces on standard error: each line as read, before its newline is trimmed.
    for (const char* trace :
         {"CALL: cmdintr(echo hi\n)\n", "CALL: cmecho\n", "CALL: ovbinary()\n",
          "argc = (2) argv[0] = (echo) argv[1] = (hi) \n", "CALL: ovcommand (msg = ia)\n"})
        EXPECT_TRUE(contains(r.err, trace)) << trace;
    EXPECT_EQ(count_of(r.err, "argc = "), 6);  // at level 3 only: echo, binary, setv
    EXPECT_FALSE(contains(r.err, "Sent :"));
}

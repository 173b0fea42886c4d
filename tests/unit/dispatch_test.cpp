// The dispatcher as a typed line meets it: trimming, splitting into words, "[name]" expansion,
// the choice of a table row, and ready-made words that skip splitting and expansion.
#include <gtest/gtest.h>

#include "ovmain.h"

namespace {
std::string wordsline(int n) {
    std::string line = "echo";
    for (int i = 1; i < n; ++i) line += " w";
    return line;
}

struct Case {
    std::string line;
    std::string out;
    int result = kDone;
    bool args = false;  // with debugargs on, which shows the exact words
    std::vector<std::string> words =
        {};  // when set, dispatched as ready-made words instead of `line`
};
}  // namespace

TEST(DispatchTest, SplittingExpansionAndRowChoice) {
    const std::string w254(254, 'a'), w255(255, 'b'), notknown = "Error Cmd not known\n";
    const Case cases[] = {
        // Trimming never removes the first character: an empty line is two empty words.
        {"\n", "Command line = :\n:\nargc 2\nargv[0] = \nargv[1] = \n" + notknown, kDone, true},
        {"  lpwd", "Command line = :  lpwd:\nargc 2\nargv[0] = \nargv[1] = lpwd\n" + notknown,
         kDone, true},
        {"echo   a \t b  \t\n", "a b\n"},
        {std::string("echo a\0b c", 10), "a\n"},  // the line ends at its first NUL
        {wordsline(255), wordsline(255).substr(5) + "\n"},
        {wordsline(256), "", kFailed},  // refused silently
        {"echo " + w254, w254 + "\n"},
        {"echo " + w255 + " z", "Error, word too long (255 characters, at most 254)\n", kFailed},
        // A value is one argument, whatever it holds, and is not expanded again.
        {"echo [x]", "Command line = :echo [x]:\nargc 2\nargv[0] = echo\nargv[1] = a b\na b\n",
         kDone, true},
        {"[cmd] [x] [y]", "a b [x]\n"},
        {"[two]", notknown},
        {"echo [x)", "a b\n"},  // the last character closes the name, whatever it is
        {"echo a[x] b]", "a[x] b]\n"},
        {"echo [x", "No Such Variable \n"},  // the empty name
        {"echo [nosuch] [x]", "No Such Variable nosuch\n"},
        // Rows must fit in name (case and all) and in argument count.
        {"vars", notknown},
        {"printv x", notknown},
        {"setv", notknown},
        {"Echo x", notknown},
        {"", "a  b [x] \n", kDone, false, {"echo", "a  b", "[x]", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line.substr(0, 40) + (c.words.empty() ? "" : c.words[1]));
        initvars();
        addvar("x", "a b");
        addvar("y", "[x]");
        addvar("cmd", "echo");
        addvar("two", "echo hi");
        level = 0;
        debugargs = c.args;
        testing::internal::CaptureStdout();
        int r = c.words.empty() ? cmdintr(c.line) : cmdintrwords(c.words);
        std::string out = testing::internal::GetCapturedStdout();
        debugargs = 0;
        EXPECT_EQ(r, c.result);
        EXPECT_EQ(out, c.out);
        EXPECT_EQ(level, 0);
    }
    initvars();
}

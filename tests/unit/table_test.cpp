// The command table and the help and usage commands that print from it (the prompt's tests pin
// the whole listing end to end): counts, anchoring rows, and texts in the table's own wording.
#include <gtest/gtest.h>

#include <algorithm>

#include "ovmain.h"

namespace {
std::string run(const std::string& line) {
    initvars();
    testing::internal::CaptureStdout();
    EXPECT_EQ(cmdintr(line), kDone);
    return testing::internal::GetCapturedStdout();
}
}  // namespace

TEST(TableTest, FiftyEightRowsHelpListingAndTexts) {
    ASSERT_EQ(kCommandCount, 58);
    EXPECT_STREQ(cmds[32].name, "vars");
    EXPECT_EQ(cmds[32].minargs, 1);  // more than its maximum: "vars" never runs
    EXPECT_EQ(cmds[32].maxargs, 0);
    EXPECT_STREQ(cmds[55].name, "shutdown");
    EXPECT_STREQ(cmds[57].name, "quit");
    std::string list = run("help");
    EXPECT_EQ(list.rfind("help, list of available commands is\nget\nput\nlcd\n", 0), 0u);
    EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), 59);
    EXPECT_EQ(run("usage").rfind("usage, list of available commands is\nget\n", 0), 0u);
    const std::pair<const char*, const char*> cases[] = {
        {"usage lpwd", "Usage: lpwd \nArgument count, Min 0, Max 0\n"},
        {"usage specialvars2",
         "Usage: specialvars2 Not a command see help\nArgument count, Min 0, Max 0\n"},
        {"help quit",
         "help for quit\nInstruct the orvel end of the link to exit then exit the yal end\n"},
        {"help #",
         "help for #\nIgnores the remainder of the line, a comment indicator, intended to be used "
         "in \novcmd files\n"},
        {"help sum",
         "help for sum\nComputes a checksum on the path given either on the yal or the orvel "
         "(default)\n\n"},
        {"help specialvars3",
         "help for specialvars3\nbackupnodo\tIf set the backup and restore systems do not actialy "
         "get / put files\nbut instead print out what would happen (usefull for backup)\n"
         "backupask\tIf set asks before backingup each file, usefull for\ninteractive "
         "backupsrestoreask\tIf set asks before restoring each file (usefull for\ninteractive "
         "restores\n"},
    };
    for (const auto& [line, out] : cases) EXPECT_EQ(run(line), out) << line;
}

// The command table as the revision 3.22 build compiles it: the same rows less `shutdown`.
// The table's source is compiled here under that build's definition, with its two names
// renamed so that they stand beside the revision 3.24 table that the rest of the tests use.
#define ORVEL_REVISION_322 1
#define cmds cmds322
#define kCommandCount kCommandCount322
#include "../../shell/cmdtable.cpp"
#undef cmds
#undef kCommandCount

#include <gtest/gtest.h>

#include <cstring>

TEST(TableTest, Revision322HasFiftySevenRowsAndNoShutdown) {
    ASSERT_EQ(kCommandCount322, 57);
    for (int i = 0; i < kCommandCount322; ++i) EXPECT_STRNE(cmds322[i].name, "shutdown");
    EXPECT_STREQ(cmds322[54].name, "prockill");
    EXPECT_STREQ(cmds322[55].name, "pause");
    EXPECT_STREQ(cmds322[56].name, "quit");
}

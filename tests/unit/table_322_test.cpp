// The table as the revision 3.22 build compiles it: the same rows less `shutdown`. Its source is
// compiled here under that definition, its names renamed to stand beside the 3.24 table.
#define ORVEL_REVISION_322 1
#define cmds cmds322
#define kCommandCount kCommandCount322
#include "../../shell/cmdtable.cpp"
#undef cmds
#undef kCommandCount

#include <gtest/gtest.h>

TEST(TableTest, Revision322HasFiftySevenRowsAndNoShutdown) {
    ASSERT_EQ(kCommandCount322, 57);
    for (int i = 0; i < kCommandCount322; ++i) EXPECT_STRNE(cmds322[i].name, "shutdown");
    EXPECT_STREQ(cmds322[55].name, "pause");
}

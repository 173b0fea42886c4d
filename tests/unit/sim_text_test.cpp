// Case folding, the "*" glob and trace escaping of the simulated organiser.
#include <gtest/gtest.h>

#include "simtext.h"

namespace sim {
namespace {

TEST(SimTextTest, GlobMatchesCaseInsensitively) {
    EXPECT_TRUE(glob_match_ci("*", "anything"));
    EXPECT_TRUE(glob_match_ci("*", ""));
    EXPECT_TRUE(glob_match_ci("*.txt", "NOTES.TXT"));
    EXPECT_TRUE(glob_match_ci("n*s.t*", "notes.txt"));
    EXPECT_TRUE(glob_match_ci("sys$*", "SYS$SHLL"));
    EXPECT_FALSE(glob_match_ci("*.txt", "notes.txt.bak"));
    EXPECT_FALSE(glob_match_ci("word", "words"));
    EXPECT_TRUE(glob_match_ci("**a**", "banana"));
}

TEST(SimTextTest, EscapesTraceBytes) {
    EXPECT_EQ(c_escape("$02ol$DB"), "$02ol$DB");
    EXPECT_EQ(c_escape("a\\b\n\r"), "a\\\\b\\n\\r");
    EXPECT_EQ(c_escape(std::string("\x00\x7f\xff", 3)), "\\x00\\x7F\\xFF");
}

TEST(SimTextTest, ComparesWithoutCase) {
    EXPECT_TRUE(equal_ci("Notes.TXT", "notes.txt"));
    EXPECT_FALSE(equal_ci("notes", "notes.txt"));
    EXPECT_EQ(lower_ascii("M:\\DOCS"), "m:\\docs");
}

}  // namespace
}  // namespace sim

// Reading command-file lines (their newlines, NUL bytes and length limit are pinned by the
// session scripting/stops): a file that opens but cannot be read is an error, not an end.
#include <gtest/gtest.h>

#include <cstdio>

#include "ovfile.h"

TEST(CmdFileReadTest, AReadErrorIsNoEnd) {
    std::FILE* dir = std::fopen("/", "r");  // a folder opens, but no read works
    ASSERT_NE(dir, nullptr);
    std::string line;
    EXPECT_EQ(readovcmdline(dir, line), CmdLineRead::kReadError);
    std::fclose(dir);
}

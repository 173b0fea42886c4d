// The byte sum of a local file, read in blocks. (Sums in memory are pinned by every frame and
// data-line test, the two codings of file data byte for byte by the transfer tests.)
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "yalutils.h"

TEST(LinkChecksumTest, YalsumAddsEveryBlockModulo256) {
    const std::string name = testing::TempDir() + "orvel-sum-" + std::to_string(getpid());
    std::ofstream(name) << std::string(3000, '\x01') + "\xFF";  // more than one read block
    EXPECT_EQ(yalsum(name), (3000 + 255) % 256);
    unlink(name.c_str());
    EXPECT_EQ(yalsum(name), -2);
}

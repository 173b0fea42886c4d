// The byte sum, the hexadecimal coding of file data and the attribute mask of "ft" replies.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "ovlib.h"
#include "yalutils.h"

namespace {

std::string tempfile(const std::string& bytes) {
    char name[] = "/tmp/orvel-link-sumXXXXXX";
    int fd = mkstemp(name);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    close(fd);
    return name;
}

}  // namespace

TEST(LinkChecksumTest, DochksumAddsModulo256) {
    int sum = 0;
    dochksum(&sum, "\x01\x02\xFF", 3);
    EXPECT_EQ(sum, 2);
    sum = 0xF0;
    dochksum(&sum, "\x20", 1);
    EXPECT_EQ(sum, 0x10);
    dochksum(&sum, "", 0);
    EXPECT_EQ(sum, 0x10);
}

TEST(LinkChecksumTest, YalsumOfFiles) {
    std::string small = tempfile(std::string("\x01\x02\xFF", 3));
    std::string empty = tempfile("");
    std::string big = tempfile(std::string(3000, '\x01'));  // crosses read blocks
    EXPECT_EQ(yalsum(small), 2);
    EXPECT_EQ(yalsum(empty), 0);
    EXPECT_EQ(yalsum(big), 3000 % 256);
    EXPECT_EQ(yalsum("/tmp/orvel-link-no-such-file"), -2);
    unlink(small.c_str());
    unlink(empty.c_str());
    unlink(big.c_str());
}

TEST(LinkChecksumTest, OvtoasLetters) {
    char out[3];
    ovtoas(0x00, out);
    EXPECT_STREQ(out, "AA");
    ovtoas(0xFF, out);
    EXPECT_STREQ(out, "PP");
    ovtoas(0x3F, out);
    EXPECT_STREQ(out, "DP");
    ovtoas(0xA0, out);
    EXPECT_STREQ(out, "KA");
}

TEST(LinkChecksumTest, DehexEitherCase) {
    EXPECT_EQ(dehex("ff"), 0xFF);
    EXPECT_EQ(dehex("FF"), 0xFF);
    EXPECT_EQ(dehex("0a"), 0x0A);
    EXPECT_EQ(dehex("3F"), 0x3F);
    EXPECT_EQ(dehex("00"), 0x00);
}

TEST(LinkChecksumTest, AttributeMaskFromReply) {
    EXPECT_EQ(attsfromreply("XFILE TEXT HIDDEN"), kAttText | kAttFile);
    EXPECT_EQ(attsfromreply("XDIR"), kAttDir);
    EXPECT_EQ(attsfromreply("XFILE"), kAttFile);
    EXPECT_EQ(attsfromreply("XFILE HIDDEN SYSTEM"), kAttHidden | kAttFile);
    EXPECT_EQ(attsfromreply("XFILE SYSTEM"), kAttSystem | kAttFile);
    EXPECT_EQ(attsfromreply("XVOLUME"), kAttVolume | kAttFile);
    EXPECT_EQ(attsfromreply("XDIR HIDDEN"), kAttDir);
}

// The link-free helpers of the remote file and transfer commands, where a run against the
// organiser cannot reach: every attribute word in its order, the listing file's mode, and moving
// a bad copy aside quietly or failing to without leaving a stray name.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "filecmds.h"
#include "ovmain.h"

namespace fs = std::filesystem;

namespace {

struct RemoteTest : ::testing::Test {
    void SetUp() override {
        char tmpl[] = "/tmp/remotetestXXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string dir;
};

TEST_F(RemoteTest, AttwordsFollowTheFixedOrder) {
    EXPECT_EQ(attwords(63), "DIRECTORY TEXT FILE HIDDEN SYSTEM VOLUMEDIR ");
    EXPECT_EQ(attwords(kAttFile | kAttVolume), "FILE VOLUMEDIR ");
    EXPECT_EQ(attwords(0), "");
}

TEST_F(RemoteTest, ListFileIsMadeWithMode644) {
    const mode_t mask = umask(0);
    umask(mask);
    FILE* f = openlistfile(dir + "/fresh");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    struct stat st {};
    ASSERT_EQ(stat((dir + "/fresh").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u & ~mask);
}

TEST_F(RemoteTest, ChksumsaveIsQuietWithoutVerboseAndLeavesNoStrayNameOnFailure) {
    const std::string local = dir + "/a b.txt";
    testing::internal::CaptureStdout();
    std::ofstream(local) << "x";
    const std::string first = chksumsave(local, false);
    std::ofstream(local) << "y";
    const std::string second = chksumsave(local, false);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_NE(first, second);
    EXPECT_EQ(first.size(), local.size() + 6);
    EXPECT_FALSE(fs::exists(local));
    testing::internal::CaptureStdout();
    EXPECT_EQ(chksumsave(dir + "/gone", false), "");
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.rfind("ERROR: cannot save " + dir + "/gone as " + dir + "/gone", 0), 0u) << out;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
}

}  // namespace

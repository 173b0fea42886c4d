// The link-free helpers of the remote file and transfer commands, where a run against the
// organiser cannot reach: every attribute word in its order, and moving a bad copy aside quietly
// or failing to without leaving a stray name.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "filecmds.h"
#include "ovmain.h"

namespace fs = std::filesystem;

TEST(RemoteTest, AttwordsFollowTheFixedOrder) {
    EXPECT_EQ(attwords(63), "DIRECTORY TEXT FILE HIDDEN SYSTEM VOLUMEDIR ");
    EXPECT_EQ(attwords(0), "");
}

TEST(RemoteTest, ChksumsaveIsQuietWithoutVerboseAndLeavesNoStrayNameOnFailure) {
    char tmpl[] = "/tmp/remotetestXXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string dir = tmpl, local = dir + "/a b.txt";
    std::ofstream(local) << "x";
    testing::internal::CaptureStdout();
    const std::string saved = chksumsave(local, false);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(saved.size(), local.size() + 6);
    EXPECT_TRUE(fs::exists(local));  // kept until a whole new copy replaces it
    testing::internal::CaptureStdout();
    EXPECT_EQ(chksumsave(dir + "/gone", false), "");
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.rfind("ERROR: cannot save " + dir + "/gone as " + dir + "/gone", 0), 0u) << out;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
    fs::remove_all(dir);
}

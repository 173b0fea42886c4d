// Moving a disputed copy aside (chksumsave) where a run cannot reach: quietly without verbose,
// and, when the copy cannot be moved, with a message and no stray name left behind.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "filecmds.h"

namespace fs = std::filesystem;

TEST(RemoteTest, ChksumsaveIsQuietWithoutVerboseAndLeavesNoStrayNameOnFailure) {
    const fs::path dir = fs::path(testing::TempDir()) / ("chksumsave-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string local = dir / "a b.txt", gone = dir / "gone";
    std::ofstream(local) << "x";
    testing::internal::CaptureStdout();
    EXPECT_EQ(chksumsave(local, false).size(), local.size() + 6);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_FALSE(fs::exists(local));
    testing::internal::CaptureStdout();
    EXPECT_EQ(chksumsave(gone, false), "");
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(out.starts_with("ERROR: cannot save " + gone + " as " + gone)) << out;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 1);  // the saved copy only
    fs::remove_all(dir);
}

// Moving a disputed copy aside (chksumsave) when it cannot be moved, which no run can reach: a
// message, and no stray name left behind. (Its other uses are pinned by the session
// transfer/disputed-sums.)
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "filecmds.h"

TEST(RemoteTest, ChksumsaveLeavesNoStrayNameWhenTheCopyCannotBeMoved) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(testing::TempDir()) / ("chksumsave-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string gone = dir / "gone";
    testing::internal::CaptureStdout();
    EXPECT_EQ(chksumsave(gone, false), "");
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(out.starts_with("ERROR: cannot save " + gone + " as " + gone)) << out;
    EXPECT_TRUE(fs::is_empty(dir));
    fs::remove_all(dir);
}

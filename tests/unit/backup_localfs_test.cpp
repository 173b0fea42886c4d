// Workstation directories for backup and restore: "mkdir -p" by system calls and listings in
// the order `ls` gives in the C locale, with names no shell could mangle.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "localfs.h"

namespace fs = std::filesystem;

namespace {

class BackupLocalFsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "localfsXXXXXX").string();
        dir_ = mkdtemp(pattern.data());
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    void touch(const std::string& rel) { std::ofstream(dir_ + "/" + rel) << "x"; }
    std::string dir_;
};

bool isdir(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

TEST_F(BackupLocalFsTest, MakesEveryMissingParent) {
    EXPECT_EQ(makedirs(dir_ + "/a/b c/d;e$f"), 0);
    EXPECT_TRUE(isdir(dir_ + "/a/b c/d;e$f"));
}

TEST_F(BackupLocalFsTest, ExistingDirectoriesAreFine) {
    ASSERT_EQ(makedirs(dir_ + "/a/b"), 0);
    EXPECT_EQ(makedirs(dir_ + "/a/b"), 0);
    EXPECT_EQ(makedirs(dir_ + "/a//b/"), 0);
    EXPECT_EQ(makedirs(dir_), 0);
}

TEST_F(BackupLocalFsTest, FileInTheWayFails) {
    touch("f");
    errno = 0;
    EXPECT_EQ(makedirs(dir_ + "/f/g"), -1);
    EXPECT_EQ(errno, ENOTDIR);
    EXPECT_EQ(makedirs(dir_ + "/f"), -1);
}

TEST_F(BackupLocalFsTest, ListingIsSortedBytewiseWithoutDotNames) {
    for (const char* name : {"b", "B", "a b;c$d.txt", ".profile", "_x", "\xc3\xa9t\xc3\xa9", "a"}) {
        touch(name);
    }
    ASSERT_EQ(makedirs(dir_ + "/Sub"), 0);
    std::vector<std::string> names;
    ASSERT_EQ(listdirsorted(dir_, names), 0);
    EXPECT_EQ(names, (std::vector<std::string>{"B", "Sub", "_x", "a", "a b;c$d.txt", "b",
                                               "\xc3\xa9t\xc3\xa9"}));
}

TEST_F(BackupLocalFsTest, MissingDirectoryFailsWithEmptyList) {
    std::vector<std::string> names{"stale"};
    EXPECT_EQ(listdirsorted(dir_ + "/none", names), -1);
    EXPECT_TRUE(names.empty());
}

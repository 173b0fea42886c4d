// The link-free parts of the remote file and transfer commands: lower-casing organiser paths,
// attribute words, the words foreach composes, listing files that refuse symbolic links, the
// transfer speed, and moving a bad copy aside.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "filecmds.h"
#include "ovmain.h"

namespace fs = std::filesystem;

namespace {

// A fresh directory under the system's temporary folder, removed with everything in it.
class ScratchDir {
  public:
    ScratchDir() {
        std::string pattern = (fs::temp_directory_path() / "remotetestXXXXXX").string();
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        path_ = mkdtemp(buf.data());
    }
    ~ScratchDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    fs::path operator/(const std::string& name) const { return path_ / name; }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void spit(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary);
    out << bytes;
}

// An argv of writable copies, as the dispatcher hands it to a handler.
class Argv {
  public:
    explicit Argv(std::vector<std::string> words) : words_(std::move(words)) {
        for (auto& w : words_) ptrs_.push_back(w.data());
        ptrs_.push_back(nullptr);
    }
    int argc() const { return static_cast<int>(words_.size()); }
    char** argv() { return ptrs_.data(); }

  private:
    std::vector<std::string> words_;
    std::vector<char*> ptrs_;
};

mode_t currentumask() {
    mode_t m = umask(0);
    umask(m);
    return m;
}

}  // namespace

TEST(RemoteTest, LowerpathLowersEveryCharacterInPlace) {
    char path[] = "M:\\Docs\\NOTES.Txt";
    lowerpath(path);
    EXPECT_STREQ(path, "m:\\docs\\notes.txt");
    std::string s = "B:\\A B\\[X]";
    lowerpath(s);
    EXPECT_EQ(s, "b:\\a b\\[x]");
}

TEST(RemoteTest, LowerpathLeavesEmptyTextEmpty) {
    char empty[] = "";
    lowerpath(empty);
    EXPECT_STREQ(empty, "");
    std::string s;
    lowerpath(s);
    EXPECT_EQ(s, "");
}

TEST(RemoteTest, LowerpathKeepsBytesAboveAsciiAndDigits) {
    std::string s = "M:\\\xC9T\xC9\\123";
    lowerpath(s);
    EXPECT_EQ(s, "m:\\\xC9t\xC9\\123");
}

TEST(RemoteTest, AttwordsFollowTheFixedOrder) {
    EXPECT_EQ(attwords(kAttDir), "DIRECTORY ");
    EXPECT_EQ(attwords(kAttText | kAttFile), "TEXT FILE ");
    EXPECT_EQ(attwords(kAttFile | kAttHidden), "FILE HIDDEN ");
    EXPECT_EQ(attwords(kAttFile | kAttSystem), "FILE SYSTEM ");
    EXPECT_EQ(attwords(kAttFile | kAttVolume), "FILE VOLUMEDIR ");
    EXPECT_EQ(attwords(63), "DIRECTORY TEXT FILE HIDDEN SYSTEM VOLUMEDIR ");
    EXPECT_EQ(attwords(0), "");
}

TEST(RemoteTest, ForeachWordsAppendTheLineAsOneWord) {
    Argv a({"foreach", "/tmp/names", "get"});
    EXPECT_EQ(foreachwords(a.argc(), a.argv(), "M:\\MY NOTES.TXT\n"),
              (std::vector<std::string>{"get", "M:\\MY NOTES.TXT"}));
}

TEST(RemoteTest, ForeachWordsKeepLeadingArgumentsInOrder) {
    Argv a({"foreach", "names", "list", "-x", "y"});
    EXPECT_EQ(foreachwords(a.argc(), a.argv(), "M:\\A\n"),
              (std::vector<std::string>{"list", "-x", "y", "M:\\A"}));
}

TEST(RemoteTest, ForeachWordsOfAnEmptyLineAreTheBareCommand) {
    Argv a({"foreach", "names", "get"});
    EXPECT_EQ(foreachwords(a.argc(), a.argv(), "\n"), (std::vector<std::string>{"get"}));
    EXPECT_EQ(foreachwords(a.argc(), a.argv(), ""), (std::vector<std::string>{"get"}));
}

TEST(RemoteTest, ForeachWordsOfALastLineWithoutNewline) {
    Argv a({"foreach", "names", "rm"});
    EXPECT_EQ(foreachwords(a.argc(), a.argv(), "M:\\LAST"),
              (std::vector<std::string>{"rm", "M:\\LAST"}));
}

TEST(RemoteTest, TransferSpeedCountsZeroSecondsAsOne) {
    EXPECT_EQ(transferspeed(250, 0), 250);
    EXPECT_EQ(transferspeed(250, 1), 250);
    EXPECT_EQ(transferspeed(1000, 3), 333);
    EXPECT_EQ(transferspeed(0, 5), 0);
}

TEST(RemoteTest, ListFileIsCreatedAndEmptied) {
    ScratchDir dir;
    fs::path p = dir / "names";
    spit(p, "old contents that must go\n");
    FILE* f = openlistfile(p.string());
    ASSERT_NE(f, nullptr);
    std::fputs("M:\\A\n", f);
    std::fclose(f);
    EXPECT_EQ(slurp(p), "M:\\A\n");
    struct stat st {};
    ASSERT_EQ(stat(p.c_str(), &st), 0);
    fs::path fresh = dir / "fresh";
    f = openlistfile(fresh.string());
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    ASSERT_EQ(stat(fresh.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u & ~currentumask());
}

TEST(RemoteTest, ListFileRefusesASymbolicLink) {
    ScratchDir dir;
    fs::path victim = dir / "victim";
    spit(victim, "precious\n");
    fs::create_symlink(victim, dir / "names");
    EXPECT_EQ(openlistfile((dir / "names").string()), nullptr);
    EXPECT_EQ(slurp(victim), "precious\n");
}

TEST(RemoteTest, ListFileInAMissingFolderFails) {
    ScratchDir dir;
    EXPECT_EQ(openlistfile((dir / "no" / "names").string()), nullptr);
}

TEST(RemoteTest, ChksumsaveMovesTheCopyToAUniqueName) {
    ScratchDir dir;
    fs::path local = dir / "notes.txt";
    spit(local, "bad bytes");
    testing::internal::CaptureStdout();
    std::string saved = chksumsave(local.string(), true);
    std::string out = testing::internal::GetCapturedStdout();
    ASSERT_EQ(saved.size(), local.string().size() + 6);
    EXPECT_EQ(saved.substr(0, local.string().size()), local.string());
    EXPECT_FALSE(fs::exists(local));
    EXPECT_EQ(slurp(saved), "bad bytes");
    EXPECT_EQ(out, "Saving incorrect version using :mv " + local.string() + " " + saved + ":\n");
}

TEST(RemoteTest, ChksumsaveIsQuietWithoutVerbose) {
    ScratchDir dir;
    fs::path local = dir / "a b.txt";
    spit(local, "x");
    testing::internal::CaptureStdout();
    std::string first = chksumsave(local.string(), false);
    spit(local, "y");
    std::string second = chksumsave(local.string(), false);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_NE(first, second);
    EXPECT_EQ(slurp(first), "x");
    EXPECT_EQ(slurp(second), "y");
}

TEST(RemoteTest, ChksumsaveOfAMissingFileLeavesNoStrayName) {
    ScratchDir dir;
    fs::path local = dir / "gone";
    testing::internal::CaptureStdout();
    EXPECT_EQ(chksumsave(local.string(), false), "");
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("ERROR: cannot save"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

// Organiser paths over the host folders: parsing, case-insensitive lookup, relative paths,
// "..", the root boundary, symbolic links and listings.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "simfs.h"
#include "simresult.h"

namespace sim {
namespace {

class SimFsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/simfs-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        root_ = tmpl;
        fs_ = std::make_unique<SimFs>(root_);
        std::string err;
        ASSERT_EQ(fs_->init(&err), kDone) << err;
        mkdir((root_ + "/m/DOCS").c_str(), 0755);
        write_file("m/DOCS/notes.txt", "hello\n");
        write_file("m/DOCS/Plan.TXT", "plan\n");
        write_file("m/DOCS/.hidden", "h");
        write_file("m/AGENDA.TXT", "agenda\n");
        write_file("c/README.TXT", "readme\n");
        write_file("outside.txt", "secret");
    }
    void TearDown() override { std::system(("rm -rf '" + root_ + "'").c_str()); }
    void write_file(const std::string& rel, const std::string& text) {
        std::ofstream(root_ + "/" + rel) << text;
    }
    std::string found(const std::string& path) {
        FsEntry e;
        return fs_->find(path, &e) == kDone ? e.org : "(bad)";
    }

    std::string root_;
    std::unique_ptr<SimFs> fs_;
};

TEST_F(SimFsTest, CreatesTheFourDrives) {
    for (const char* d : {"a", "b", "c", "m"}) {
        struct stat st;
        EXPECT_EQ(stat((root_ + "/" + d).c_str(), &st), 0) << d;
    }
}

TEST_F(SimFsTest, FindsNamesCaseInsensitively) {
    EXPECT_EQ(found("M:\\DOCS\\NOTES.TXT"), "M:\\DOCS\\notes.txt");
    EXPECT_EQ(found("m:\\docs\\plan.txt"), "M:\\DOCS\\Plan.TXT");
    EXPECT_EQ(found("c:\\readme.txt"), "C:\\README.TXT");
    EXPECT_EQ(found("M:\\DOCS\\missing"), "(bad)");
}

TEST_F(SimFsTest, DriveRootsAndBareDevices) {
    EXPECT_EQ(found("M:\\"), "M:\\");
    EXPECT_EQ(found("m:"), "M:\\");
    EXPECT_EQ(found("b:"), "B:\\");
    EXPECT_EQ(found("A:\\\\"), "A:\\");
    EXPECT_EQ(found("x:\\"), "(bad)");
}

TEST_F(SimFsTest, TrailingBackslashNamesADirectory) {
    EXPECT_EQ(found("M:\\DOCS\\"), "M:\\DOCS");
    EXPECT_EQ(found("M:\\AGENDA.TXT\\"), "(bad)");
}

TEST_F(SimFsTest, RelativePathsFollowTheCurrentDirectory) {
    EXPECT_EQ(fs_->cwd(), "M:\\");
    EXPECT_EQ(found("AGENDA.TXT"), "M:\\AGENDA.TXT");
    ASSERT_EQ(fs_->change_dir("m:\\docs\\"), kDone);
    EXPECT_EQ(fs_->cwd(), "M:\\DOCS");
    EXPECT_EQ(found("notes.txt"), "M:\\DOCS\\notes.txt");
    EXPECT_EQ(found("..\\agenda.txt"), "M:\\AGENDA.TXT");
    EXPECT_EQ(found("\\AGENDA.TXT"), "M:\\AGENDA.TXT");
    EXPECT_EQ(found("m:notes.txt"), "M:\\DOCS\\notes.txt");
    EXPECT_EQ(found("c:readme.txt"), "C:\\README.TXT");
    EXPECT_EQ(fs_->change_dir("M:\\AGENDA.TXT"), kFailed);
    fs_->reset_cwd();
    EXPECT_EQ(fs_->cwd(), "M:\\");
}

TEST_F(SimFsTest, DotDotNeverLeavesTheDrive) {
    EXPECT_EQ(found("M:\\..\\..\\outside.txt"), "(bad)");
    EXPECT_EQ(found("M:\\..\\..\\AGENDA.TXT"), "M:\\AGENDA.TXT");
    EXPECT_EQ(found("M:\\DOCS\\..\\..\\..\\c\\README.TXT"), "(bad)");
    EXPECT_EQ(found("M:\\.\\DOCS\\.\\notes.txt"), "M:\\DOCS\\notes.txt");
    EXPECT_EQ(found("M:\\x/../../outside.txt"), "(bad)");
}

TEST_F(SimFsTest, SymbolicLinksAreRefused) {
    ASSERT_EQ(symlink((root_ + "/outside.txt").c_str(), (root_ + "/m/link.txt").c_str()), 0);
    ASSERT_EQ(symlink(root_.c_str(), (root_ + "/m/up").c_str()), 0);
    EXPECT_EQ(found("M:\\link.txt"), "(bad)");
    EXPECT_EQ(found("M:\\up\\outside.txt"), "(bad)");
    std::vector<std::string> entries;
    ASSERT_EQ(fs_->list("M:\\", &entries), kDone);
    EXPECT_EQ(entries, (std::vector<std::string>{"M:\\AGENDA.TXT", "M:\\DOCS"}));
    FsEntry parent, e;
    EXPECT_EQ(fs_->place_for_new("M:\\LINK.TXT", &parent, &e), kFailed);
}

TEST_F(SimFsTest, ListsMembersSortedBytewiseWithDotNames) {
    std::vector<std::string> entries;
    ASSERT_EQ(fs_->list("M:\\DOCS", &entries), kDone);
    EXPECT_EQ(entries, (std::vector<std::string>{"M:\\DOCS\\.hidden", "M:\\DOCS\\Plan.TXT",
                                                 "M:\\DOCS\\notes.txt"}));
    ASSERT_EQ(fs_->list("m:\\docs\\", &entries), kDone);
    EXPECT_EQ(entries.size(), 3u);
}

TEST_F(SimFsTest, ListsWildcardMatches) {
    std::vector<std::string> entries;
    ASSERT_EQ(fs_->list("M:\\DOCS\\*.txt", &entries), kDone);
    EXPECT_EQ(entries, (std::vector<std::string>{"M:\\DOCS\\Plan.TXT", "M:\\DOCS\\notes.txt"}));
    ASSERT_EQ(fs_->list("M:\\DOCS\\Z*", &entries), kDone);
    EXPECT_TRUE(entries.empty());
    EXPECT_EQ(fs_->list("M:\\NOWHERE\\*", &entries), kFailed);
}

TEST_F(SimFsTest, ListingAFileListsThatFile) {
    std::vector<std::string> entries;
    ASSERT_EQ(fs_->list("m:\\agenda.txt", &entries), kDone);
    EXPECT_EQ(entries, (std::vector<std::string>{"M:\\AGENDA.TXT"}));
    EXPECT_EQ(fs_->list("M:\\NOPE", &entries), kFailed);
}

TEST_F(SimFsTest, NewNamesAreTakenAsGivenUnlessTheyExist) {
    FsEntry parent, e;
    ASSERT_EQ(fs_->place_for_new("M:\\DOCS\\New File.txt", &parent, &e), kDone);
    EXPECT_FALSE(e.exists);
    EXPECT_EQ(e.host, root_ + "/m/DOCS/New File.txt");
    EXPECT_EQ(e.org, "M:\\DOCS\\New File.txt");
    ASSERT_EQ(fs_->place_for_new("m:\\docs\\NOTES.TXT", &parent, &e), kDone);
    EXPECT_TRUE(e.exists);
    EXPECT_EQ(e.host, root_ + "/m/DOCS/notes.txt");
    EXPECT_EQ(fs_->place_for_new("M:\\NOWHERE\\x", &parent, &e), kFailed);
    EXPECT_EQ(fs_->place_for_new("M:\\", &parent, &e), kFailed);
    EXPECT_EQ(fs_->place_for_new("M:\\AGENDA.TXT\\x", &parent, &e), kFailed);
}

TEST_F(SimFsTest, BadPathsAreRefused) {
    OrgPath p;
    EXPECT_EQ(fs_->parse("", &p), kFailed);
    EXPECT_EQ(fs_->parse("q:\\x", &p), kFailed);
    EXPECT_EQ(fs_->parse(std::string("M:\\a\0b", 6), &p), kFailed);
}

TEST_F(SimFsTest, ReadOnlyFlagIsTheOwnerWriteBit) {
    FsEntry e;
    ASSERT_EQ(fs_->find("M:\\AGENDA.TXT", &e), kDone);
    EXPECT_FALSE(e.read_only());
    chmod(e.host.c_str(), 0444);
    ASSERT_EQ(fs_->find("M:\\AGENDA.TXT", &e), kDone);
    EXPECT_TRUE(e.read_only());
}

}  // namespace
}  // namespace sim

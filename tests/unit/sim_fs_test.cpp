// Organiser paths over the host folders: case, relative paths, "..", the root boundary, symbolic
// links, and where a new file goes. (Listings and the process table are pinned by sessions.)
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "simfs.h"
#include "simprocs.h"
#include "simresult.h"

namespace sim {
namespace {

const char* const kBad = "(bad)";

class SimFsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string err;
        ASSERT_EQ(fs_.init(&err), kDone) << err;
        mkdir((root_ + "/m/DOCS").c_str(), 0755);
        for (const char* f : {"m/DOCS/notes.txt", "m/DOCS/Plan.TXT", "m/DOCS/.hidden",
                              "m/AGENDA.TXT", "c/README.TXT", "outside.txt"}) {
            std::ofstream(root_ + "/" + f) << "x";
        }
        symlink((root_ + "/outside.txt").c_str(), (root_ + "/m/link.txt").c_str());
        symlink(root_.c_str(), (root_ + "/m/up").c_str());
    }
    void TearDown() override { std::system(("rm -rf " + root_).c_str()); }
    std::string find(const std::string& path) {
        FsEntry e;
        return fs_.find(path, &e) == kDone ? e.org : kBad;
    }

    char tmpl_[18] = "/tmp/simfs-XXXXXX";
    std::string root_ = mkdtemp(tmpl_);
    SimFs fs_{root_};
};

TEST_F(SimFsTest, FindsPathsWithoutCaseAndNeverOutsideTheRoot) {
    // Names come back as stored; a trailing backslash names a directory; ".." stops at the
    // drive; symbolic links, to a file or to a folder, are never followed.
    const std::pair<const char*, const char*> cases[] = {
        {"M:\\DOCS\\NOTES.TXT", "M:\\DOCS\\notes.txt"},
        {"m:", "M:\\"},
        {"x:\\", kBad},
        {"M:\\DOCS\\", "M:\\DOCS"},
        {"M:\\AGENDA.TXT\\", kBad},
        {"M:\\DOCS\\..\\..\\AGENDA.TXT", "M:\\AGENDA.TXT"},
        {"M:\\..\\..\\outside.txt", kBad},
        {"M:\\x/../../outside.txt", kBad},
        {"M:\\link.txt", kBad},
        {"M:\\up\\outside.txt", kBad}};
    for (const auto& [path, found] : cases) EXPECT_EQ(find(path), found) << path;
    EXPECT_EQ(find(std::string("M:\\a\0b", 6)), kBad);
    EXPECT_EQ(fs_.change_dir("M:\\AGENDA.TXT"), kFailed);
    ASSERT_EQ(fs_.change_dir("m:\\docs\\"), kDone);
    EXPECT_EQ(fs_.cwd(), "M:\\DOCS");
    EXPECT_EQ(find("notes.txt"), "M:\\DOCS\\notes.txt");
    EXPECT_EQ(find("..\\agenda.txt"), "M:\\AGENDA.TXT");
    EXPECT_EQ(find("\\AGENDA.TXT"), "M:\\AGENDA.TXT");
    EXPECT_EQ(find("m:Plan.txt"), "M:\\DOCS\\Plan.TXT");
    EXPECT_EQ(find("c:readme.txt"), "C:\\README.TXT");
}

TEST_F(SimFsTest, NewNamesAreTakenAsGivenUnlessTheyExist) {
    FsEntry parent, e;
    ASSERT_EQ(fs_.place_for_new("M:\\DOCS\\New File.txt", &parent, &e), kDone);
    EXPECT_EQ(e.host, root_ + "/m/DOCS/New File.txt");
    ASSERT_EQ(fs_.place_for_new("m:\\docs\\NOTES.TXT", &parent, &e), kDone);
    EXPECT_TRUE(e.exists && e.host == root_ + "/m/DOCS/notes.txt");
    for (const char* bad : {"M:\\NOWHERE\\x", "M:\\", "M:\\AGENDA.TXT\\x", "M:\\LINK.TXT"}) {
        EXPECT_EQ(fs_.place_for_new(bad, &parent, &e), kFailed) << bad;
    }
}

// A process table given on the command line must name every process (it is otherwise used and
// pinned by the session process/table).
TEST(SimProcsTest, AnEmptyNameIsRefused) {
    std::vector<Proc> procs;
    EXPECT_FALSE(parse_procs("A,,B", &procs));
}

}  // namespace
}  // namespace sim

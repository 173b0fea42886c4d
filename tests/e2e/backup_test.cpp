// Backup, restore, their incremental forms, the exclude list and rlist as a user meets them: a
// tree of several levels with upper-case names, "$" names, an excluded directory, an empty
// directory and a name with blanks and shell characters, copied by the real orvel to the
// workstation and back to a fresh organiser, and compared file by file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <ctime>
#include <string>
#include <vector>

#include "e2e_util.h"
#include "harness.h"

using e2e::contains;
using e2e::count_of;

namespace {

const char kListFile[] = "/tmp/orvelbackuplist";
const char kWeird[] = "a b;c$d.txt";      // as stored on the organiser
const char kWeirdHost[] = "a b;cSd.txt";  // its backup name

bool isdir(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool islink(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

void settime(const std::string& path, std::time_t t) {
    struct timeval tv[2] = {{t, 0}, {t, 0}};
    ASSERT_EQ(utimes(path.c_str(), tv), 0) << path;
}

// Every test here walks through the one fixed listing file, so tests in other processes (a
// parallel ctest) wait for each other on a lock beside it.
class BackupTest : public ::testing::Test {
  protected:
    void SetUp() override {
        lock_ = open("/tmp/orvelbackuplist.e2e-lock", O_CREAT | O_RDWR | O_CLOEXEC, 0600);
        ASSERT_GE(lock_, 0);
        ASSERT_EQ(flock(lock_, LOCK_EX), 0);
        unlink(kListFile);
    }
    void TearDown() override {
        unlink(kListFile);
        flock(lock_, LOCK_UN);
        close(lock_);
    }

    // The organiser tree of the tests: M:\DOCS with files on three levels.
    void maketree() {
        org.write("m/DOCS/NOTES.TXT", "notes\n");
        org.write("m/DOCS/$DATA.DBF", "data\n");
        org.write(std::string("m/DOCS/") + kWeird, "weird\n");
        org.write("m/DOCS/Sub/Deep/LEAF.TXT", "leaf\n");
        org.write("m/DOCS/OLD/SKIP.TXT", "skip\n");
        ASSERT_EQ(mkdir(org.host("m/DOCS/EMPTY").c_str(), 0755), 0);
    }

    RunResult run(const std::string& input, const std::string& root = "") {
        RunSpec spec;
        spec.root = root.empty() ? org.root : root;
        spec.cwd = local.path;
        spec.input = input;
        RunResult r = run_orvel(spec);
        EXPECT_FALSE(r.timed_out) << r.out << r.err;
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        return r;
    }

    std::string bk() const { return local.path + "/bk"; }

    // A full backup of m:\docs (with m:\docs\old excluded) into bk.
    RunResult fullbackup() {
        return run("setv backupnocheck\nsetv verbose\naddexcl M:\\Docs\\Old\nbackup M:\\Docs " +
                   bk() + "\n");
    }

    OrganiserTree org;
    TempDir local;

  private:
    int lock_ = -1;
};

}  // namespace

// ---- backup ---------------------------------------------------------------------------------

TEST_F(BackupTest, FullBackupCopiesTreeInLowerCase) {
    maketree();
    RunResult r = fullbackup();
    EXPECT_EQ(local.read("bk/notes.txt"), "notes\n");
    EXPECT_EQ(local.read("bk/Sdata.dbf"), "data\n");
    EXPECT_EQ(local.read(std::string("bk/") + kWeirdHost), "weird\n");
    EXPECT_EQ(local.read("bk/sub/deep/leaf.txt"), "leaf\n");
    EXPECT_TRUE(isdir(bk() + "/empty"));
    EXPECT_FALSE(local.exists("bk/old"));
    EXPECT_TRUE(contains(r.out, "BACKUP: Starting backup of M:\\Docs to " + bk() + "\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "BACKUP: Stage 1, Building file list\n"));
    EXPECT_TRUE(contains(r.out, "BACKUP: Stage 2, Getting files\n"));
    EXPECT_TRUE(contains(r.out, "BACKUP: Backup of m:\\docs to " + bk() + " complete\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "BACKUP: 4 directories, 4 files\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "BACKUP: Time taken ")) << r.out;
    EXPECT_FALSE(islink(kListFile) || access(kListFile, F_OK) == 0);
}

TEST_F(BackupTest, ExcludedDirectoryIsNeitherListedNorCreated) {
    maketree();
    RunResult r = fullbackup();
    for (const auto& f : r.frames_from_yal()) {
        EXPECT_EQ(f.find("old\\"), std::string::npos) << f;
        EXPECT_NE(f, "sp m:\\docs\\old") << "an excluded path is never asked about";
    }
}

TEST_F(BackupTest, TrailingBackslashOnRootIsDropped) {
    maketree();
    RunResult r = run("setv backupnocheck\nbackup m:\\docs\\ " + bk() + "\n");
    EXPECT_EQ(local.read("bk/notes.txt"), "notes\n");
    EXPECT_EQ(local.read("bk/sub/deep/leaf.txt"), "leaf\n");
}

TEST_F(BackupTest, BareDeviceRootBacksUpTheWholeDrive) {
    maketree();
    run("setv backupnocheck\nbackup m:\\ " + bk() + "\nbackup m: " + local.path + "/bk2\n");
    EXPECT_EQ(local.read("bk/docs/notes.txt"), "notes\n");
    EXPECT_EQ(local.read("bk2/docs/sub/deep/leaf.txt"), "leaf\n");
}

TEST_F(BackupTest, SingleFileIsFetchedToTheBackupPathItself) {
    maketree();
    RunResult r = run("setv backupnocheck\nsetv verbose\nbackup m:\\docs\\notes.txt " + local.path +
                      "/copy.txt\n");
    EXPECT_EQ(local.read("copy.txt"), "notes\n");
    EXPECT_TRUE(contains(r.out, "BACKUP: 0 directories, 1 files\n")) << r.out;
}

TEST_F(BackupTest, NodoPrintsEveryActionInTreeOrderAndTouchesNothing) {
    maketree();
    RunResult r =
        run("setv backupnocheck\nsetv backupnodo\nsetv verbose\naddexcl m:\\docs\\old\n"
            "backup m:\\docs " +
            bk() + "\n");
    const std::string b = bk();
    const std::string expected =
        "BACKUP: Would have done \"mkdir -p  " + b + "\"\n" +
        "BACKUP: Would have done \"get m:\\docs\\" + kWeird + " " + b + "/" + kWeirdHost + "\"\n" +
        "BACKUP: Would have done \"mkdir -p  " + b + "/sub\"\n" +
        "BACKUP: Would have done \"mkdir -p  " + b + "/sub/deep\"\n" +
        "BACKUP: Would have done \"get m:\\docs\\sub\\deep\\leaf.txt " + b +
        "/sub/deep/leaf.txt\"\n" + "BACKUP: Would have done \"get m:\\docs\\notes.txt " + b +
        "/notes.txt\"\n" + "BACKUP: Would have done \"mkdir -p  " + b + "/empty\"\n" +
        "BACKUP: Would have done \"get m:\\docs\\$data.dbf " + b + "/Sdata.dbf\"\n";
    EXPECT_TRUE(contains(r.out, expected)) << r.out;
    EXPECT_EQ(count_of(r.out, "Would have done"), 8);
    EXPECT_TRUE(contains(r.out, "BACKUP: 4 directories, 4 files\n")) << r.out;
    EXPECT_FALSE(local.exists("bk"));
    for (const auto& f : r.frames_from_yal()) EXPECT_NE(f, "gf") << "nothing is fetched";
}

TEST_F(BackupTest, AskSkipsDeclinedDirectoryAndFile) {
    maketree();
    // Questions in tree order: docs, the weird file, sub, notes, empty, $data (old excluded).
    RunResult r =
        run("setv backupnocheck\nsetv backupask\nsetv verbose\naddexcl m:\\docs\\old\n"
            "backup m:\\docs " +
            bk() + "\ny\nn\nno\nY\nyes\ny\n");
    EXPECT_TRUE(contains(r.out, "BACKUP: Do you want to backup directory m:\\docs ? (y/n) "));
    EXPECT_TRUE(contains(r.out, std::string("BACKUP: Do you want to backup file m:\\docs\\") +
                                    kWeird + " ? (y/n) "));
    EXPECT_TRUE(contains(r.out,
                         "BACKUP: Warning, as you are not backing up directory m:\\docs\\sub none "
                         "of its children will be backed up\n"))
        << r.out;
    EXPECT_FALSE(contains(r.out, "leaf.txt ? (y/n)")) << r.out;
    EXPECT_EQ(local.read("bk/notes.txt"), "notes\n");
    EXPECT_EQ(local.read("bk/Sdata.dbf"), "data\n");
    EXPECT_TRUE(isdir(bk() + "/empty"));
    EXPECT_FALSE(local.exists(std::string("bk/") + kWeirdHost));
    EXPECT_FALSE(local.exists("bk/sub"));
    EXPECT_TRUE(contains(r.out, "BACKUP: 2 directories, 3 files\n")) << r.out;
    EXPECT_FALSE(contains(r.out, e2e::kNotKnown)) << "no answer leaked into the prompt";
}

TEST_F(BackupTest, OpeningPromptReadsAWholeLine) {
    maketree();
    RunResult r = run("backup m:\\docs\\notes.txt " + local.path + "/n.txt\nok then\nlpwd\n" +
                      "restore m:\\back.txt " + local.path + "/n.txt\nfine\nlpwd\n");
    EXPECT_TRUE(contains(r.out,
                         "BACKUP: Please ensure that all files on the orvel are closed\n"
                         "BACKUP: Press return to continue\n"))
        << r.out;
    EXPECT_TRUE(contains(r.out,
                         "RESTORE: Please ensure that all files on the orvel are closed\n"
                         "RESTORE: Press return to continue\n"))
        << r.out;
    EXPECT_FALSE(contains(r.out, e2e::kNotKnown)) << r.out;
    EXPECT_EQ(count_of(r.out, local.path + "\n"), 2) << r.out;
    EXPECT_EQ(org.read("m/back.txt"), "notes\n");
}

TEST_F(BackupTest, FileFilterIsSuspendedAndSetAgainEmpty) {
    maketree();
    local.write("mark.ovcmd", "! touch filter-ran\n");
    RunResult r =
        run("setv autofilefilter on\naddfilter in txt mark\nsetv backupnocheck\n"
            "backup m:\\docs\\sub " +
            bk() + "\n! ls filter-ran > seen-after-backup 2>&1\nprintv\n" +
            "get m:\\docs\\notes.txt\n");
    EXPECT_EQ(local.read("bk/deep/leaf.txt"), "leaf\n");
    EXPECT_TRUE(contains(local.read("seen-after-backup"), "No such file")) << "filter ran";
    EXPECT_TRUE(contains(r.out, "autofilefilter = \n")) << r.out;
    EXPECT_TRUE(local.exists("filter-ran")) << "the filter runs again after the backup";
}

TEST_F(BackupTest, IncrementalBackupFetchesOnlyWhatMayHaveChanged) {
    maketree();
    fullbackup();
    // Copies are written "now"; an organiser file an hour older than its copy is left alone.
    const std::time_t hourago = std::time(nullptr) - 3600;
    settime(org.host("m/DOCS/NOTES.TXT"), hourago);
    settime(org.host("m/DOCS/Sub/Deep/LEAF.TXT"), hourago);
    local.write("bk/notes.txt", "stale\n");
    local.write("bk/Sdata.dbf", "stale\n");
    local.write(std::string("bk/") + kWeirdHost, "stale\n");
    unlink((bk() + "/sub/deep/leaf.txt").c_str());  // missing copies are always fetched
    RunResult r = run("setv backupnocheck\nsetv verbose\naddexcl m:\\docs\\old\nibackup m:\\docs " +
                      bk() + "\n");
    EXPECT_EQ(local.read("bk/notes.txt"), "stale\n");
    EXPECT_EQ(local.read("bk/Sdata.dbf"), "data\n");
    EXPECT_EQ(local.read(std::string("bk/") + kWeirdHost), "weird\n");
    EXPECT_EQ(local.read("bk/sub/deep/leaf.txt"), "leaf\n");
    EXPECT_TRUE(contains(r.out, "BACKUP: Starting incremental backup of m:\\docs to ")) << r.out;
    EXPECT_TRUE(contains(r.out, "BACKUP: Incremental backup of m:\\docs to ")) << r.out;
    EXPECT_TRUE(contains(r.out, "BACKUP: 4 directories, 3 files\n")) << r.out;
}

TEST_F(BackupTest, IncrementalBackupMarginIsTenMinutes) {
    org.write("m/T/EDGE.TXT", "edge\n");
    org.write("m/T/OLDER.TXT", "older\n");
    local.write("bk/edge.txt", "stale\n");
    local.write("bk/older.txt", "stale\n");
    const std::time_t copy = std::time(nullptr) - 100000;
    settime(bk() + "/edge.txt", copy);
    settime(bk() + "/older.txt", copy);
    settime(org.host("m/T/EDGE.TXT"), copy - 600);   // exactly 600 older: fetched again
    settime(org.host("m/T/OLDER.TXT"), copy - 601);  // more than 600 older: left alone
    run("setv backupnocheck\nibackup m:\\t " + bk() + "\n");
    EXPECT_EQ(local.read("bk/edge.txt"), "edge\n");
    EXPECT_EQ(local.read("bk/older.txt"), "stale\n");
}

TEST_F(BackupTest, IncrementalBackupIntoEmptyDirectoryFetchesEverything) {
    maketree();
    RunResult r = run("setv backupnocheck\nsetv verbose\nibackup m:\\docs\\sub " + bk() + "\n");
    EXPECT_EQ(local.read("bk/deep/leaf.txt"), "leaf\n");
    EXPECT_TRUE(contains(r.out, "BACKUP: 2 directories, 1 files\n")) << r.out;
}

TEST_F(BackupTest, SymlinkAtListingFileIsNeverWrittenThrough) {
    maketree();
    local.write("precious", "precious\n");
    ASSERT_EQ(symlink((local.path + "/precious").c_str(), kListFile), 0);
    RunResult r = run("setv backupnocheck\nbackup m:\\docs " + bk() + "\nlpwd\n");
    EXPECT_TRUE(contains(r.out, "ERROR: Error in opening backup temporary file quiting\n"))
        << r.out;
    EXPECT_FALSE(contains(r.out, local.path + "\n")) << "the run ends there";
    EXPECT_EQ(local.read("precious"), "precious\n");
    EXPECT_TRUE(islink(kListFile));
    auto frames = r.frames_from_yal();
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.back(), "dc");
}

TEST_F(BackupTest, StaleListingFileIsOverwritten) {
    maketree();
    {
        int fd = open(kListFile, O_CREAT | O_WRONLY | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        const char junk[] = "m:\\bogus\\one\nm:\\bogus\\two\nm:\\bogus\\three\n";
        ASSERT_EQ(write(fd, junk, sizeof junk - 1), static_cast<ssize_t>(sizeof junk - 1));
        close(fd);
    }
    RunResult r = run("rlist m:\\docs\\sub\n");
    EXPECT_TRUE(
        contains(r.out, "m:\\docs\\sub\nm:\\docs\\sub\\deep\nm:\\docs\\sub\\deep\\leaf.txt\n0"))
        << r.out;
    EXPECT_FALSE(contains(r.out, "bogus")) << r.out;
    EXPECT_NE(access(kListFile, F_OK), 0) << "removed after the walk";
}

// ---- restore --------------------------------------------------------------------------------

TEST_F(BackupTest, RestoreToFreshOrganiserRecreatesTheTree) {
    maketree();
    fullbackup();
    OrganiserTree fresh;
    RunResult r =
        run("setv backupnocheck\nsetv verbose\nrestore m:\\new\\ " + bk() + "\n", fresh.root);
    EXPECT_EQ(fresh.read("m/new/notes.txt"), "notes\n");
    EXPECT_EQ(fresh.read("m/new/$data.dbf"), "data\n");
    EXPECT_EQ(fresh.read(std::string("m/new/") + kWeird), "weird\n");
    EXPECT_EQ(fresh.read("m/new/sub/deep/leaf.txt"), "leaf\n");
    EXPECT_TRUE(isdir(fresh.host("m/new/empty")));
    EXPECT_FALSE(fresh.exists("m/new/old"));
    EXPECT_TRUE(contains(r.out, "RESTORE: Starting restore of " + bk() + " to m:\\new\\\n"))
        << r.out;
    EXPECT_TRUE(contains(r.out, "RESTORE: Stage 2, Putting files\n"));
    EXPECT_TRUE(contains(r.out, "RESTORE: Restore of " + bk() + " to m:\\new complete\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "RESTORE: 4 directories, 4 files\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "Creating directory m:\\new\\sub\\deep\n")) << r.out;
}

TEST_F(BackupTest, RestoreNodoPrintsReverseSortedOrder) {
    local.write("rs/Sales.txt", "s\n");
    local.write("rs/b c.txt", "b\n");
    local.write("rs/d/x.txt", "x\n");
    local.write("rs/.profile", "p\n");
    RunResult r = run("setv backupnocheck\nsetv backupnodo\nrestore m:\\r " + local.path + "/rs\n");
    const std::string rs = local.path + "/rs";
    const std::string expected =
        "RESTORE: Would have done \"mkdir m:\\r\"\n"
        "RESTORE: Would have done \"mkdir m:\\r\\d\"\n"
        "RESTORE: Would have done \"put m:\\r\\d\\x.txt " +
        rs + "/d/x.txt\"\n" + "RESTORE: Would have done \"put m:\\r\\b c.txt " + rs +
        "/b c.txt\"\n" + "RESTORE: Would have done \"put m:\\r\\$ales.txt " + rs + "/Sales.txt\"\n";
    EXPECT_TRUE(contains(r.out, expected)) << r.out;
    EXPECT_EQ(count_of(r.out, "Would have done"), 5);
    EXPECT_FALSE(org.exists("m/r"));
}

TEST_F(BackupTest, RestoreSkipsDotNamesAndMapsUpperS) {
    local.write("rs/Sales.txt", "sales\n");
    local.write("rs/.profile", "p\n");
    run("setv backupnocheck\nrestore m:\\r " + local.path + "/rs\n");
    EXPECT_EQ(org.read("m/r/$ales.txt"), "sales\n");
    EXPECT_FALSE(org.exists("m/r/.profile"));
}

TEST_F(BackupTest, RestoreAskSkipsDeclinedDirectory) {
    local.write("rs/a.txt", "a\n");
    local.write("rs/d/b.txt", "b\n");
    // Questions: rs, d (declined), a.txt.
    RunResult r = run("setv backupnocheck\nsetv restoreask\nsetv verbose\nrestore m:\\r " +
                      local.path + "/rs\ny\nn\ny\n");
    EXPECT_TRUE(contains(
        r.out, "RESTORE: Do you want to restore directory " + local.path + "/rs/d ? (y/n) "))
        << r.out;
    EXPECT_TRUE(contains(r.out, "RESTORE: Warning, as you are not restoring up directory " +
                                    local.path + "/rs/d none of its children will be backed up\n"))
        << r.out;
    EXPECT_EQ(org.read("m/r/a.txt"), "a\n");
    EXPECT_FALSE(org.exists("m/r/d"));
    EXPECT_TRUE(contains(r.out, "RESTORE: 1 directories, 1 files\n")) << r.out;
}

TEST_F(BackupTest, RestoreAskDeclinedFileIsCountedButNotSent) {
    local.write("rs/a.txt", "a\n");
    RunResult r = run("setv backupnocheck\nsetv restoreask\nsetv verbose\nrestore m:\\r " +
                      local.path + "/rs\ny\nn\n");
    EXPECT_TRUE(contains(
        r.out, "RESTORE: Do you want to restore file " + local.path + "/rs/a.txt ? (y/n) "))
        << r.out;
    EXPECT_TRUE(isdir(org.host("m/r")));
    EXPECT_FALSE(org.exists("m/r/a.txt"));
    EXPECT_TRUE(contains(r.out, "RESTORE: 1 directories, 1 files\n")) << r.out;
}

TEST_F(BackupTest, RestoreOfMissingDirectoryDoesNothing) {
    RunResult r = run("setv backupnocheck\nsetv verbose\nrestore m:\\r " + local.path + "/none\n");
    EXPECT_TRUE(contains(r.out, "RESTORE: 0 directories, 0 files\n")) << r.out;
    EXPECT_FALSE(org.exists("m/r"));
}

TEST_F(BackupTest, IncrementalRestoreSendsOnlyWhatMayHaveChanged) {
    maketree();
    fullbackup();
    OrganiserTree fresh;
    run("setv backupnocheck\nrestore m:\\new " + bk() + "\n", fresh.root);
    // The organiser's copies are changed now; a workstation file an hour older than the
    // organiser's copy is left alone, and a file the organiser lacks is always sent.
    fresh.write("m/new/notes.txt", "changed\n");
    fresh.write(std::string("m/new/") + kWeird, "changed\n");
    fresh.write("m/new/sub/deep/leaf.txt", "changed\n");
    unlink(fresh.host("m/new/$data.dbf").c_str());
    const std::time_t hourago = std::time(nullptr) - 3600;
    settime(bk() + "/notes.txt", hourago);
    settime(bk() + "/sub/deep/leaf.txt", hourago);
    RunResult r =
        run("setv backupnocheck\nsetv verbose\nirestore m:\\new " + bk() + "\n", fresh.root);
    EXPECT_EQ(fresh.read("m/new/notes.txt"), "changed\n");
    EXPECT_EQ(fresh.read("m/new/sub/deep/leaf.txt"), "changed\n");
    EXPECT_EQ(fresh.read(std::string("m/new/") + kWeird), "weird\n");
    EXPECT_EQ(fresh.read("m/new/$data.dbf"), "data\n");
    EXPECT_TRUE(contains(r.out, "RESTORE: Starting incremental restore of ")) << r.out;
    EXPECT_TRUE(contains(r.out, "RESTORE: 4 directories, 2 files\n")) << r.out;
}

TEST_F(BackupTest, RestoreOfSingleFileSendsItToTheRootPath) {
    local.write("one.txt", "one\n");
    run("setv backupnocheck\nrestore m:\\copy.txt " + local.path + "/one.txt\n");
    EXPECT_EQ(org.read("m/copy.txt"), "one\n");
}

// ---- rlist ----------------------------------------------------------------------------------

TEST_F(BackupTest, RlistPrintsTreeInReverseListingOrderDepthFirst) {
    maketree();
    RunResult r = run("addexcl m:\\docs\\old\nsetv verbose\nrlist M:\\DOCS\n");
    const std::string expected =
        std::string("Generating a recursive listing of M:\\DOCS\n") + "m:\\docs\n" + "m:\\docs\\" +
        kWeird + "\n" + "m:\\docs\\sub\n" + "m:\\docs\\sub\\deep\n" +
        "m:\\docs\\sub\\deep\\leaf.txt\n" + "m:\\docs\\old\n" + "m:\\docs\\old\\skip.txt\n" +
        "m:\\docs\\notes.txt\n" + "m:\\docs\\empty\n" + "m:\\docs\\$data.dbf\n";
    EXPECT_TRUE(contains(r.out, expected)) << r.out;
}

TEST_F(BackupTest, RlistIntoFileWritesTheSameLinesAndNothingOnScreen) {
    maketree();
    RunResult r = run("rlist m:\\docs\\sub tree.txt\n");
    EXPECT_EQ(local.read("tree.txt"),
              "m:\\docs\\sub\nm:\\docs\\sub\\deep\nm:\\docs\\sub\\deep\\leaf.txt\n");
    EXPECT_FALSE(contains(r.out, "m:\\docs\\sub")) << r.out;
}

TEST_F(BackupTest, RlistOfFileOrEmptyDirectoryPrintsOneLine) {
    maketree();
    RunResult r = run("rlist M:\\DOCS\\NOTES.TXT\nrlist m:\\docs\\empty\n");
    EXPECT_TRUE(contains(r.out, "0, CMD> m:\\docs\\notes.txt\n0, CMD> m:\\docs\\empty\n0, "))
        << r.out;
}

TEST_F(BackupTest, RlistIntoUnopenableFileListsNothing) {
    maketree();
    RunResult r = run("rlist m:\\docs " + local.path + "/none/tree.txt\n");
    EXPECT_TRUE(contains(r.out, "Error, cant open " + local.path + "/none/tree.txt for output\n"))
        << r.out;
    for (const auto& f : r.frames_from_yal()) EXPECT_NE(f, "lp");
}

TEST_F(BackupTest, RlistOfUnknownPathIsAChildlessDirectory) {
    RunResult r = run("rlist m:\\nowhere\n");
    EXPECT_TRUE(contains(r.out, "0, CMD> m:\\nowhere\n0, ")) << r.out;
}

TEST_F(BackupTest, RlistOfDriveRootListsItWithOneBackslash) {
    maketree();
    RunResult r = run("rlist m:\\\n");
    EXPECT_TRUE(contains(r.out, "0, CMD> m:\\\nm:\\docs\n")) << r.out;
    for (const auto& f : r.frames_from_yal()) EXPECT_NE(f, "sp m:\\\\");
}

// Backup, restore, their incremental forms, the exclude list and rlist as a user meets them: a
// tree of several levels with upper-case names, "$" names, an excluded directory, an empty
// directory and names with blanks and shell characters, copied by the real orvel to the
// workstation and back to a fresh organiser, and compared file by file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cctype>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>

#include "e2e_util.h"
#include "harness.h"

using e2e::contains;
using e2e::count_of;

namespace {

const char kListFile[] = "/tmp/orvelbackuplist";
const char kWeird[] = "a b;c$d.txt";  // as stored on the organiser; "a b;cSd.txt" when backed up

void settime(const std::string& path, std::time_t t) {
    struct timeval tv[2] = {{t, 0}, {t, 0}};
    ASSERT_EQ(utimes(path.c_str(), tv), 0) << path;
}

// Every entry below `dir` by relative path: its bytes, or "/" for a folder. With `dollar` set,
// the paths are lower-cased and each "$" becomes `dollar` (as a backup names its copies).
std::map<std::string, std::string> tree(const std::string& dir, char dollar = 0) {
    std::map<std::string, std::string> t;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir)) {
        std::string rel = std::filesystem::relative(e.path(), dir).string();
        for (char& c : rel)
            if (dollar != 0) c = c == '$' ? dollar : static_cast<char>(std::tolower(c));
        t[rel] = e.is_directory() ? "/" : slurp(e.path().string());
    }
    return t;
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
        org.write("m/DOCS/NOTES.TXT", "notes\n");
        org.write("m/DOCS/$DATA.DBF", "data\n");
        org.write(std::string("m/DOCS/") + kWeird, "weird\n");
        org.write("m/DOCS/Sub &Dir/Deep/LEAF.TXT", "leaf\n");
        org.write("m/DOCS/OLD/SKIP.TXT", "skip\n");
        ASSERT_EQ(mkdir(org.host("m/DOCS/EMPTY").c_str(), 0755), 0);
    }
    void TearDown() override {
        unlink(kListFile);
        flock(lock_, LOCK_UN);
        close(lock_);
    }

    RunResult run(const std::string& input, const std::string& root = "") {
        RunSpec spec;
        spec.root = root.empty() ? org.root : root;
        spec.cwd = local.path;
        spec.input = input;
        RunResult r = run_orvel(spec);
        EXPECT_FALSE(r.timed_out) << r.out << r.err;
        EXPECT_EQ(r.status, status) << r.out << r.err;
        return r;
    }

    void expect_lines(const RunResult& r, const std::vector<std::string>& lines) {
        for (const std::string& line : lines) EXPECT_TRUE(contains(r.out, line)) << line << r.out;
    }

    OrganiserTree org;
    TempDir local;
    const std::string bk = local.path + "/bk", rs = local.path + "/rs";
    int status = 0;  // what the next run must exit with: 3 when one of its commands fails

  private:
    int lock_ = -1;
};

}  // namespace

TEST_F(BackupTest, RoundTripToAFreshOrganiserKeepsEveryNameAndFile) {
    // Exclude entries: old (twice, kept once in lower case), a trailing-backslash entry and a
    // mere prefix, which match nothing, and notes.txt, deleted again; an unknown delete is silent.
    RunResult r =
        run("printexcl\naddexcl m:\\docs\\old\naddexcl M:\\Docs\\Old\naddexcl m:\\docs\\empty\\\n"
            "addexcl m:\\docs\\sub\naddexcl m:\\docs\\notes.txt\ndelexcl M:\\DOCS\\NOTES.TXT\n"
            "delexcl m:\\zz\nprintexcl\nsetv backupnocheck\nsetv verbose\nbackup M:\\Docs\\ " +
            bk + "\n");
    std::string prompts;
    for (int i = 0; i < 8; ++i) prompts += e2e::kPrompt;
    expect_lines(
        r,
        {"0, CMD> No backup excludes currently installed\n" + prompts +
             "Current installed backup excludes\nm:\\docs\\sub\nm:\\docs\\empty\\\nm:\\docs\\old\n",
         "BACKUP: Starting backup of M:\\Docs\\ to " + bk + "\n",
         "BACKUP: Stage 1, Building file list\n", "BACKUP: Stage 2, Getting files\n",
         "BACKUP: Backup of m:\\docs to " + bk + " complete\n", "BACKUP: 4 directories, 4 files\n",
         "BACKUP: Time taken "});
    for (const auto& f : r.frames_from_yal())
        EXPECT_FALSE(contains(f, "\\old")) << "an excluded path is never asked about";
    EXPECT_NE(access(kListFile, F_OK), 0) << "the listing file is removed";

    OrganiserTree fresh;
    RunResult back =
        run("setv backupnocheck\nsetv verbose\nrestore m:\\new\\ " + bk + "\n", fresh.root);
    expect_lines(back, {"RESTORE: Starting restore of " + bk + " to m:\\new\\\n",
                        "RESTORE: Stage 2, Putting files\n",
                        "RESTORE: Restore of " + bk + " to m:\\new complete\n",
                        "RESTORE: 4 directories, 4 files\n",
                        "Creating directory m:\\new\\sub &dir\\deep\n"});
    auto want = tree(org.host("m/DOCS"), '$'), wantcopy = tree(org.host("m/DOCS"), 'S');
    for (auto* t : {&want, &wantcopy})
        std::erase_if(*t, [](const auto& e) { return e.first.rfind("old", 0) == 0; });
    EXPECT_EQ(want.size(), 7u);
    EXPECT_EQ(tree(bk), wantcopy);
    EXPECT_EQ(tree(fresh.host("m/new")), want);
}

TEST_F(BackupTest, NodoPrintsEveryActionInTreeOrderAndTouchesNothing) {
    for (const char* name : {"Sales.txt", "b c.txt", "d/x.txt", ".profile"})
        local.write(std::string("rs/") + name, "x\n");
    RunResult r =
        run("setv backupnocheck\nsetv backupnodo\nsetv verbose\naddexcl m:\\docs\\old\n"
            "backup m:\\docs " +
            bk + "\nrestore m:\\r " + rs + "\nrestore m:\\r " + local.path + "/none\n");
    const std::string b = "BACKUP: Would have done \"", rd = "RESTORE: Would have done \"";
    expect_lines(
        r, {b + "mkdir -p  " + bk + "\"\n" + b + "get m:\\docs\\" + kWeird + " " + bk +
                "/a b;cSd.txt\"\n" + b + "mkdir -p  " + bk + "/sub &dir\"\n" + b + "mkdir -p  " +
                bk + "/sub &dir/deep\"\n" + b + "get m:\\docs\\sub &dir\\deep\\leaf.txt " + bk +
                "/sub &dir/deep/leaf.txt\"\n" + b + "get m:\\docs\\notes.txt " + bk +
                "/notes.txt\"\n" + b + "mkdir -p  " + bk + "/empty\"\n" + b +
                "get m:\\docs\\$data.dbf " + bk + "/Sdata.dbf\"\n",
            rd + "mkdir m:\\r\"\n" + rd + "mkdir m:\\r\\d\"\n" + rd + "put m:\\r\\d\\x.txt " + rs +
                "/d/x.txt\"\n" + rd + "put m:\\r\\b c.txt " + rs + "/b c.txt\"\n" + rd +
                "put m:\\r\\$ales.txt " + rs + "/Sales.txt\"\n",
            "BACKUP: 4 directories, 4 files\n", "RESTORE: 2 directories, 3 files\n",
            "RESTORE: 0 directories, 0 files\n"});
    EXPECT_EQ(count_of(r.out, "Would have done"), 13);
    EXPECT_FALSE(local.exists("bk"));
    EXPECT_FALSE(org.exists("m/r"));
}

TEST_F(BackupTest, AskAnswersDecideWhatIsCopied) {
    for (const char* name : {"a.txt", "b.txt", "d/c.txt"})
        local.write(std::string("rs/") + name, "x\n");
    // The opening prompts take a whole line each. Backup questions in tree order: docs, the weird
    // file, sub &dir, notes, empty, $data (old is excluded); restore: rs, d, b.txt, a.txt.
    RunResult r = run("setv backupask\nsetv verbose\naddexcl m:\\docs\\old\nbackup m:\\docs " + bk +
                      "\nok then\ny\nn\nno\nY\nyes\ny\nunsetv backupask\nsetv restoreask\n"
                      "restore m:\\r " +
                      rs + "\nfine\ny\nn\nn\ny\n");
    expect_lines(
        r, {"BACKUP: Please ensure that all files on the orvel are closed\nBACKUP: Press return "
            "to continue\n",
            "RESTORE: Please ensure that all files on the orvel are closed\nRESTORE: Press return "
            "to continue\n",
            "BACKUP: Do you want to backup directory m:\\docs ? (y/n) ",
            "BACKUP: Do you want to backup file m:\\docs\\" + std::string(kWeird) + " ? (y/n) ",
            "BACKUP: Warning, as you are not backing up directory m:\\docs\\sub &dir none of its "
            "children will be backed up\n",
            "BACKUP: 2 directories, 3 files\n",
            "RESTORE: Do you want to restore directory " + rs + "/d ? (y/n) ",
            "RESTORE: Warning, as you are not restoring up directory " + rs +
                "/d none of its children will be backed up\n",
            "RESTORE: Do you want to restore file " + rs + "/b.txt ? (y/n) ",
            "RESTORE: 1 directories, 2 files\n"});
    EXPECT_FALSE(contains(r.out, "leaf.txt ? (y/n)")) << r.out;
    EXPECT_FALSE(contains(r.out, e2e::kNotKnown)) << "no answer leaked into the prompt";
    EXPECT_EQ(tree(bk), (std::map<std::string, std::string>{
                            {"Sdata.dbf", "data\n"}, {"empty", "/"}, {"notes.txt", "notes\n"}}));
    EXPECT_EQ(tree(org.host("m/r")), (std::map<std::string, std::string>{{"a.txt", "x\n"}}));
}

TEST_F(BackupTest, IncrementalRunsCopyOnlyWhatTheTenMinuteRuleAllows) {
    // How much older the organiser's file is than the backup copy, and how much newer it is than
    // the file to restore; exactly 600 seconds is copied again. new.txt has no counterpart.
    const struct {
        const char* name;
        long offset;
        bool copied;
    } files[] = {{"edge.txt", 600, true}, {"kept.txt", 601, false}, {"other.txt", -5, true}};
    const std::time_t t = std::time(nullptr) - 100000;
    for (const auto& f : files) {
        org.write(std::string("m/t/") + f.name, "organiser\n");
        settime(org.host(std::string("m/t/") + f.name), t - f.offset);
        local.write(std::string("bk/") + f.name, "stale\n");
        settime(bk + "/" + f.name, t);
        local.write(std::string("rs/") + f.name, "workstation\n");
        settime(rs + "/" + f.name, t);
        org.write(std::string("m/u/") + f.name, "stale\n");
        settime(org.host(std::string("m/u/") + f.name), t + f.offset);
    }
    org.write("m/t/new.txt", "organiser\n");
    local.write("rs/new.txt", "workstation\n");
    // A file filter is suspended during the run and set again, empty, afterwards.
    local.write("mark.ovcmd", "! touch filter-ran\n");
    RunResult r =
        run("setv backupnocheck\nsetv verbose\nsetv autofilefilter on\n"
            "addfilter in txt mark\nibackup m:\\t " +
            bk + "\nirestore m:\\u " + rs +
            "\n! ls filter-ran > seen 2>&1\nprintv\nget m:\\t\\new.txt\n");
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        EXPECT_EQ(local.read(std::string("bk/") + f.name), f.copied ? "organiser\n" : "stale\n");
        EXPECT_EQ(org.read(std::string("m/u/") + f.name), f.copied ? "workstation\n" : "stale\n");
    }
    EXPECT_EQ(local.read("bk/new.txt"), "organiser\n");
    EXPECT_EQ(org.read("m/u/new.txt"), "workstation\n");
    expect_lines(r, {"BACKUP: Starting incremental backup of m:\\t to " + bk + "\n",
                     "BACKUP: Incremental backup of m:\\t to " + bk + " complete\n",
                     "BACKUP: 1 directories, 3 files\n",
                     "RESTORE: Starting incremental restore of " + rs + " to m:\\u\n",
                     "RESTORE: Incremental restore of " + rs + " to m:\\u complete\n",
                     "RESTORE: 1 directories, 3 files\n", "autofilefilter = \n"});
    EXPECT_TRUE(contains(local.read("seen"), "No such file")) << "the filter ran in a backup";
    EXPECT_TRUE(local.exists("filter-ran")) << "the filter runs again after the backup";
}

TEST_F(BackupTest, DriveRootsAndSingleFiles) {
    local.write("one.txt", "one\n");
    RunResult r = run("setv backupnocheck\nsetv verbose\nbackup m:\\ " + bk +
                      "\nbackup m: " + local.path + "/bk2\nbackup m:\\docs\\notes.txt " +
                      local.path + "/copy.txt\nrestore m:\\copy.txt " + local.path + "/one.txt\n");
    EXPECT_EQ(local.read("bk/docs/notes.txt"), "notes\n");
    EXPECT_EQ(local.read("bk2/docs/sub &dir/deep/leaf.txt"), "leaf\n");
    EXPECT_EQ(local.read("copy.txt"), "notes\n");
    EXPECT_TRUE(contains(r.out, "BACKUP: 0 directories, 1 files\n")) << r.out;
    EXPECT_EQ(org.read("m/copy.txt"), "one\n");
}

// The listing goes through a private file of its own, so a link planted at the old fixed name
// is neither written through nor in the way.
TEST_F(BackupTest, SymlinkAtListingFileIsNeverWrittenThrough) {
    local.write("precious", "precious\n");
    ASSERT_EQ(symlink((local.path + "/precious").c_str(), kListFile), 0);
    RunResult r = run("setv backupnocheck\nbackup m:\\docs " + bk + "\n");
    EXPECT_EQ(local.read("bk/notes.txt"), "notes\n") << r.out;
    EXPECT_EQ(local.read("precious"), "precious\n");
}

TEST_F(BackupTest, RlistPrintsTreeOrderToScreenOrFile) {
    {  // a stale listing file from an earlier run is overwritten, never read back
        int fd = open(kListFile, O_CREAT | O_WRONLY | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(write(fd, "m:\\bogus\n", 9), 9);
        close(fd);
    }
    // Children in reverse order of the organiser's listing, depth first; no exclude applies.
    const std::string lines = std::string("m:\\docs\nm:\\docs\\") + kWeird +
                              "\nm:\\docs\\sub &dir\nm:\\docs\\sub &dir\\deep\n"
                              "m:\\docs\\sub &dir\\deep\\leaf.txt\nm:\\docs\\old\n"
                              "m:\\docs\\old\\skip.txt\nm:\\docs\\notes.txt\nm:\\docs\\empty\n"
                              "m:\\docs\\$data.dbf\n";
    status = 3;  // m:\nowhere and none/tree.txt fail
    RunResult r =
        run("addexcl m:\\docs\\old\nsetv verbose\nrlist M:\\DOCS\nunsetv verbose\nrlist m:\\docs "
            "tree.txt\nrlist M:\\DOCS\\NOTES.TXT\nrlist m:\\docs\\empty\nrlist m:\\nowhere\n"
            "rlist m:\\\nrlist b:\\ none/tree.txt\n");
    EXPECT_TRUE(contains(r.out, "0, CMD> Generating a recursive listing of M:\\DOCS\n" + lines +
                                    "0, CMD> 0, CMD> 0, CMD> m:\\docs\\notes.txt\n0, CMD> "
                                    "m:\\docs\\empty\n0, CMD> m:\\nowhere\n0, CMD> m:\\\n"
                                    "m:\\docs\n"))
        << r.out;
    EXPECT_EQ(local.read("tree.txt"), lines);
    EXPECT_TRUE(contains(r.out, "Error, cant open none/tree.txt for output\n")) << r.out;
    EXPECT_FALSE(contains(r.out, "bogus")) << r.out;
    for (const auto& f : r.frames_from_yal()) {
        EXPECT_FALSE(contains(f, "b:")) << "nothing is listed without an output file";
        EXPECT_FALSE(contains(f, "m:\\\\")) << "a drive root is listed with one backslash";
    }
    EXPECT_EQ(slurp(kListFile), "m:\\bogus\n") << "another's file at the old name is left alone";
    for (const auto& e : std::filesystem::directory_iterator("/tmp")) {
        const std::string name = e.path().filename().string();
        EXPECT_FALSE(name.starts_with("orvelbackuplist.") && name.size() == 22)
            << name << ": a listing is removed after the walk";
    }
}

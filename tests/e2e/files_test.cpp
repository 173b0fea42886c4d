// The remote file commands as a user meets them: list, rm, mkdir, info, setro/setrw, rcd, rpwd,
// lcd and lpwd, run by the real orvel against the simulated organiser, with the organiser's side
// checked in the simulator's folder tree.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <string>
#include <vector>

#include "harness.h"

namespace {

// One organiser tree, one local working folder, and orvel runs against them.
struct Link {
    OrganiserTree org;
    TempDir local;
    std::vector<std::string> simargs;
    std::vector<std::string> args;

    RunResult run(const std::string& input) {
        RunSpec spec;
        spec.root = org.root;
        spec.cwd = local.path;
        spec.input = input;
        spec.simargs = simargs;
        spec.args = args;
        RunResult r = run_orvel(spec);
        EXPECT_FALSE(r.timed_out) << r.out << r.err;
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        return r;
    }
};

bool has(const std::string& out, const std::string& text) {
    return out.find(text) != std::string::npos;
}

int count_frames(const RunResult& r, const std::string& text) {
    auto frames = r.frames_from_yal();
    return static_cast<int>(std::count(frames.begin(), frames.end(), text));
}

bool any_frame_starts(const RunResult& r, const std::string& prefix) {
    for (const auto& f : r.frames_from_yal())
        if (f.rfind(prefix, 0) == 0) return true;
    return false;
}

// The calendar text that `info` prints for a host file's modification time.
std::string calendar(const std::string& host) {
    struct stat st {};
    if (stat(host.c_str(), &st) != 0) return "?";
    return std::ctime(&st.st_mtime);
}

}  // namespace

// ---- list -----------------------------------------------------------------------------------

TEST(FilesTest, ListShowsEveryMemberOnTheScreen) {
    Link l;
    l.org.write("m/DOCS/A.TXT", "a");
    l.org.write("m/DOCS/B.TXT", "b");
    RunResult r = l.run("list m:\\docs\n");
    EXPECT_TRUE(has(r.out, "File :M:\\DOCS\\A.TXT\nFile :M:\\DOCS\\B.TXT\n")) << r.out;
    EXPECT_EQ(count_frames(r, "sp m:\\docs"), 1);
    EXPECT_EQ(count_frames(r, "lp"), 1);
}

TEST(FilesTest, ListWritesOnePathPerLineIntoALocalFile) {
    Link l;
    l.org.write("m/DOCS/A.TXT", "a");
    l.org.write("m/DOCS/B.TXT", "b");
    l.org.write("m/DOCS/C.DAT", "c");
    l.local.write("names", "old contents, longer than the new ones will be\n");
    RunResult r = l.run("list m:\\docs\\*.TXT names\n");
    EXPECT_EQ(l.local.read("names"), "M:\\DOCS\\A.TXT\nM:\\DOCS\\B.TXT\n");
    EXPECT_FALSE(has(r.out, "File :"));
}

TEST(FilesTest, ListIntoAFileThatCannotBeMadeFailsAndStopsACommandFile) {
    Link l;
    l.local.write("stop.ovcmd", "list m:\\ nofolder/names\necho after the list\n");
    RunResult r = l.run("run stop\necho back at the prompt\n");
    EXPECT_TRUE(has(r.out, "list, Bad file nofolder/names\n")) << r.out;
    EXPECT_FALSE(has(r.out, "after the list"));
    EXPECT_TRUE(has(r.out, "back at the prompt"));
    EXPECT_FALSE(any_frame_starts(r, "lp"));
}

TEST(FilesTest, ListNeverWritesThroughASymbolicLink) {
    Link l;
    l.org.write("m/A.TXT", "a");
    l.local.write("victim", "precious\n");
    ASSERT_EQ(symlink(l.local.file("victim").c_str(), l.local.file("names").c_str()), 0);
    RunResult r = l.run("list m:\\ names\n");
    EXPECT_TRUE(has(r.out, "list, Bad file names\n")) << r.out;
    EXPECT_EQ(l.local.read("victim"), "precious\n");
}

TEST(FilesTest, ListOfABadPathExplainsOnlyWithHelpfull) {
    Link l;
    l.local.write("go.ovcmd", "list m:\\nothere\necho still going\n");
    RunResult r = l.run("run go\nsetv helpfull\nlist m:\\nothere\n");
    EXPECT_TRUE(has(r.out, "still going"));
    auto first = r.out.find("HELP: Error in listing files, bad path specified\n");
    ASSERT_NE(first, std::string::npos) << r.out;
    EXPECT_GT(first, r.out.find("still going"));
    EXPECT_EQ(r.out.find("HELP: Error in listing files", first + 1), std::string::npos);
}

// ---- rm and mkdir ---------------------------------------------------------------------------

TEST(FilesTest, RmRemovesTheOrganiserFile) {
    Link l;
    l.org.write("m/DOCS/A.TXT", "a");
    l.org.write("m/DOCS/B.TXT", "b");
    RunResult r = l.run("rm m:\\docs\\a.txt\n");
    EXPECT_FALSE(l.org.exists("m/DOCS/A.TXT"));
    EXPECT_TRUE(l.org.exists("m/DOCS/B.TXT"));
    EXPECT_FALSE(has(r.out, "ERROR"));
}

TEST(FilesTest, RmOfAMissingFileSaysSo) {
    Link l;
    RunResult r = l.run("rm m:\\nothere.txt\n");
    EXPECT_TRUE(has(r.out, "ERROR: Cant remove the file on the orvel\n")) << r.out;
}

TEST(FilesTest, RmcheckRemovesOnlyAfterYes) {
    struct Case {
        const char* answer;
        bool removed;
    } cases[] = {
        {"y\n", true}, {"Yes please\n", true}, {"n\n", false}, {"\n", false}, {"x y\n", false}};
    for (const Case& c : cases) {
        Link l;
        l.org.write("m/A.TXT", "a");
        RunResult r = l.run(std::string("setv rmcheck\nrm m:\\a.txt\n") + c.answer);
        EXPECT_TRUE(has(r.out, "rm m:\\a.txt (y/n)\n")) << r.out;
        EXPECT_EQ(!l.org.exists("m/A.TXT"), c.removed) << "answer " << c.answer;
        EXPECT_EQ(any_frame_starts(r, "rp"), c.removed) << "answer " << c.answer;
    }
}

TEST(FilesTest, RmcheckAtEndOfInputKeepsTheFile) {
    Link l;
    l.org.write("m/A.TXT", "a");
    RunResult r = l.run("setv rmcheck\nrm m:\\a.txt\n");
    EXPECT_TRUE(has(r.out, "rm m:\\a.txt (y/n)\n")) << r.out;
    EXPECT_TRUE(l.org.exists("m/A.TXT"));
    EXPECT_FALSE(any_frame_starts(r, "rp"));
    EXPECT_FALSE(any_frame_starts(r, "sp m:\\a.txt"));
}

TEST(FilesTest, MkdirCreatesTheDirectory) {
    Link l;
    RunResult r = l.run("mkdir m:\\newdir\nmkdir m:\\newdir\\inner\n");
    EXPECT_TRUE(has(r.out, "Creating directory m:\\newdir\n")) << r.out;
    EXPECT_TRUE(has(r.out, "Creating directory m:\\newdir\\inner\n")) << r.out;
    struct stat st {};
    ASSERT_EQ(stat(l.org.host("m/newdir/inner").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST(FilesTest, MkdirFailureOnTheOrganiserIsSilent) {
    Link l;
    RunResult r = l.run("mkdir m:\\no\\such\\parent\n");
    EXPECT_TRUE(has(r.out, "Creating directory m:\\no\\such\\parent\n"));
    EXPECT_FALSE(has(r.out, "ERROR"));
    EXPECT_FALSE(l.org.exists("m/no"));
}

// ---- info, setro, setrw ---------------------------------------------------------------------

TEST(FilesTest, InfoOnATextFileShowsEveryLine) {
    Link l;
    l.org.write("m/DOCS/NOTES.TXT", "hello world\n");
    std::string when = calendar(l.org.host("m/DOCS/NOTES.TXT"));
    RunResult r = l.run("info m:\\docs\\notes.txt\n");
    std::string expect =
        "Information on m:\\docs\\notes.txt\nSize 12\nAccess is Read / Write\n"
        "Attributes are TEXT FILE \nLast modification time is " +
        when + "\n";
    EXPECT_TRUE(has(r.out, expect)) << r.out;
    std::vector<std::string> asked;
    for (const auto& f : r.frames_from_yal())
        if (f == "rw" || f == "ft" || f == "sz" || f == "ti") asked.push_back(f);
    EXPECT_EQ(asked, (std::vector<std::string>{"rw", "ft", "sz", "ti"}));
}

TEST(FilesTest, InfoOnADirectoryHasNoTimeLine) {
    Link l;
    l.org.write("m/DOCS/A.TXT", "a");
    RunResult r = l.run("info m:\\docs\n");
    EXPECT_TRUE(has(r.out,
                    "Information on m:\\docs\nSize 0\nAccess is Read / Write\n"
                    "Attributes are DIRECTORY \n"))
        << r.out;
    EXPECT_FALSE(has(r.out, "Last modification time"));
}

TEST(FilesTest, InfoOnABinaryHiddenFile) {
    Link l;
    l.org.write("m/.SECRET", std::string("\x01\x02\xff", 3));
    RunResult r = l.run("info m:\\.secret\n");
    EXPECT_TRUE(has(r.out, "Size 3\n")) << r.out;
    EXPECT_TRUE(has(r.out, "Attributes are FILE HIDDEN \n")) << r.out;
}

TEST(FilesTest, InfoOnAMissingPathSaysItDoesNotExist) {
    Link l;
    RunResult r = l.run("info m:\\nothere.txt\n");
    EXPECT_TRUE(has(r.out,
                    "Information on m:\\nothere.txt\n"
                    "ERROR: m:\\nothere.txt does not exist on the orvel\n"))
        << r.out;
    EXPECT_FALSE(has(r.out, "Size"));
    EXPECT_EQ(count_frames(r, "rw"), 1);
    EXPECT_EQ(count_frames(r, "ft"), 0);
    EXPECT_EQ(count_frames(r, "sz"), 0);
    EXPECT_EQ(count_frames(r, "ti"), 0);
}

TEST(FilesTest, SetroAndSetrwChangeTheAccess) {
    Link l;
    l.org.write("m/A.TXT", "a");
    RunResult r = l.run("setro m:\\a.txt\ninfo m:\\a.txt\n");
    struct stat st {};
    ASSERT_EQ(stat(l.org.host("m/A.TXT").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & S_IWUSR, 0u);
    EXPECT_TRUE(has(r.out, "Access is Read only\n")) << r.out;
    EXPECT_EQ(count_frames(r, "wn"), 1);
    r = l.run("setrw m:\\a.txt\ninfo m:\\a.txt\n");
    ASSERT_EQ(stat(l.org.host("m/A.TXT").c_str(), &st), 0);
    EXPECT_NE(st.st_mode & S_IWUSR, 0u);
    EXPECT_TRUE(has(r.out, "Access is Read / Write\n")) << r.out;
    EXPECT_EQ(count_frames(r, "wy"), 1);
}

TEST(FilesTest, SamePathTwiceSendsOneSp) {
    Link l;
    l.org.write("m/A.TXT", "a");
    RunResult r = l.run("setro m:\\a.txt\nsetrw m:\\a.txt\ninfo M:\\a.txt\n");
    EXPECT_EQ(count_frames(r, "sp m:\\a.txt"), 1);
    EXPECT_EQ(count_frames(r, "sp M:\\a.txt"), 1);
}

// ---- rcd, rpwd, lcd, lpwd -------------------------------------------------------------------

TEST(FilesTest, RcdChangesTheOrganiserDirectoryForRelativePaths) {
    Link l;
    l.org.write("m/DOCS/A.TXT", "a");
    RunResult r = l.run("rpwd\nrcd m:\\docs\nrpwd\nlist a.txt\n");
    EXPECT_TRUE(has(r.out, "CWD on orvel is M:\\\n")) << r.out;
    EXPECT_TRUE(has(r.out, "CWD on orvel is M:\\DOCS\n")) << r.out;
    EXPECT_TRUE(has(r.out, "File :M:\\DOCS\\A.TXT\n")) << r.out;
    EXPECT_FALSE(has(r.out, "ERROR"));
}

TEST(FilesTest, RcdToABareDevice) {
    Link l;
    RunResult r = l.run("rcd B:\nrpwd\n");
    EXPECT_TRUE(has(r.out, "CWD on orvel is B:\\\n")) << r.out;
    EXPECT_EQ(count_frames(r, "sp B:\\"), 1);
    EXPECT_EQ(count_frames(r, "ep"), 0);
}

TEST(FilesTest, RcdToAFileLeavesTheDirectoryUnchanged) {
    Link l;
    l.org.write("m/A.TXT", "a");
    RunResult r = l.run("rcd m:\\a.txt\nrpwd\n");
    EXPECT_TRUE(has(r.out, "ERROR: in rcd to m:\\a.txt remote CWD is unchanged\n")) << r.out;
    EXPECT_TRUE(has(r.out, "CWD on orvel is M:\\\n"));
    EXPECT_EQ(count_frames(r, "cd"), 0);
}

TEST(FilesTest, RcdToABadDeviceNamesItFirst) {
    Link l;
    RunResult r = l.run("rcd x:\n");
    EXPECT_TRUE(has(r.out,
                    "ERROR: Invalid devicename x:\n"
                    "ERROR: in rcd to x: remote CWD is unchanged\n"))
        << r.out;
    EXPECT_EQ(count_frames(r, "cd"), 0);
}

TEST(FilesTest, LcdAndLpwdWorkOnTheWorkstation) {
    Link l;
    l.local.write("sub/x", "x");
    RunResult r = l.run("lpwd\nlcd sub\nlpwd\nlcd nothere\nlpwd\n");
    char real[4096];
    ASSERT_NE(realpath(l.local.path.c_str(), real), nullptr);
    std::string top = real;
    EXPECT_TRUE(has(r.out, top + "\n")) << r.out;
    EXPECT_TRUE(has(r.out, "ERROR: Problem in changing CWD to nothere, CWD is unchanged\n"));
    auto sub = r.out.find(top + "/sub\n");
    ASSERT_NE(sub, std::string::npos) << r.out;
    EXPECT_NE(r.out.find(top + "/sub\n", sub + 1), std::string::npos) << r.out;
}

TEST(FilesTest, LcdMovesWhereListFilesLand) {
    Link l;
    l.org.write("m/A.TXT", "a");
    l.local.write("sub/keep", "");
    l.run("lcd sub\nlist m:\\ names\n");
    EXPECT_EQ(l.local.read("sub/names"), "M:\\A.TXT\n");
    EXPECT_FALSE(l.local.exists("names"));
}

// ---- release gates and over-long paths ------------------------------------------------------

TEST(FilesTest, AtRelease37TheGatedFileCommandsStillWork) {
    Link l;
    l.simargs = {"--release", "3.7"};
    l.org.write("m/DOCS/A.TXT", "abc");
    RunResult r = l.run("info m:\\docs\\a.txt\nrcd m:\\docs\nrpwd\nsetro a.txt\nfilesum on\n");
    EXPECT_TRUE(has(r.out, "Size 3\n")) << r.out;
    EXPECT_TRUE(has(r.out, "CWD on orvel is M:\\DOCS\n")) << r.out;
    EXPECT_TRUE(
        has(r.out, "Function filesum requires version 3.8 of tavlin, you have version 3.7\n"))
        << r.out;
    EXPECT_TRUE(has(r.out, "This is not a fatal problem, other functions may still work\n"));
    EXPECT_FALSE(has(r.out, "Function info"));
    EXPECT_FALSE(has(r.out, "Function rcd"));
    EXPECT_FALSE(has(r.out, "Function rpwd"));
    EXPECT_FALSE(has(r.out, "Function setro"));
    EXPECT_EQ(count_frames(r, "fc 1"), 0);
}

TEST(FilesTest, WithoutVersionCheckNothingIsRefused) {
    Link l;
    l.args = {"-nv"};
    l.org.write("m/DOCS/A.TXT", "abc");
    RunResult r = l.run("info m:\\docs\\a.txt\nrcd m:\\docs\nrpwd\nsetrw a.txt\n");
    EXPECT_TRUE(has(r.out, "2.3")) << r.out;
    EXPECT_FALSE(has(r.out, "requires version"));
    EXPECT_TRUE(has(r.out, "Size 3\n")) << r.out;
    EXPECT_TRUE(has(r.out, "CWD on orvel is M:\\DOCS\n")) << r.out;
    EXPECT_EQ(count_frames(r, "vn"), 0);
}

TEST(FilesTest, AnOverlongPathIsNotSentAndStopsACommandFile) {
    Link l;
    // 254 characters: one word, but "sp " and the path would not fit one frame.
    std::string path = "m:\\" + std::string(251, 'a');
    l.local.write("long.ovcmd", "info " + path + "\necho after the info\n");
    RunResult r = l.run("run long\nrm " + path + "\nmkdir " + path + "\nlist " + path + "\n");
    EXPECT_FALSE(has(r.out, "after the info"));
    EXPECT_FALSE(has(r.out, "Information on"));
    EXPECT_FALSE(any_frame_starts(r, "sp m:\\aaaa"));
    EXPECT_FALSE(any_frame_starts(r, "rp"));
    EXPECT_FALSE(any_frame_starts(r, "md"));
    EXPECT_FALSE(any_frame_starts(r, "lp"));
}

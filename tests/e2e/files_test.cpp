// The remote file commands as a user meets them: list, rm (and rmcheck), mkdir, info, setro and
// setrw, rcd and rpwd, lcd and lpwd, run by the real orvel against the simulated organiser, with
// the organiser's side checked in the simulator's folder tree and the frames in its trace.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <string>
#include <vector>

#include "e2e_util.h"
#include "harness.h"

using namespace e2e;

namespace {

// One organiser tree, one local working folder, and orvel runs against them.
struct Link {
    OrganiserTree org;
    TempDir local;
    int status = 0;  // what the next run must exit with: 3 when one of its commands fails

    RunResult run(const std::string& input, std::vector<std::string> simargs = {},
                  std::vector<std::string> args = {}) {
        RunSpec spec;
        spec.root = org.root;
        spec.cwd = local.path;
        spec.input = input;
        spec.simargs = std::move(simargs);
        spec.args = std::move(args);
        RunResult r = run_orvel(spec);
        EXPECT_TRUE(!r.timed_out && r.status == status) << r.status << "\n" << r.out << r.err;
        return r;
    }
};

// orvel's frames, joined by blanks.
std::string wire(const RunResult& r) {
    std::string all;
    for (const std::string& f : r.frames_from_yal()) all += (all.empty() ? "" : " ") + f;
    return all;
}

TEST(FilesTest, ListShowsOrWritesNamesAndNeverWritesThroughALink) {
    Link l;
    l.status = 3;
    for (const char* f : {"m/DOCS/A.TXT", "m/DOCS/B.TXT", "m/DOCS/C.DAT"}) l.org.write(f, "x");
    l.local.write("names", "old contents, longer than the new ones will be\n");
    l.local.write("victim", "precious\n");
    ASSERT_EQ(symlink(l.local.file("victim").c_str(), l.local.file("link").c_str()), 0);
    l.local.write("stop.ovcmd", "list m:\\ nofolder/names\necho after the list\n");
    l.local.write("sub/keep", "");
    RunResult r = l.run(
        "list m:\\docs\\*.TXT\nlist m:\\docs names\nlist m:\\ link\nrun stop\nlist m:\\nothere\n"
        "setv helpfull\nlist m:\\nothere\nlpwd\nlcd sub\nlcd nothere\nlpwd\nlist m:\\docs\\*.DAT "
        "names\n");
    char real[4096];
    ASSERT_NE(realpath(l.local.path.c_str(), real), nullptr);
    const std::string p = kPrompt, top = real;
    EXPECT_EQ(r.out.substr(r.out.find("File :")),
              "File :M:\\DOCS\\A.TXT\nFile :M:\\DOCS\\B.TXT\n" + p + p + "list, Bad file link\n" +
                  p + "list, Bad file nofolder/names\n" + p + p + p +
                  "HELP: Error in listing files, bad path specified\n" + p + top + "\n" + p + p +
                  "ERROR: Problem in changing CWD to nothere, CWD is unchanged\n" + p + top +
                  "/sub\n" + p + p + kPauseMsg);
    EXPECT_EQ(l.local.read("names"), "M:\\DOCS\\A.TXT\nM:\\DOCS\\B.TXT\nM:\\DOCS\\C.DAT\n");
    EXPECT_EQ(l.local.read("sub/names"), "M:\\DOCS\\C.DAT\n");
    EXPECT_EQ(l.local.read("victim"), "precious\n");
    EXPECT_EQ(count_of(wire(r), " lp"), 5);  // none for the refused local files
}

TEST(FilesTest, RmAsksUnderRmcheckAndMkdirReportsNothingFromTheOrganiser) {
    Link l;
    l.status = 3;
    for (const char* f : {"m/DOCS/A.TXT", "m/DOCS/B.TXT", "m/Y1", "m/Y2", "m/N1", "m/N2", "m/N3"})
        l.org.write(f, "x");
    const std::string path = "m:\\" + std::string(251, 'a');  // with "sp ": too long for a frame
    l.local.write("long.ovcmd", "info " + path + "\necho after the info\n");
    RunResult r = l.run(
        "rm m:\\docs\\a.txt\nrm m:\\nothere.txt\nmkdir m:\\newdir\nmkdir m:\\newdir\\inner\n"
        "mkdir m:\\no\\such\\parent\nrun long\nrm " +
        path + "\nmkdir " + path + "\nlist " + path +
        "\nsetv rmcheck\nrm m:\\y1\ny\nrm m:\\y2\nYes please\nrm m:\\n1\nn\nrm m:\\n2\n\n"
        "rm m:\\n3\nx y\nrm m:\\docs\\b.txt\n");
    const std::string
        p = kPrompt,
        toolong = "ERROR: Command too long to send to the orvel (257 characters, at most 255)\n";
    std::string asked;
    for (const char* name : {"y1", "y2", "n1", "n2", "n3", "docs\\b.txt"})
        asked += p + "rm m:\\" + name + " (y/n)\n";
    EXPECT_EQ(r.out.substr(r.out.find(p)),
              p + p + "ERROR: Cant remove the file on the orvel\n" + p +
                  "Creating directory m:\\newdir\n" + p + "Creating directory m:\\newdir\\inner\n" +
                  p + "Creating directory m:\\no\\such\\parent\n" + p + toolong + p + toolong + p +
                  "Creating directory " + path + "\n" + toolong + p + toolong + p + asked + p +
                  kPauseMsg);
    // Nothing of the long path goes out, nor, at the end of input, the path of the last rm.
    EXPECT_EQ(wire(r),
              "ia tm vn po 1 sp m:\\docs\\a.txt rp sp m:\\nothere.txt rp sp m:\\newdir md sp "
              "m:\\newdir\\inner md sp "
              "m:\\no\\such\\parent md sp m:\\y1 rp sp m:\\y2 rp");
    for (const char* f : {"m/DOCS/B.TXT", "m/N1", "m/N2", "m/N3", "m/newdir/inner"})
        EXPECT_TRUE(l.org.exists(f)) << f;
    for (const char* f : {"m/DOCS/A.TXT", "m/Y1", "m/Y2", "m/no"})
        EXPECT_FALSE(l.org.exists(f)) << f;
}

TEST(FilesTest, InfoSetroSetrwAndRcd) {
    Link l;
    l.status = 3;
    l.org.write("m/DOCS/NOTES.TXT", "hello world\n");
    l.org.write("m/.SECRET", std::string("\x01\x02\xff", 3));
    struct stat st {};
    ASSERT_EQ(stat(l.org.host("m/DOCS/NOTES.TXT").c_str(), &st), 0);
    const std::string when = std::ctime(&st.st_mtime);
    RunResult r = l.run(
        "info m:\\docs\\notes.txt\ninfo m:\\docs\ninfo m:\\.secret\ninfo m:\\nothere\nsetro "
        "m:\\.secret\ninfo m:\\.secret\nsetrw m:\\.secret\nrpwd\nrcd m:\\docs\nrpwd\ninfo "
        "notes.txt\nrcd B:\nrpwd\nrcd m:\\docs\\notes.txt\nrcd x:\nrpwd\n");
    const std::string rw = "Access is Read / Write\n", text = "Attributes are TEXT FILE \n";
    const std::string hidden = "Attributes are FILE HIDDEN \n", p = kPrompt;
    EXPECT_EQ(
        r.out.substr(r.out.find("Information")),
        "Information on m:\\docs\\notes.txt\nSize 12\n" + rw + text + "Last modification time is " +
            when + "\n" + p + "Information on m:\\docs\nSize 0\n" + rw +
            "Attributes are DIRECTORY \n" + p + "Information on m:\\.secret\nSize 3\n" + rw +
            hidden + "Last modification time is " + when + "\n" + p +
            "Information on m:\\nothere\nERROR: m:\\nothere does not exist on the orvel\n" + p + p +
            "Information on m:\\.secret\nSize 3\nAccess is Read only\n" + hidden +
            "Last modification time is " + when + "\n" + p + p + "CWD on orvel is M:\\\n" + p + p +
            "CWD on orvel is M:\\DOCS\n" + p + "Information on notes.txt\nSize 12\n" + rw + text +
            "Last modification time is " + when + "\n" + p + p + "CWD on orvel is B:\\\n" + p +
            "ERROR: in rcd to m:\\docs\\notes.txt remote CWD is unchanged\n" + p +
            "ERROR: Invalid devicename x:\nERROR: in rcd to x: remote CWD is unchanged\n" + p +
            "CWD on orvel is B:\\\n" + p + kPauseMsg);
    // A missing path is asked "rw" only; a bare device and a bad one are not asked about.
    EXPECT_EQ(
        wire(r),
        "ia tm vn po 1 sp m:\\docs\\notes.txt rw ft sz ti sp m:\\docs rw ft sz ti sp m:\\.secret "
        "rw ft sz ti "
        "sp m:\\nothere rw sp m:\\.secret wn rw ft sz ti wy pp sp m:\\docs ep ft sp m:\\docs\\ "
        "cd pp sp notes.txt rw ft sz ti sp B: sp B:\\ cd pp sp m:\\docs\\notes.txt ep ft sp x: "
        "pp");
    ASSERT_EQ(stat(l.org.host("m/.SECRET").c_str(), &st), 0);
    EXPECT_NE(st.st_mode & S_IWUSR, 0u);
}

// Only filesum among these needs a later release than 3.7; -nv skips the check altogether.
TEST(FilesTest, FileCommandsAreNotGatedAtRelease37) {
    Link l;
    l.org.write("m/DOCS/A.TXT", "abc");
    const std::string input = "info m:\\docs\\a.txt\nrcd m:\\docs\nrpwd\nsetro a.txt\n";
    const std::string wire_tail =
        " sp m:\\docs\\a.txt rw ft sz ti sp m:\\docs ep ft sp m:\\docs\\ cd pp sp a.txt wn";
    RunResult r = l.run(input, {"--release", "3.7"});
    EXPECT_FALSE(contains(r.out, "requires version")) << r.out;
    EXPECT_EQ(wire(r), "ia tm vn" + wire_tail);
    r = l.run(input, {}, {"-nv"});
    EXPECT_FALSE(contains(r.out, "requires version")) << r.out;
    EXPECT_EQ(wire(r), "ia tm po 1" + wire_tail);
}

}  // namespace

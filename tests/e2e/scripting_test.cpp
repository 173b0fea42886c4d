// Command files as a user meets them: the search along `path`, run/source/which with their
// variable levels, the lines that stop a file and those that do not, quit and pause inside
// files, the rc file, `!` and its length limit, and the filter list commands. The real orvel runs
// against the simulated organiser; each test is one session checked on its whole output.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "e2e_util.h"
#include "harness.h"

using namespace e2e;

namespace {

// An organiser, orvel's working folder and its HOME.
struct Desk {
    OrganiserTree org;
    TempDir cwd;
    TempDir home;
    int status = 0;  // what the next run must exit with: 3 when one of its commands fails

    RunResult run(const std::string& input, std::vector<std::string> args = {}) {
        RunSpec spec;
        spec.root = org.root;
        spec.cwd = cwd.path;
        spec.env = {{"HOME", home.path}};
        spec.input = input;
        spec.args = std::move(args);
        RunResult r = run_orvel(spec);
        EXPECT_TRUE(!r.timed_out && r.status == status) << r.status << "\n" << r.out << r.err;
        return r;
    }
};

// Standard output after the two banner lines, without the prompts.
std::string body(std::string out) {
    for (int line = 0; line < 2; ++line) out.erase(0, out.find('\n') + 1);
    for (size_t p; (p = out.find(kPrompt)) != std::string::npos;) out.erase(p, sizeof kPrompt - 1);
    return out;
}

TEST(ScriptingTest, CommandFilesAreFoundAlongPathUpToAnEmptyElement) {
    Desk d;
    d.status = 3;
    d.cwd.write("a/keep", "");
    d.cwd.write("b/x.ovcmd", "echo from b\n");
    d.cwd.write("b/calls.ovcmd", "run nosuch\nrun dir\necho never\n");  // unreadable: fails
    std::filesystem::create_directories(d.cwd.file("b/dir.ovcmd"));
    d.home.write("abs.ovcmd", "echo absolute\n");
    const std::string b = d.cwd.file("b");
    RunResult r = d.run("run x\nwhich x\nrun " + d.home.file("abs") +
                            "\nrun abs\nrun x.ovcmd\nrun calls\nwhich dir\nsetv path :" + b +
                            "\nrun x\nwhich x\npause\n",
                        {"-var", "path", d.cwd.file("a") + ":" + b});
    const std::string dir = "Error, " + b + "/dir.ovcmd is not a regular file, not read\n";
    EXPECT_EQ(body(r.out), "from b\nrun x would use: " + b +
                               "/x.ovcmd\nabsolute\nError, abs not found\n"
                               "Error, x.ovcmd not found\nError, nosuch not found\n" +
                               dir + dir + "Error, x not found\nError, x not found\n" + kPauseMsg);
    EXPECT_EQ(r.err, "");
}

TEST(ScriptingTest, RunGivesEachFileItsOwnLevelAndSourceDoesNot) {
    Desk d;
    d.status = 3;
    d.cwd.write("f.ovcmd", "echo [arg0] [arg1] [arg2]\nsetv arg0 changed\nsetv new 1\n");
    d.cwd.write("conf.ovcmd", "setv colour blue\necho [arg1]\n");
    d.cwd.write("outer.ovcmd", "setv v outer\nrun inner deep\necho [v] [arg0]\n");
    d.cwd.write("inner.ovcmd", "echo [v] [arg0] [arg1]\nsetv v inner\n");
    d.cwd.write("q.ovcmd", "quit\necho after\n");  // ends the run, as pause does below
    RunResult r = d.run(
        "setv arg0 outer\nrun f a b\necho [arg0]\necho [new]\nsource conf\necho [colour]\n"
        "setv v base\nrun outer\necho [v]\nrun q\necho typed later\n");
    EXPECT_EQ(body(r.out),
              "f a b\nouter\nNo Such Variable new\nNo Such Variable arg1\nblue\n"
              "outer inner deep\nouter outer\nbase\n" +
                  std::string(kQuitMsg));
}

TEST(ScriptingTest, FilesStopOnFailedLinesOnly) {
    Desk d;
    d.status = 3;
    const std::string nodir = d.cwd.file("no/dir/x");
    d.cwd.write("f.ovcmd", "echo [nosuch]\nfrob\n\necho one\nlist m:\\ " + nodir + "\necho two\n");
    d.cwd.write("w.ovcmd", "echo " + std::string(300, 'w') + "\necho after\n");
    d.cwd.write("caller.ovcmd", "run w\necho caller goes on\n");
    const char nul[] = "echo a\n\0echo b\necho c\necho d";  // and no last newline
    d.cwd.write("n.ovcmd", std::string(nul, sizeof nul - 1));
    std::string fits = "echo fits", toolong = "echo toolong";
    fits.resize(9999, ' ');  // trailing blanks are trimmed
    toolong.resize(10000, ' ');
    d.cwd.write("l.ovcmd", fits + "\n" + toolong + "\necho after\n");
    d.cwd.write("loop.ovcmd", "echo deeper\nrun loop\n");
    d.cwd.write("dbg.ovcmd", "echo a   b  \npause\necho after\n");
    RunResult r = d.run(
        "run f\nrun caller\nrun n\nrun l\nrun loop\necho still here\nrun n\nsetv debugrun\n"
        "run dbg\necho typed later\n");
    std::string deeper;
    for (int i = 0; i < 64; ++i) deeper += "deeper\n";
    const std::string n = "a\nError, line begins with a NUL byte, ignored\nc\nd\n";
    EXPECT_EQ(body(r.out),
              "No Such Variable nosuch\nError Cmd not known\nError Cmd not known\n"
              "one\nlist, Bad file " +
                  nodir +
                  "\nError, word too long (300 characters, at most 254)\n"
                  "caller goes on\n" +
                  n +
                  "fits\nError, line too long (more than 9999 characters) in "
                  "./l.ovcmd, stopping\n" +
                  deeper +
                  "Error, command files nested too deeply, loop not run\n"
                  "still here\n" +
                  n + "Cmd :echo a   b  :\na b\nCmd :pause:\n" + kPauseMsg);
}

TEST(ScriptingTest, RcFileInTheFolderWinsOverHomeAndIsSearchedAlongPath) {
    const struct {
        bool here, home;
        bool path_is_home;  // -var path HOME: "./.ovrc" is then searched below it
        std::string out;
    } cases[] = {
        {true, true, false, "here\n"},
        {false, true, false, "home\n"},
        {true, false, true, "Error, ./.ovrc not found\nNo Such Variable fromrc\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.out);
        Desk d;
        if (c.here) d.cwd.write(".ovrc.ovcmd", "setv fromrc here\n");
        if (c.home) d.home.write(".ovrc.ovcmd", "setv fromrc home\n");
        std::vector<std::string> args;
        if (c.path_is_home) args = {"-var", "path", d.home.path};
        d.status = c.path_is_home ? 3 : 0;
        EXPECT_EQ(body(d.run("echo [fromrc]\npause\n", args).out), c.out + kPauseMsg);
    }
}

TEST(ScriptingTest, BangRunsInOrderAndRefusesPast9999Characters) {
    Desk d;
    d.status = 3;
    // ": " then 39 words of 249+1 and one of 246+1 or 247+1: 9999 and 10000 characters.
    std::string words;
    for (int i = 0; i < 39; ++i) words += " [v]";
    RunResult r =
        d.run("setv v " + std::string(249, 'v') + "\nsetv w " + std::string(246, 'w') +
              "\nsetv x " + std::string(247, 'x') + "\n! :" + words + " [w]\n! :" + words +
              " [x]\necho first\n! echo second\necho third\n! echo hi   >  " +
              d.cwd.file("hi.txt") + "\npause\n");
    EXPECT_EQ(body(r.out),
              "Error, command too long for ! (10000 characters, at most 9999)\n"
              "first\nsecond\nthird\n" +
                  std::string(kPauseMsg));
    EXPECT_EQ(d.cwd.read("hi.txt"), "hi\n");
}

TEST(ScriptingTest, FilterListKeepsDottedSuffixesAndReplacesBareOnes) {
    Desk d;
    d.status = 3;
    RunResult r = d.run(
        "printfilters\naddfilter in .txt c1\naddfilter in .txt c2\naddfilter out doc d\n"
        "addfilter out doc d2\naddfilter sideways wp w\naddfilter IN s4 i\naddfilter restore doc "
        "r\naddfilter in ..x dd\ndelfilter in .txt\ndelfilter in txt\ndelfilter whatever s4\n"
        "addfilter in txt\ndelfilter in txt c1\nprintfilters x\nprintfilters\npause\n");
    EXPECT_EQ(body(r.out), "No filters currently installed\n" + std::string(kNotKnown) + kNotKnown +
                               kNotKnown +
                               "Current installed filters\n"
                               "Direction Input,   Suffix .x, Ovcmd dd\n"
                               "Direction Restore, Suffix doc, Ovcmd r\n"
                               "Direction Output,  Suffix wp, Ovcmd w\n"
                               "Direction Output,  Suffix doc, Ovcmd d2\n"
                               "Direction Input,   Suffix txt, Ovcmd c1\n" +
                               kPauseMsg);
}

}  // namespace

// Command files as a user meets them: the search along `path`, run/source/which with their
// variable levels, files that stop, quit and pause inside files, the rc file, long lines, NUL
// bytes, missing and unreadable files, runaway recursion, `!`, and the suffix filters up to a
// filter that converts a fetched file. The real orvel runs against the simulated organiser.
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

    RunResult run(const std::string& input, std::vector<std::string> args = {}) {
        RunSpec spec;
        spec.root = org.root;
        spec.cwd = cwd.path;
        spec.env = {{"HOME", home.path}};
        spec.input = input;
        spec.args = std::move(args);
        RunResult r = run_orvel(spec);
        EXPECT_FALSE(r.timed_out) << r.out << r.err;
        return r;
    }
};

// Standard output after the two banner lines, without the prompts.
std::string body(const std::string& out) {
    size_t at = out.find('\n');
    at = at == std::string::npos ? out.size() : out.find('\n', at + 1);
    std::string rest = at == std::string::npos ? "" : out.substr(at + 1);
    for (size_t p; (p = rest.find(kPrompt)) != std::string::npos;)
        rest.erase(p, sizeof kPrompt - 1);
    return rest;
}

// ---- finding command files ---------------------------------------------------------------

TEST(ScriptingTest, PathSearchUsesTheFirstElementHoldingTheFile) {
    Desk d;
    d.cwd.write("a/keep", "");
    d.cwd.write("b/x.ovcmd", "echo from b\n");
    const std::string path = d.cwd.file("a") + ":" + d.cwd.file("b");
    RunResult r = d.run("run x\nwhich x\npause\n", {"-var", "path", path});
    EXPECT_EQ(body(r.out),
              "from b\nrun x would use: " + d.cwd.file("b/x.ovcmd") + "\n" + kPauseMsg);
    EXPECT_EQ(r.status, 0);
}

TEST(ScriptingTest, EmptyPathElementEndsTheSearch) {
    Desk d;
    d.cwd.write("b/x.ovcmd", "echo from b\n");
    RunResult r = d.run("run x\nwhich x\npause\n", {"-var", "path", ":" + d.cwd.file("b")});
    EXPECT_EQ(body(r.out), std::string("Error, x not found\nError, x not found\n") + kPauseMsg);
}

TEST(ScriptingTest, AbsoluteNameIsTriedDirectly) {
    Desk d;
    d.home.write("abs.ovcmd", "echo absolute\n");
    RunResult r = d.run("run " + d.home.file("abs") + "\nrun abs\npause\n");
    EXPECT_EQ(body(r.out), std::string("absolute\nError, abs not found\n") + kPauseMsg);
}

TEST(ScriptingTest, NameGivenWithItsSuffixIsNotFound) {
    Desk d;
    d.cwd.write("x.ovcmd", "echo x\n");
    RunResult r = d.run("run x.ovcmd\npause\n");
    EXPECT_EQ(body(r.out), std::string("Error, x.ovcmd not found\n") + kPauseMsg);
}

TEST(ScriptingTest, MissingFileGoesOnUnreadableFileFails) {
    Desk d;
    std::filesystem::create_directories(d.cwd.file("dir.ovcmd"));
    RunResult r = d.run("run nosuch\nrun dir\nwhich dir\npause\n");
    EXPECT_EQ(body(r.out), std::string("Error, nosuch not found\n") + kPauseMsg);
    EXPECT_EQ(r.err, "Error in opening dir\nError in opening dir\n");
}

// ---- running them ------------------------------------------------------------------------

TEST(ScriptingTest, RunSetsArgsInItsOwnLevel) {
    Desk d;
    d.cwd.write("f.ovcmd", "echo [arg0] [arg1] [arg2]\nsetv arg0 changed\nsetv new 1\n");
    RunResult r = d.run("setv arg0 outer\nrun f a b\necho [arg0]\necho [new]\npause\n");
    EXPECT_EQ(body(r.out), std::string("f a b\nouter\nNo Such Variable new\n") + kPauseMsg);
}

TEST(ScriptingTest, SourceKeepsItsVariables) {
    Desk d;
    d.cwd.write("conf.ovcmd", "setv colour blue\n");
    RunResult r = d.run("source conf\necho [colour]\npause\n");
    EXPECT_EQ(body(r.out), std::string("blue\n") + kPauseMsg);
}

TEST(ScriptingTest, NestedRunsRestoreEachLevel) {
    Desk d;
    d.cwd.write("outer.ovcmd", "setv v outer\nrun inner deep\necho [v] [arg0]\n");
    d.cwd.write("inner.ovcmd", "echo [v] [arg0] [arg1]\nsetv v inner\n");
    RunResult r = d.run("setv v base\nrun outer\necho [v]\npause\n");
    EXPECT_EQ(body(r.out), std::string("outer inner deep\nouter outer\nbase\n") + kPauseMsg);
}

TEST(ScriptingTest, FileStopsOnAFailedLineButNotOnAnUnknownVariable) {
    Desk d;
    d.cwd.write("f.ovcmd",
                "echo [nosuch]\necho one\nlist m:\\ " + d.cwd.file("no/dir/x") + "\necho two\n");
    RunResult r = d.run("run f\necho prompt goes on\npause\n");
    const std::string out = body(r.out);
    EXPECT_TRUE(contains(out, "No Such Variable nosuch\none\n")) << out;
    EXPECT_FALSE(contains(out, "two")) << out;
    EXPECT_TRUE(contains(out, "prompt goes on\n")) << out;
}

TEST(ScriptingTest, OverlongWordIsAFailedLine) {
    Desk d;
    d.cwd.write("f.ovcmd", "echo " + std::string(300, 'w') + "\necho after\n");
    RunResult r = d.run("run f\npause\n");
    EXPECT_FALSE(contains(r.out, "after")) << r.out;
}

TEST(ScriptingTest, QuitInsideAFileEndsTheProgram) {
    Desk d;
    d.cwd.write("f.ovcmd", "echo before\nquit\necho after\n");
    RunResult r = d.run("run f\necho typed later\n");
    EXPECT_EQ(body(r.out), std::string("before\n") + kQuitMsg);
    EXPECT_EQ(r.status, 0);
}

TEST(ScriptingTest, PauseInsideAFileStopsItAndThePrompt) {
    Desk d;
    d.cwd.write("f.ovcmd", "echo before\npause\necho after\n");
    RunResult r = d.run("run f\necho typed later\n");
    EXPECT_EQ(body(r.out), std::string("before\n") + kPauseMsg);
    EXPECT_EQ(r.status, 0);
}

TEST(ScriptingTest, LastLineWithoutNewlineRunsWhole) {
    Desk d;
    d.cwd.write("f.ovcmd", "echo one\necho two");
    RunResult r = d.run("run f\npause\n");
    EXPECT_EQ(body(r.out), std::string("one\ntwo\n") + kPauseMsg);
}

TEST(ScriptingTest, LineBeginningWithNulIsSkipped) {
    Desk d;
    d.cwd.write("f.ovcmd", std::string("echo a\n\0echo b\necho c\n", 22));
    RunResult r = d.run("run f\npause\n");
    EXPECT_EQ(body(r.out),
              std::string("a\nError, line begins with a NUL byte, ignored\nc\n") + kPauseMsg);
}

TEST(ScriptingTest, LinesUpTo9999CharactersRunLongerOnesStopTheFile) {
    Desk d;
    std::string fits = "echo fits";
    fits.resize(9999, ' ');  // trailing blanks are trimmed
    std::string toolong = "echo toolong";
    toolong.resize(10000, ' ');
    d.cwd.write("f.ovcmd", fits + "\n" + toolong + "\necho after\n");
    RunResult r = d.run("run f\npause\n");
    EXPECT_EQ(body(r.out),
              "fits\nError, line too long (more than 9999 characters) in ./f.ovcmd, "
              "stopping\n" +
                  std::string(kPauseMsg));
}

TEST(ScriptingTest, FileRunningItselfStopsAtTheNestingLimit) {
    Desk d;
    d.cwd.write("loop.ovcmd", "echo deeper\nrun loop\n");
    RunResult r = d.run("run loop\necho still here\npause\n");
    const std::string out = body(r.out);
    EXPECT_EQ(count_of(out, "deeper\n"), 64);
    EXPECT_TRUE(contains(out,
                         "Error, command files nested too deeply, loop not run\n"
                         "still here\n"))
        << out;
    EXPECT_EQ(r.status, 0);
}

// ---- the rc file -------------------------------------------------------------------------

TEST(ScriptingTest, RcFileInTheCurrentFolderWinsOverHome) {
    Desk d;
    d.cwd.write(".ovrc.ovcmd", "echo rc here\nsetv fromrc 1\n");
    d.home.write(".ovrc.ovcmd", "echo rc home\n");
    RunResult r = d.run("echo [fromrc]\npause\n");
    EXPECT_EQ(body(r.out), std::string("rc here\n1\n") + kPauseMsg);
}

TEST(ScriptingTest, RcFileInHomeRunsWhenTheFolderHasNone) {
    Desk d;
    d.home.write(".ovrc.ovcmd", "echo rc home\n");
    RunResult r = d.run("pause\n");
    EXPECT_EQ(body(r.out), std::string("rc home\n") + kPauseMsg);
}

TEST(ScriptingTest, RcFileInTheFolderIsSearchedAgainAlongPath) {
    Desk d;
    d.cwd.write(".ovrc.ovcmd", "echo rc here\n");
    RunResult r = d.run("pause\n", {"-var", "path", d.home.path});
    EXPECT_EQ(body(r.out), std::string("Error, ./.ovrc not found\n") + kPauseMsg);
}

TEST(ScriptingTest, DebugPathShowsTheRcSearch) {
    Desk d;
    RunResult r = d.run("pause\n", {"-var", "debugpath"});
    EXPECT_TRUE(contains(r.out, "Runrc path = -.:" + d.home.path + "-\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "New path = -.:" + d.home.path +
                                    "-\nscanning path, .\n"
                                    "Path, trying :./.ovrc.ovcmd:\n"))
        << r.out;
}

// ---- ! -----------------------------------------------------------------------------------

TEST(ScriptingTest, BangRunsTheCommandInOrderWithOtherOutput) {
    Desk d;
    RunResult r = d.run("echo first\n! echo second\necho third\n! echo hi   >  " +
                        d.cwd.file("hi.txt") + "\npause\n");
    EXPECT_EQ(body(r.out), std::string("first\nsecond\nthird\n") + kPauseMsg);
    EXPECT_EQ(d.cwd.read("hi.txt"), "hi\n");
}

TEST(ScriptingTest, BangRefusesACommandOver9999Characters) {
    Desk d;
    std::string line = "setv v " + std::string(254, 'v') + "\n!";
    for (int i = 0; i < 40; ++i) line += " [v]";
    RunResult r = d.run(line + "\necho goes on\npause\n");
    EXPECT_EQ(body(r.out),
              "Error, command too long for ! (10200 characters, at most 9999)\ngoes on\n" +
                  std::string(kPauseMsg));
}

// ---- filters -----------------------------------------------------------------------------

TEST(ScriptingTest, FilterListCommands) {
    Desk d;
    RunResult r = d.run(
        "printfilters\naddfilter in .txt conv\naddfilter in .txt conv\naddfilter out doc d\n"
        "addfilter sideways wp w\naddfilter restore doc r\ndelfilter in .txt\ndelfilter in txt\n"
        "printfilters\npause\n");
    EXPECT_EQ(body(r.out),
              "No filters currently installed\n"
              "Current installed filters\n"
              "Direction Restore, Suffix doc, Ovcmd r\n"
              "Direction Output,  Suffix wp, Ovcmd w\n"
              "Direction Output,  Suffix doc, Ovcmd d\n"
              "Direction Input,   Suffix txt, Ovcmd conv\n" +
                  std::string(kPauseMsg));
}

TEST(ScriptingTest, InFilterConvertsAFetchedFile) {
    Desk d;
    d.org.write("m/NOTES.TXT", "hello, organiser\n");
    d.cwd.write("upper.ovcmd",
                "! set -- [arg1] ; tr a-z A-Z < \"$1\" > \"$1.tmp\" && mv \"$1.tmp\" \"$1\"\n");
    RunResult r = d.run(
        "addfilter in txt upper\nsetv autofilefilter\nsetv verbose\n"
        "get m:\\notes.txt notes.txt\npause\n");
    EXPECT_EQ(d.cwd.read("notes.txt"), "HELLO, ORGANISER\n") << r.out;
    EXPECT_TRUE(contains(r.out, "Calling Input,   filter (run upper notes.txt)\n")) << r.out;
    EXPECT_EQ(d.org.read("m/NOTES.TXT"), "hello, organiser\n");
}

}  // namespace

// The process commands as a user meets them: proclist to the screen and to a file, prockill and
// procprotect with their confirmations, what a kill of "*" spares, shutdown, and the release
// gates of both builds, run by the real orvel against the simulated organiser.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e_util.h"
#include "harness.h"

using e2e::contains;
using e2e::count_of;

namespace {

const char kProtectQuestion[] = "Are you sure you want to turn of process kill protection ?\n";

// `status`: what the run must exit with (3 when one of its commands fails).
RunResult run(const std::string& input, const std::string& release = "3.24", bool rev322 = false,
              const std::string& cwd = "", int status = 0) {
    OrganiserTree org;
    RunSpec spec;
    spec.root = org.root;
    spec.cwd = cwd;
    spec.input = input;
    spec.simargs = {"--release", release};
    spec.rev322 = rev322;
    RunResult r = run_orvel(spec);
    EXPECT_FALSE(r.timed_out) << r.out << r.err;
    EXPECT_EQ(r.status, status) << r.out << r.err;
    return r;
}

// orvel's process frames (pl, po, pk, ps), in order.
std::vector<std::string> procframes(const RunResult& r) {
    std::vector<std::string> out;
    for (const auto& f : r.frames_from_yal())
        if (f.size() > 2 && f[0] == 'p' && f[2] == ' ' && contains("loks", f.substr(1, 1)))
            out.push_back(f);
    return out;
}

}  // namespace

TEST(ProcessTest, ListsToScreenAndFile) {
    TempDir local;
    local.write("procs.txt", "old contents that are longer than the listing will be\n\n\n\n");
    const std::string longpattern = "ABCDEFGHIJKLMNOPQRSTUVWXYZ", huge(253, 'p');
    // The file is read by the next command, so it must be complete when proclist returns.
    RunResult r =
        run("proclist\nproclist SYS*\nproclist * procs.txt\n! cat procs.txt > copy\n"
            "proclist * none/procs.txt\nsetv helpfull\nproclist " +
                longpattern + "\nproclist " + huge + "\n",
            "3.24", false, local.path, 3);
    EXPECT_TRUE(contains(r.out,
                         "0, CMD> Process :SYS$SHLL\nProcess :SYS$WSRV\nProcess :SYS$FSRV\n"
                         "Process :TAVLIN\nProcess :Agenda\nProcess :Word\nProcess :Sheet\n"
                         "Process :Data\n0, CMD> Process :SYS$SHLL\nProcess :SYS$WSRV\n"
                         "Process :SYS$FSRV\n0, CMD> 0, CMD> 0, CMD> ERROR: Cant open "
                         "none/procs.txt to write the process listing\n"))
        << r.out;
    const std::string names = "SYS$SHLL\nSYS$WSRV\nSYS$FSRV\nTAVLIN\nAgenda\nWord\nSheet\nData\n";
    EXPECT_EQ(local.read("procs.txt"), names);
    EXPECT_EQ(local.read("copy"), names);
    EXPECT_TRUE(contains(r.out, "HELP: Error in listing processes using pattern " + longpattern +
                                    ", posibly the pattern is to long\n"))
        << r.out;
    EXPECT_EQ(count_of(r.out, "ERROR: Command too long to send to the orvel"), 1) << r.out;
    EXPECT_EQ(procframes(r),
              (std::vector<std::string>{"po 1", "pl *", "pl SYS*", "pl *", "pl " + longpattern}));
}

TEST(ProcessTest, KillAsksAndGoesAheadOnlyOnYes) {
    struct Case {
        const char* pattern;
        const char* answer;  // nullptr: end of input
        bool sent;
    };
    const Case cases[] = {{"Sheet", "n", false},     {"Sheet*", "", false},
                          {"She?t", "no y", false},  {"S*t", " y", false},
                          {"Word", "y", true},       {"Data", "Yes please", true},
                          {"Agenda", nullptr, false}};
    std::string input = "setv verbose\n";
    for (const Case& c : cases)
        input += "prockill " + std::string(c.pattern) + "\n" +
                 (c.answer ? c.answer + std::string("\n") : "");
    RunResult r = run(input);
    std::vector<std::string> want = {"po 1"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_TRUE(contains(r.out, "Are you sure you want to kill processes with the pattern " +
                                        std::string(c.pattern) +
                                        " ?(Any unsaved work in the process WILL BE LOST !)\n"));
        if (c.sent) want.push_back("pk " + std::string(c.pattern));
        EXPECT_EQ(contains(r.out, "1 processes killed matching pattern " + std::string(c.pattern)),
                  c.sent);
    }
    EXPECT_EQ(procframes(r), want);
    EXPECT_FALSE(contains(r.out, e2e::kNotKnown)) << "every answer is taken whole: " << r.out;
}

TEST(ProcessTest, ProtectionDecidesWhatAKillOfEverythingSpares) {
    // A kill matching nothing (quiet, then with helpfull); "procprotect off" declined twice;
    // every other form turns protection on; off confirmed, on again, and a kill of everything
    // spares the system and the link; off without asking, and the rest is killed too.
    RunResult r = run(
        "setv prockillnocheck\nsetv verbose\nprockill Nothing\nsetv helpfull\nprockill Nothing\n"
        "procprotect off\nn\nprocprotect off\n\nprocprotect\nprocprotect on\nprocprotect yes\n"
        "procprotect OFF\nprocprotect off\ny\nprocprotect\nprockill *\nproclist\n"
        "setv procprotnocheck\nprocprotect off\nprockill *\nproclist\n");
    EXPECT_EQ(count_of(r.out,
                       "HELP: Error in killing processes, no processes found matching "
                       "patterm Nothing\n"),
              1)
        << r.out;
    EXPECT_EQ(count_of(r.out, kProtectQuestion), 3) << r.out;
    EXPECT_TRUE(contains(r.out,
                         "4 processes killed matching pattern *\n0, CMD> Process :SYS$SHLL\n"
                         "Process :SYS$WSRV\nProcess :SYS$FSRV\nProcess :TAVLIN\n0, CMD> "
                         "0, CMD> 0, CMD> 4 processes killed matching pattern *\n0, CMD> "
                         "0, CMD> "))
        << r.out;
    EXPECT_EQ(procframes(r), (std::vector<std::string>{"po 1", "pk Nothing", "pk Nothing", "po 1",
                                                       "po 1", "po 1", "po 1", "po 0", "po 1",
                                                       "pk *", "pl *", "po 0", "pk *", "pl *"}));
}

TEST(ProcessTest, ReleaseGatesOfBothBuilds) {
    struct Case {
        const char* release;
        bool rev322, procs, shutdown;
    };
    const Case cases[] = {{"3.7", false, false, false},
                          {"3.24", false, true, false},
                          {"3.27", false, true, true},
                          {"3.27", true, true, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.release) + (c.rev322 ? " to the 3.22 build" : ""));
        TempDir local;
        local.write("procs.ovcmd",
                    "setv verbose\nsetv prockillnocheck\nsetv procprotnocheck\nproclist Word\n"
                    "procprotect off\nprockill Word\nshutdown *\necho going on\n");
        const int status = c.procs && !c.rev322 && c.shutdown ? 0 : 3;  // any refusal fails
        RunResult r =
            run("run procs\nhelp shutdown\nproclist\n", c.release, c.rev322, local.path, status);
        for (const char* cmd : {"proclist", "procprotect", "prockill"})
            EXPECT_EQ(contains(r.out, std::string("Function ") + cmd +
                                          " requires version 3.24 of tavlin, you have version " +
                                          c.release + "\n"),
                      !c.procs)
                << r.out;
        EXPECT_EQ(contains(r.out,
                           "Function shutdown requires version 3.27 of tavlin, you have "
                           "version " +
                               std::string(c.release) + "\n"),
                  !c.rev322 && !c.shutdown)
            << r.out;
        // Every refusal (the last proclist of standard input too) says it is not fatal.
        const int refusals = (c.procs ? 0 : 4) + (c.rev322 || c.shutdown ? 0 : 1);
        EXPECT_EQ(count_of(r.out, "This is not a fatal problem, other functions may still work\n"),
                  refusals);
        // Word is killed first, so three applications are left for shutdown to close.
        EXPECT_EQ(contains(r.out, "3 processes shutdown matching pattern *\n"), c.shutdown);
        EXPECT_EQ(contains(r.out, "help: shutdown not found\n"), c.rev322) << r.out;
        EXPECT_EQ(contains(r.out, e2e::kNotKnown), c.rev322) << r.out;
        EXPECT_TRUE(c.rev322 || contains(r.out, "going on\n")) << "a refusal lets files go on";
        std::vector<std::string> want;
        if (c.procs) want = {"po 1", "pl Word", "po 0", "pk Word"};
        if (c.shutdown) want.push_back("ps *");
        if (c.procs) want.push_back("pl *");
        EXPECT_EQ(procframes(r), want);
        EXPECT_TRUE(!c.shutdown || contains(r.out, "Process :TAVLIN\n0, ")) << "apps closed";
    }
}

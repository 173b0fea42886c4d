// The process commands as a user meets them: proclist to the screen and to a file, prockill
// with and without confirmation, procprotect on and off (and what a kill of "*" then spares),
// shutdown, and the release gates, run by the real orvel against the simulated organiser.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e_util.h"
#include "harness.h"

using e2e::contains;
using e2e::count_of;

namespace {

const char kAllProcs[] =
    "Process :SYS$SHLL\nProcess :SYS$WSRV\nProcess :SYS$FSRV\nProcess :TAVLIN\n"
    "Process :Agenda\nProcess :Word\nProcess :Sheet\nProcess :Data\n";

const char kKillQuestion[] =
    "Are you sure you want to kill processes with the pattern Word ?(Any unsaved work in the "
    "process WILL BE LOST !)\n";

const char kProtectQuestion[] = "Are you sure you want to turn of process kill protection ?\n";

// One organiser and one local working folder; orvel runs against them.
struct Organiser {
    OrganiserTree org;
    TempDir local;
    std::vector<std::string> simargs;
    bool rev322 = false;

    RunResult run(const std::string& input) {
        RunSpec spec;
        spec.root = org.root;
        spec.cwd = local.path;
        spec.input = input;
        spec.simargs = simargs;
        spec.rev322 = rev322;
        RunResult r = run_orvel(spec);
        EXPECT_FALSE(r.timed_out) << r.out << r.err;
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        return r;
    }
};

int frames(const RunResult& r, const std::string& text) {
    auto all = r.frames_from_yal();
    return static_cast<int>(std::count(all.begin(), all.end(), text));
}

bool framestarting(const RunResult& r, const std::string& prefix) {
    for (const auto& f : r.frames_from_yal())
        if (f.rfind(prefix, 0) == 0) return true;
    return false;
}

std::string refusal(const std::string& name, const std::string& needed, const std::string& have) {
    return "Function " + name + " requires version " + needed + " of tavlin, you have version " +
           have + "\n";
}

}  // namespace

// ---- proclist --------------------------------------------------------------------------------

TEST(ProcessTest, ProclistAloneListsEveryProcess) {
    Organiser o;
    RunResult r = o.run("proclist\n");
    EXPECT_TRUE(contains(r.out, kAllProcs)) << r.out;
    EXPECT_EQ(frames(r, "pl *"), 1);
}

TEST(ProcessTest, ProclistWithPatternShowsOnlyMatches) {
    Organiser o;
    RunResult r = o.run("proclist SYS*\n");
    EXPECT_TRUE(contains(r.out, "Process :SYS$SHLL\nProcess :SYS$WSRV\nProcess :SYS$FSRV\n0, "))
        << r.out;
    EXPECT_FALSE(contains(r.out, "Process :Word")) << r.out;
    EXPECT_EQ(frames(r, "pl SYS*"), 1);
}

TEST(ProcessTest, ProclistIntoFileWritesBareNamesAndIsCompleteAfterwards) {
    Organiser o;
    o.local.write("procs.txt", "old contents that are longer than the listing will be\n\n\n\n");
    // The file is read by the next command, so it must be complete when proclist returns.
    RunResult r = o.run("proclist * procs.txt\n! cat procs.txt > copy.txt\n");
    const std::string names = "SYS$SHLL\nSYS$WSRV\nSYS$FSRV\nTAVLIN\nAgenda\nWord\nSheet\nData\n";
    EXPECT_EQ(o.local.read("procs.txt"), names);
    EXPECT_EQ(o.local.read("copy.txt"), names);
    EXPECT_FALSE(contains(r.out, "Process :")) << r.out;
}

TEST(ProcessTest, ProclistIntoUnwritableFileSendsNothing) {
    Organiser o;
    RunResult r = o.run("proclist * " + o.local.path + "/none/procs.txt\n");
    EXPECT_TRUE(contains(r.out, "ERROR: Cant open " + o.local.path +
                                    "/none/procs.txt to write the process listing\n"))
        << r.out;
    EXPECT_FALSE(framestarting(r, "pl"));
}

TEST(ProcessTest, LongPatternIsSentAndTheOrganiserRefusesIt) {
    Organiser o;
    RunResult r = o.run("setv helpfull\nproclist ABCDEFGHIJKLMNOPQRSTUVWXYZ\n");
    EXPECT_EQ(frames(r, "pl ABCDEFGHIJKLMNOPQRSTUVWXYZ"), 1);
    EXPECT_TRUE(contains(r.out,
                         "HELP: Error in listing processes using pattern "
                         "ABCDEFGHIJKLMNOPQRSTUVWXYZ, posibly the pattern is to long\n"))
        << r.out;
}

TEST(ProcessTest, PatternTooLongForAFrameIsNotSent) {
    Organiser o;
    const std::string pattern(253, 'p');
    RunResult r =
        o.run("setv prockillnocheck\nprockill " + pattern + "\nproclist " + pattern + "\n");
    EXPECT_EQ(count_of(r.out, "ERROR: Command too long to send to the orvel"), 2) << r.out;
    EXPECT_FALSE(framestarting(r, "pk "));
    EXPECT_FALSE(framestarting(r, "pl "));
}

// ---- prockill --------------------------------------------------------------------------------

TEST(ProcessTest, KillAnsweredYesKillsAndReportsUnderVerbose) {
    Organiser o;
    RunResult r = o.run("setv verbose\nprockill Word\ny\nproclist\n");
    EXPECT_TRUE(contains(r.out, kKillQuestion)) << r.out;
    EXPECT_EQ(frames(r, "pk Word"), 1);
    EXPECT_TRUE(contains(r.out, "1 processes killed matching pattern Word\n")) << r.out;
    EXPECT_FALSE(contains(r.out, "Process :Word")) << r.out;
}

TEST(ProcessTest, KillAnsweredUpperCaseYesKills) {
    Organiser o;
    RunResult r = o.run("prockill Word\nYes please\n");
    EXPECT_EQ(frames(r, "pk Word"), 1);
    EXPECT_FALSE(contains(r.out, e2e::kNotKnown)) << r.out;  // the whole answer was taken
}

TEST(ProcessTest, KillAnsweredNoOrEmptySendsNothing) {
    for (const char* answer : {"n\n", "\n", "no y\n", " y\n"}) {
        Organiser o;
        RunResult r = o.run(std::string("prockill Word\n") + answer + "proclist Word\n");
        EXPECT_TRUE(contains(r.out, kKillQuestion)) << r.out;
        EXPECT_FALSE(framestarting(r, "pk")) << "answer " << answer;
        EXPECT_TRUE(contains(r.out, "Process :Word\n")) << r.out;
    }
}

TEST(ProcessTest, KillAtEndOfInputSendsNothing) {
    Organiser o;
    RunResult r = o.run("prockill Word\n");
    EXPECT_TRUE(contains(r.out, kKillQuestion)) << r.out;
    EXPECT_FALSE(framestarting(r, "pk"));
}

TEST(ProcessTest, KillWithNoCheckDoesNotAsk) {
    Organiser o;
    RunResult r = o.run("setv prockillnocheck\nsetv verbose\nprockill Word\n");
    EXPECT_FALSE(contains(r.out, "Are you sure")) << r.out;
    EXPECT_EQ(frames(r, "pk Word"), 1);
    EXPECT_TRUE(contains(r.out, "1 processes killed matching pattern Word\n")) << r.out;
}

TEST(ProcessTest, KillMatchingNothingIsReportedOnlyWithHelpfull) {
    Organiser o;
    RunResult quiet = o.run("setv prockillnocheck\nprockill Nothing\n");
    EXPECT_FALSE(contains(quiet.out, "HELP:")) << quiet.out;
    RunResult help = o.run("setv prockillnocheck\nsetv helpfull\nprockill Nothing\n");
    EXPECT_TRUE(contains(help.out,
                         "HELP: Error in killing processes, no processes found matching patterm "
                         "Nothing\n"))
        << help.out;
}

// ---- procprotect -----------------------------------------------------------------------------

TEST(ProcessTest, KillOfEverythingSparesSystemAndLinkWhileProtected) {
    Organiser o;
    RunResult r = o.run("setv prockillnocheck\nsetv verbose\nprockill *\nproclist\n");
    EXPECT_TRUE(contains(r.out, "4 processes killed matching pattern *\n")) << r.out;
    EXPECT_TRUE(contains(r.out,
                         "Process :SYS$SHLL\nProcess :SYS$WSRV\nProcess :SYS$FSRV\n"
                         "Process :TAVLIN\n0, "))
        << r.out;
}

TEST(ProcessTest, ProtectionOffAnsweredYesLetsEverythingBeKilled) {
    Organiser o;
    RunResult r = o.run("setv prockillnocheck\nsetv verbose\nprocprotect off\ny\nprockill *\n");
    EXPECT_TRUE(contains(r.out, kProtectQuestion)) << r.out;
    EXPECT_EQ(frames(r, "po 0"), 1);
    EXPECT_TRUE(contains(r.out, "8 processes killed matching pattern *\n")) << r.out;
}

TEST(ProcessTest, ProtectionOffDeclinedSendsNothing) {
    for (const char* answer : {"n\n", "\n", ""}) {
        Organiser o;
        RunResult r = o.run(std::string("procprotect off\n") + answer);
        EXPECT_TRUE(contains(r.out, kProtectQuestion)) << r.out;
        EXPECT_EQ(frames(r, "po 0"), 0) << "answer " << answer;
    }
}

TEST(ProcessTest, ProtectionOffWithNoCheckDoesNotAsk) {
    Organiser o;
    RunResult r = o.run("setv procprotnocheck\nprocprotect off\n");
    EXPECT_FALSE(contains(r.out, "Are you sure")) << r.out;
    EXPECT_EQ(frames(r, "po 0"), 1);
}

TEST(ProcessTest, EveryOtherFormTurnsProtectionOn) {
    Organiser o;
    RunResult r = o.run("procprotect\nprocprotect on\nprocprotect yes\nprocprotect OFF\n");
    EXPECT_EQ(frames(r, "po 1"), 5);  // start-up, then the four commands
    EXPECT_EQ(frames(r, "po 0"), 0);
    EXPECT_FALSE(contains(r.out, "Are you sure")) << r.out;
}

TEST(ProcessTest, ProtectionBackOnSparesSystemAgain) {
    Organiser o;
    RunResult r = o.run(
        "setv procprotnocheck\nsetv prockillnocheck\nsetv verbose\nprocprotect off\n"
        "procprotect\nprockill *\n");
    EXPECT_TRUE(contains(r.out, "4 processes killed matching pattern *\n")) << r.out;
}

// ---- shutdown --------------------------------------------------------------------------------

TEST(ProcessTest, ShutdownClosesApplicationsWithoutAsking) {
    Organiser o;
    o.simargs = {"--release", "3.27"};
    RunResult r = o.run("setv verbose\nshutdown *\nproclist\n");
    EXPECT_FALSE(contains(r.out, "Are you sure")) << r.out;
    EXPECT_EQ(frames(r, "ps *"), 1);
    EXPECT_TRUE(contains(r.out, "4 processes shutdown matching pattern *\n")) << r.out;
    EXPECT_FALSE(contains(r.out, "Process :Agenda")) << r.out;
}

// ---- release gates ---------------------------------------------------------------------------

TEST(ProcessTest, Release37RefusesEveryProcessCommand) {
    Organiser o;
    o.simargs = {"--release", "3.7"};
    RunResult r = o.run("proclist\nprocprotect off\nprockill Word\nshutdown Word\n");
    EXPECT_TRUE(contains(r.out, refusal("proclist", "3.24", "3.7"))) << r.out;
    EXPECT_TRUE(contains(r.out, refusal("procprotect", "3.24", "3.7"))) << r.out;
    EXPECT_TRUE(contains(r.out, refusal("prockill", "3.24", "3.7"))) << r.out;
    EXPECT_TRUE(contains(r.out, refusal("shutdown", "3.27", "3.7"))) << r.out;
    EXPECT_EQ(count_of(r.out, "This is not a fatal problem, other functions may still work\n"), 4);
    EXPECT_FALSE(contains(r.out, "Are you sure")) << r.out;
    for (const char* verb : {"pl", "po", "pk", "ps"}) EXPECT_FALSE(framestarting(r, verb)) << verb;
}

TEST(ProcessTest, Release324AllowsKillButRefusesShutdown) {
    Organiser o;
    RunResult r = o.run("setv prockillnocheck\nprockill Word\nshutdown Sheet\n");
    EXPECT_EQ(frames(r, "pk Word"), 1);
    EXPECT_TRUE(contains(r.out, refusal("shutdown", "3.27", "3.24"))) << r.out;
    EXPECT_FALSE(framestarting(r, "ps"));
}

TEST(ProcessTest, RefusedCommandLetsCommandFileGoOn) {
    Organiser o;
    o.simargs = {"--release", "3.7"};
    o.local.write("procs.ovcmd", "proclist\necho after the refusal\n");
    RunResult r = o.run("run procs\n");
    EXPECT_TRUE(contains(r.out, "after the refusal\n")) << r.out;
}

TEST(ProcessTest, Release327AllowsShutdown) {
    Organiser o;
    o.simargs = {"--release", "3.27"};
    RunResult r = o.run("shutdown Sheet\n");
    EXPECT_EQ(frames(r, "ps Sheet"), 1);
    EXPECT_FALSE(contains(r.out, "requires version")) << r.out;
}

// ---- the revision 3.22 build -----------------------------------------------------------------

TEST(ProcessTest, Revision322HelpListsNoShutdown) {
    Organiser o;
    o.rev322 = true;
    RunResult r = o.run("help\n");
    EXPECT_TRUE(contains(r.out, "prockill\npause\nquit\n")) << r.out;
    EXPECT_FALSE(contains(r.out, "\nshutdown\n")) << r.out;
}

TEST(ProcessTest, Revision322DoesNotKnowShutdown) {
    Organiser o;
    o.rev322 = true;
    o.simargs = {"--release", "3.27"};
    RunResult r = o.run("shutdown Word\nhelp shutdown\nsetv prockillnocheck\nprockill Word\n");
    EXPECT_TRUE(contains(r.out, e2e::kNotKnown)) << r.out;
    EXPECT_TRUE(contains(r.out, "help: shutdown not found\n")) << r.out;
    EXPECT_FALSE(framestarting(r, "ps"));
    EXPECT_EQ(frames(r, "pk Word"), 1);
}

// Leaving the organiser's program active with pause and re-attaching to it with -r, against one
// simulator that serves across several orvel runs.
#include <gtest/gtest.h>

#include "e2e_util.h"
#include "harness.h"

using namespace e2e;

namespace {

RunResult served(ServedSim& sim, const std::string& input, std::vector<std::string> args = {}) {
    RunSpec s;
    s.input = input;
    s.args = std::move(args);
    s.timeout_ms = 15000;
    RunResult r = sim.run(s);
    r.from_yal = without_echo(r.from_yal);
    return r;
}

}  // namespace

TEST(RestartTest, PauseThenRestartThenQuitThenFreshStart) {
    OrganiserTree tree;
    ServedSim sim(tree.root);
    ASSERT_FALSE(sim.pty.empty());

    RunResult paused = served(sim, "pause\n");
    ASSERT_FALSE(paused.timed_out);
    EXPECT_EQ(paused.status, 0);
    EXPECT_TRUE(contains(paused.out, std::string(kPrompt) + kPauseMsg)) << paused.out;
    EXPECT_EQ(paused.from_yal, startup_wire());  // nothing at all after the command

    // -r sends "ol" first, without waiting for a prompt, and exactly once: the sim's stale ">"
    // from before the pause must not be read as a refusal.
    RunResult restarted = served(sim, "quit\n", {"-r"});
    ASSERT_FALSE(restarted.timed_out);
    EXPECT_EQ(restarted.status, 0) << restarted.out << restarted.err;
    EXPECT_EQ(restarted.from_yal.substr(0, 8), "$02ol$DB");
    std::vector<std::string> frames = {"ol", "sp m:", "ia", "vn", "po 1", "dc"};
    EXPECT_EQ(restarted.frames_from_yal(), frames);
    EXPECT_EQ(restarted.from_yal,
              "$02ol$DB"
              "O"
              "$05sp m:$AA"
              "O" +
                  frame_of("ia") + "O" + frame_of("vn") + "O" + frame_of("po 1") + "O" +
                  frame_of("dc") + "O");
    EXPECT_TRUE(contains(restarted.out, kQuitMsg));
    EXPECT_EQ(restarted.frames_to_yal().back(), "XDISCONNECTED");

    // After "dc" the sim is a freshly started peer again: a plain start works.
    RunResult fresh = served(sim, "quit\n");
    ASSERT_FALSE(fresh.timed_out);
    EXPECT_EQ(fresh.status, 0);
    EXPECT_EQ(fresh.from_yal, startup_wire() + frame_of("dc") + "O");
}

TEST(RestartTest, RestartAfterPauseKeepsWorking) {
    OrganiserTree tree;
    tree.write("m/DOCS/NOTE.TXT", "hello\n");
    ServedSim sim(tree.root);
    ASSERT_FALSE(sim.pty.empty());
    EXPECT_EQ(served(sim, "rcd m:\\DOCS\npause\n").status, 0);
    // Twice in a row: each restart leaves a prompt behind that the next must discard.
    RunResult again = served(sim, "pause\n", {"-r"});
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.frames_from_yal().front(), "ol");
    RunResult third = served(sim, "echo [x]\nquit\n", {"-r", "-var", "x", "done"});
    EXPECT_EQ(third.status, 0);
    EXPECT_TRUE(contains(third.out, "done\n"));
    EXPECT_EQ(count_of(third.from_yal, frame_of("ol")), 1);
}

TEST(RestartTest, CommandLineCommandWithPauseLeavesPeerActive) {
    OrganiserTree tree;
    ServedSim sim(tree.root);
    ASSERT_FALSE(sim.pty.empty());
    RunResult first = served(sim, "", {"-p", "echo", "hi"});
    EXPECT_EQ(first.status, 0);
    // runtype is interactive once start-up is over, so the pause message is printed too.
    EXPECT_TRUE(contains(first.out, std::string("hi\n") + kPauseMsg)) << first.out;
    EXPECT_EQ(first.from_yal, startup_wire());
    RunResult second = served(sim, "", {"-r", "echo", "again"});
    EXPECT_EQ(second.status, 0);
    EXPECT_EQ(second.frames_from_yal().back(), "dc");  // -q is the default finish
    EXPECT_TRUE(contains(second.out, std::string("again\n") + kQuitMsg)) << second.out;
}

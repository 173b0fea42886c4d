// The spine of the program, end to end: start-up bytes and banners, quit and end of input, the
// release floor, protocol violations, lost contact and devices that cannot be had.
#include <gtest/gtest.h>

#include "e2e_util.h"
#include "harness.h"

using namespace e2e;

namespace {

// Runs one orvel against a fresh served simulator: the wire bytes are complete.
RunResult start_with(const std::string& input, std::vector<std::string> args = {},
                     std::vector<std::string> simargs = {}, bool rev322 = false) {
    OrganiserTree tree;
    RunSpec s;
    s.root = tree.root;
    s.input = input;
    s.args = std::move(args);
    s.simargs = std::move(simargs);
    s.rev322 = rev322;
    s.timeout_ms = 15000;
    return served_once(s);
}

}  // namespace

TEST(SpineTest, NormalStartSendsExactStartupBytes) {
    RunResult r = start_with("quit\n");
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.from_yal.substr(0, 9), "O$02ia$CA");
    EXPECT_EQ(r.from_yal, startup_wire() + "$02dc$C7" + "O");
    EXPECT_EQ(frame_of("tm"), "$02tm$E1");
    EXPECT_EQ(frame_of("vn"), "$02vn$E4");
    EXPECT_EQ(frame_of("po 1"), "$04po 1$30");
    std::vector<std::string> replies = {"XONLINE", "XYES", "XOK", "V3.24", "XON", "XDISCONNECTED"};
    EXPECT_EQ(r.frames_to_yal(), replies);
}

TEST(SpineTest, BannerPromptAndQuitMessage) {
    RunResult r = start_with("quit\n");
    EXPECT_EQ(r.out.substr(0, banner("3.24").size()), banner("3.24"));
    // The banner's second line begins with a blank; the prompt follows.
    size_t second = banner("3.24").size();
    ASSERT_GT(r.out.size(), second);
    EXPECT_EQ(r.out[second], ' ');
    EXPECT_TRUE(contains(r.out, std::string(kPrompt) + kQuitMsg)) << r.out;
    EXPECT_EQ(count_of(r.out, kPrompt), 1);
}

TEST(SpineTest, NoVersionCheckSendsNoVnButStillPo) {
    RunResult r = start_with("quit\n", {"-nv"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.from_yal, startup_wire(false) + frame_of("dc") + "O");
    std::vector<std::string> frames = {"ia", "tm", "po 1", "dc"};
    EXPECT_EQ(r.frames_from_yal(), frames);
    EXPECT_EQ(r.out.substr(0, banner("2.3").size()), banner("2.3"));
}

TEST(SpineTest, Revision322BannerNamesItself) {
    RunResult r = start_with("quit\n", {}, {}, true);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.substr(0, banner("3.24", "3.22").size()), banner("3.24", "3.22"));
    EXPECT_EQ(r.from_yal, startup_wire() + frame_of("dc") + "O");
}

TEST(SpineTest, EndOfInputEndsAsPause) {
    RunResult r = start_with("");
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.from_yal, startup_wire());  // nothing after start-up: no "dc"
    EXPECT_TRUE(contains(r.out, kPrompt));
}

TEST(SpineTest, PauseSendsNothingAndExitsZero) {
    RunResult r = start_with("pause\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.from_yal, startup_wire());
    EXPECT_TRUE(contains(r.out, std::string(kPrompt) + kPauseMsg)) << r.out;
}

TEST(SpineTest, ReleaseWithoutProcessProtectionSkipsPo) {
    RunResult r = start_with("quit\n", {}, {"--release", "3.7"});
    EXPECT_EQ(r.status, 0);
    std::vector<std::string> frames = {"ia", "tm", "vn", "dc"};
    EXPECT_EQ(r.frames_from_yal(), frames);
    EXPECT_EQ(r.out.substr(0, banner("3.7").size()), banner("3.7"));
}

TEST(SpineTest, ReleaseBelowFloorIsFatal) {
    RunResult r = start_with("echo never\n", {}, {"--release", "3.6"});
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(r.out, banner("3.6"))) << r.out;
    EXPECT_TRUE(contains(
        r.out, "Function Orvel program requires version 3.7 of tavlin, you have version 3.6\n"));
    EXPECT_TRUE(contains(r.out, "for a later release of this software\n"));
    EXPECT_TRUE(contains(r.out, "THIS IS A FATAL INCOMPATIBILITY, program exiting\n"));
    EXPECT_FALSE(contains(r.out, "never"));
    std::vector<std::string> frames = {"ia", "tm", "vn", "dc"};
    EXPECT_EQ(r.frames_from_yal(), frames);
    EXPECT_EQ(r.frames_to_yal().back(), "XDISCONNECTED");
}

TEST(SpineTest, UnknownVersionCommandMeansRelease23) {
    RunResult r = start_with("echo never\n", {}, {"--release", "none"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(r.out, banner("2.3"))) << r.out;
    EXPECT_TRUE(contains(
        r.out, "Function Orvel program requires version 3.7 of tavlin, you have version 2.3\n"));
    EXPECT_TRUE(contains(r.out, "THIS IS A FATAL INCOMPATIBILITY, program exiting\n"));
    EXPECT_EQ(r.frames_from_yal().back(), "dc");
}

TEST(SpineTest, WrongReplyIsAProtocolViolation) {
    RunResult r = start_with("echo never\n", {}, {"--reply", "tm=XBAD"});
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "ERROR, Protocol violation, expected (XOK), got (XBAD), exiting\n");
    std::vector<std::string> frames = {"ia", "tm"};
    EXPECT_EQ(r.frames_from_yal(), frames);
}

TEST(SpineTest, WrongFirstFrameIsAProtocolViolation) {
    RunResult r = start_with("echo never\n", {}, {"--online", "XHELLO"});
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "ERROR, Protocol violation, expected (XONLINE), got (XHELLO), exiting\n");
    EXPECT_EQ(r.from_yal, "O");  // the frame itself was intact, so it was acknowledged
}

TEST(SpineTest, HangUpIsLostContact) {
    // Frames counted both ways: XONLINE, ia, XYES, tm; the line closes before XOK.
    OrganiserTree tree;
    RunResult r = quick(tree.root, "echo never\n", {}, {"--fault", "hangup=4"});
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.out, kLostContact)) << r.out << r.err;
    EXPECT_FALSE(contains(r.out, "never"));
}

TEST(SpineTest, HangUpMidSessionIsLostContact) {
    OrganiserTree tree;
    RunResult r = quick(tree.root, "echo one\nbinary\necho two\n", {}, {"--fault", "hangup=10"});
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.out, "one\n"));
    EXPECT_TRUE(contains(r.out, kLostContact));
    EXPECT_FALSE(contains(r.out, "two\n"));
}

TEST(SpineTest, UnopenableDeviceExitsSix) {
    RunSpec s;
    s.args = {"-d", "/nonexistent"};
    s.timeout_ms = 10000;
    RunResult r = run_orvel_direct(s);
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.status, 6);
    EXPECT_EQ(r.err, "Error in openint device\n\n");
    EXPECT_EQ(r.out, "");
}

TEST(SpineTest, SecondOrvelOnBusyDeviceIsRefusedAtOnce) {
    OrganiserTree tree;
    ServedSim sim(tree.root);
    ASSERT_FALSE(sim.pty.empty());
    RunSpec first;
    first.keep_stdin_open = true;
    std::unique_ptr<Proc> p = sim.start(first);
    ASSERT_TRUE(p->wait_for_out(kPrompt, 10000)) << p->out() << p->err();

    RunSpec second;
    second.input = "quit\n";
    second.timeout_ms = 5000;
    RunResult r2 = sim.run(second);
    EXPECT_FALSE(r2.timed_out);
    EXPECT_LT(r2.wall_seconds, 3.0);  // refused at once, not after waiting for the line
    EXPECT_EQ(r2.status, 6);
    EXPECT_NE(r2.err, "");
    EXPECT_EQ(r2.from_yal, "");

    // The first one is unharmed and still answers.
    p->write_input("echo still here\nquit\n");
    p->close_input();
    RunResult r1;
    p->finish(10000, &r1);
    EXPECT_EQ(r1.status, 0);
    EXPECT_TRUE(contains(r1.out, "still here\n"));
}

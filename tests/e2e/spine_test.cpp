// The spine of the program, end to end: the exact start-up bytes and screens of both builds and
// of each release, the release floor, protocol violations, lost contact and a busy device.
#include <gtest/gtest.h>

#include "e2e_util.h"
#include "harness.h"

using namespace e2e;

TEST(SpineTest, StartUpBytesAndScreensOfEachPeer) {
    struct Case {
        const char *args, *simargs;
        bool rev322;
        const char* input;
        int status;
        std::string wire, out;  // every byte orvel sent (its acks too); all it printed
    };
    const std::string p = kPrompt, violation = "ERROR, Protocol violation, expected ";
    const std::string need = "Function Orvel program requires version 3.7 of tavlin, you have";
    const std::string fatal =
        "\nPlease contact the orvel maintainers at your site\n"
        "for a later release of this software\nTHIS IS A FATAL INCOMPATIBILITY, program exiting\n";
    const Case cases[] = {
        {"", "", false, "quit\n", 0, kStartWire + kDc, greeting("3.24") + p + kQuitMsg},
        {"-nv", "", false, "quit\n", 0, kStartHead + kPo + kDc, greeting("2.3") + p + kQuitMsg},
        {"", "", true, "quit\n", 0, kStartWire + kDc, greeting("3.24", "3.22") + p + kQuitMsg},
        {"", "", false, "", 0, kStartWire, greeting("3.24") + p + kPauseMsg},  // end of input
        {"", "--release 3.7", false, "echo x\nquit\n", 0, kStartHead + kVn + kDc,
         greeting("3.7") + p + "x\n" + p + kQuitMsg},  // no process protection: no po
        {"", "--release 3.6", false, "echo never\n", 4, kStartHead + kVn + kDc,
         greeting("3.6") + need + " version 3.6" + fatal},
        {"", "--release none", false, "echo never\n", 4, kStartHead + kVn + kDc,
         greeting("2.3") + need + " version 2.3" + fatal},  // no vn command: release 2.3
        {"", "--reply tm=XBAD", false, "echo never\n", 1, kStartHead,
         violation + "(XOK), got (XBAD), exiting\n"},
        {"", "--online XHELLO", false, "echo never\n", 1, "O",  // an intact frame is acked
         violation + "(XONLINE), got (XHELLO), exiting\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.args) + c.simargs + (c.rev322 ? "3.22 build" : ""));
        OrganiserTree tree;
        RunResult r = served_once({.args = words(c.args),
                                   .input = c.input,
                                   .simargs = words(c.simargs),
                                   .root = tree.root,
                                   .rev322 = c.rev322,
                                   .timeout_ms = 15000});
        ASSERT_FALSE(r.timed_out);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(r.from_yal, c.wire);
        EXPECT_EQ(r.out, c.out);
    }
}

TEST(SpineTest, HangUpMidSessionIsLostContact) {
    OrganiserTree tree;
    RunResult r = quick(tree.root, "echo one\nbinary\necho two\n", {}, {"--fault", "hangup=10"});
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, greeting("3.24") + kPrompt + "one\n" + kPrompt + kLostContact);
}

TEST(SpineTest, SecondOrvelOnBusyDeviceIsRefusedAtOnce) {
    OrganiserTree tree;
    ServedSim sim(tree.root);
    std::unique_ptr<Proc> p = sim.start({.keep_stdin_open = true});
    ASSERT_TRUE(p->wait_for_out(kPrompt, 10000)) << p->out() << p->err();
    RunResult r2 = sim.run({.input = "quit\n", .timeout_ms = 5000});
    EXPECT_LT(r2.wall_seconds, 3.0);  // refused at once, not after waiting for the line
    EXPECT_EQ(r2.status, 6);
    EXPECT_EQ(r2.err, "Error, the device is in use by another orvel\n\n");
    EXPECT_EQ(r2.from_yal, "");
    // The first one is unharmed and still answers.
    p->write_input("echo still here\nquit\n");
    p->close_input();
    RunResult r1;
    p->finish(10000, &r1);
    EXPECT_EQ(r1.status, 0);
    EXPECT_TRUE(contains(r1.out, std::string(kPrompt) + "still here\n"));
}

// The serial line gets back the settings it had before orvel opened it, on every way out:
// pause, quit, a protocol violation, lost contact (the opt-in line time-out on a silent
// organiser) and the signals SIGTERM, SIGINT and SIGHUP arriving while orvel waits.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <tuple>

#include "e2e_util.h"
#include "harness.h"

using namespace e2e;

TEST(LineSettingsTest, RestoredOnEveryWayOut) {
    auto settings_of = [](const std::string& device) {  // not as its controlling terminal
        struct termios t = {};
        int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        EXPECT_TRUE(fd >= 0 && tcgetattr(fd, &t) == 0) << device;
        if (fd >= 0) close(fd);
        return std::make_tuple(t.c_iflag, t.c_oflag, t.c_cflag, t.c_lflag, cfgetispeed(&t),
                               cfgetospeed(&t));  // the modes and speeds
    };
    struct Case {
        const char *name, *simargs;
        std::string input;
        int signal, status;
        std::string out_tail;
    };
    // "--mute-after 9": the organiser answers the nine frames of the start-up, then nothing.
    const char* mute = "--mute-after 9";
    const std::string waiting = "echo waiting\nbinary\n",
                      shown = "waiting\n" + std::string(kPrompt);
    const Case cases[] = {
        {"pause", "", "pause\n", 0, 0, kPauseMsg},
        {"quit", "", "quit\n", 0, 0, kQuitMsg},
        {"protocol violation", "--reply tm=XBAD", "quit\n", 0, 1, "got (XBAD), exiting\n"},
        {"line time-out", mute, "setv linetimeout 1\nbinary\necho never\n", 0, 1, kLostContact},
        {"SIGTERM", mute, waiting, SIGTERM, 128 + SIGTERM, shown},
        {"SIGINT", mute, waiting, SIGINT, 128 + SIGINT, shown},
        {"SIGHUP", mute, waiting, SIGHUP, 128 + SIGHUP, shown},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OrganiserTree tree;
        ServedSim sim(tree.root, words(c.simargs));
        auto before = settings_of(sim.pty);
        std::unique_ptr<Proc> p = sim.start({.input = c.input, .keep_stdin_open = c.signal != 0});
        if (c.signal != 0) {
            EXPECT_TRUE(p->wait_for_out("waiting\n", 10000)) << p->out();
            p->wait_until([] { return false; }, 400);  // orvel now waits for the reply
            EXPECT_NE(settings_of(sim.pty), before);   // with the line set up its own way
            p->send(c.signal);
        }
        RunResult r = sim.collect(*p, 15000);
        ASSERT_FALSE(r.timed_out);
        EXPECT_EQ(r.status, c.status);
        EXPECT_TRUE(r.out.ends_with(c.out_tail)) << r.out;
        EXPECT_LT(r.wall_seconds, 6.0);  // the line time-out of 1 s ends a silent wait
        EXPECT_EQ(settings_of(sim.pty), before);
    }
}

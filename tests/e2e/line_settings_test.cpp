// The serial line: orvel sets it up its own way whatever it finds on the port, and gives it back
// exactly as found on every way out: pause, quit, a protocol violation, lost contact (the opt-in
// line time-out on a silent organiser), a line too noisy to use, every signal that ends or stops
// the program, and a closed output pipe. The device is not left to a child of `!`.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <tuple>

#include "e2e_util.h"
#include "harness.h"

using namespace e2e;

namespace {

// The modes, speeds and control characters of a terminal device, read without making it
// anyone's controlling terminal.
auto settings_of(const std::string& device) {
    struct termios t = {};
    int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    EXPECT_TRUE(fd >= 0 && tcgetattr(fd, &t) == 0) << device;
    if (fd >= 0) close(fd);
    return std::make_tuple(t.c_iflag, t.c_oflag, t.c_cflag, t.c_lflag, cfgetispeed(&t),
                           cfgetospeed(&t), std::string(t.c_cc, t.c_cc + NCCS));
}

// Under AddressSanitizer its own report of a SIGSEGV ends the process, as its options say.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kSegvStatus = -1;  // not checked
#else
constexpr int kSegvStatus = 128 + SIGSEGV;
#endif

const char kTooNoisy[] = "the line is too noisy, exiting\n";

}  // namespace

TEST(LineSettingsTest, RestoredOnEveryWayOut) {
    const struct rlimit nocore = {0, 0};  // SIGQUIT and the crash signals would dump core
    setrlimit(RLIMIT_CORE, &nocore);
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
        {"refused every time", "--fault in=1", "quit\n", 0, 1, kTooNoisy},
        {"damaged every time", "--fault out=1", "quit\n", 0, 1, kTooNoisy},
        {"SIGTERM", mute, waiting, SIGTERM, 128 + SIGTERM, shown},
        {"SIGINT", mute, waiting, SIGINT, 128 + SIGINT, shown},
        {"SIGHUP", mute, waiting, SIGHUP, 128 + SIGHUP, shown},
        {"SIGQUIT", mute, waiting, SIGQUIT, 128 + SIGQUIT, shown},
        {"SIGUSR1", mute, waiting, SIGUSR1, 128 + SIGUSR1, shown},
        {"SIGUSR2", mute, waiting, SIGUSR2, 128 + SIGUSR2, shown},
        {"SIGALRM", mute, waiting, SIGALRM, 128 + SIGALRM, shown},
        {"SIGABRT", mute, waiting, SIGABRT, 128 + SIGABRT, shown},
        {"SIGSEGV", mute, waiting, SIGSEGV, kSegvStatus, shown},
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
        if (c.status >= 0) {
            EXPECT_EQ(r.status, c.status);
        }
        EXPECT_TRUE(r.out.ends_with(c.out_tail)) << r.out;
        EXPECT_LT(r.wall_seconds, 6.0);  // the line time-out of 1 s ends a silent wait
        EXPECT_EQ(settings_of(sim.pty), before);
    }
}

// A port left raw (no canonical input) or translating newlines made every reply arrive spoilt:
// in pieces, on a line paced like a real one, or never ending.
TEST(LineSettingsTest, ALineLeftRawOrTranslatingCarriesFilesExactly) {
    std::string bytes;
    for (int i = 0; i < 1000; ++i) bytes += static_cast<char>(i * 7);
    for (tcflag_t inlcr : {0, INLCR}) {
        SCOPED_TRACE(inlcr ? "INLCR" : "raw");
        OrganiserTree tree;
        TempDir local;
        tree.write("m/ALL.BIN", bytes);
        ServedSim sim(tree.root, {"--baud", "115200"});
        struct termios t;
        int fd = open(sim.pty.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_EQ(tcgetattr(fd, &t), 0);
        if (inlcr == 0) cfmakeraw(&t);
        t.c_iflag |= inlcr;
        t.c_lflag |= ECHO;  // as `stty raw` leaves it: the organiser waits until orvel clears it
        tcsetattr(fd, TCSANOW, &t);
        close(fd);
        auto before = settings_of(sim.pty);
        RunResult r = sim.run({.input = "get m:\\ALL.BIN\nquit\n", .cwd = local.path});
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(local.read("ALL.BIN"), bytes);
        EXPECT_EQ(settings_of(sim.pty), before);
    }
}

TEST(LineSettingsTest, StopGivesTheLineBackAndContinueTakesItAgain) {
    OrganiserTree tree;
    ServedSim sim(tree.root);
    auto before = settings_of(sim.pty);
    std::unique_ptr<Proc> p = sim.start({.input = "echo one\n", .keep_stdin_open = true});
    ASSERT_TRUE(p->wait_for_out("one\n", 10000)) << p->out();
    // The organiser's next ready prompt must be on the line before the stop: the simulator sends
    // nothing while the line echoes, as it does with the settings given back.
    auto prompt_queued = [&] {
        int fd = open(sim.pty.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC), lines = 0;
        if (fd >= 0) ioctl(fd, FIONREAD, &lines), close(fd);
        return lines > 0;
    };
    ASSERT_TRUE(p->wait_until(prompt_queued, 5000));
    auto held = settings_of(sim.pty);
    EXPECT_NE(held, before);
    p->send(SIGTSTP);
    EXPECT_TRUE(p->wait_until([&] { return settings_of(sim.pty) == before; }, 5000));
    p->write_input("echo two\n");
    EXPECT_FALSE(p->wait_for_out("two\n", 500)) << "not stopped";
    p->send(SIGCONT);
    EXPECT_TRUE(p->wait_for_out("two\n", 5000));
    EXPECT_EQ(settings_of(sim.pty), held);
    p->write_input("rpwd\nquit\n");
    p->close_input();
    RunResult r = sim.collect(*p, 15000);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.ends_with(std::string("two\n") + kPrompt + "CWD on orvel is M:\\\n" +
                                kPrompt + kQuitMsg))
        << r.out;
    EXPECT_EQ(settings_of(sim.pty), before);
}

// `orvel ... | head`: once head has gone, the next command for the organiser is not sent.
TEST(LineSettingsTest, AClosedOutputEndsTheRunWithTheLineRestored) {
    OrganiserTree tree;
    ServedSim sim(tree.root);
    auto before = settings_of(sim.pty);
    // "gone" once nothing reads orvel's output any more; the status of orvel on standard error.
    const char* script =
        "{ \"$0\" -d \"$1\"; echo \"status $?\" >&2; } |"
        "{ head -n 1; exec <&-; echo gone >&2; }";
    Proc p({"/bin/sh", "-c", script, ORVEL_BIN, sim.pty}, {.keep_stdin_open = true});
    ASSERT_TRUE(p.wait_until([&] { return p.err() == "gone\n"; }, 10000)) << p.err();
    p.write_input("echo lost\nrpwd\nquit\n");
    p.close_input();
    RunResult r = sim.collect(p, 15000);
    EXPECT_EQ(r.frames_from_yal(), (std::vector<std::string>{"ia", "tm", "vn", "po 1"}));
    EXPECT_EQ(r.out, banner("3.24"));
    EXPECT_EQ(r.err, "gone\nERROR, Cannot write to standard output, exiting\nstatus 1\n");
    EXPECT_EQ(settings_of(sim.pty), before);
}

// A background child of `!` outlives orvel; it must not hold the line, or its lock.
TEST(LineSettingsTest, AChildOfBangDoesNotKeepTheLine) {
    OrganiserTree tree;
    ServedSim sim(tree.root);
    RunResult first = sim.run({.input = "! sleep 3 </dev/null >/dev/null 2>&1 &\nquit\n"});
    EXPECT_EQ(first.status, 0) << first.err;
    RunResult second = sim.run({.input = "quit\n"});
    EXPECT_EQ(second.status, 0) << second.err;  // not 6: "in use by another orvel"
}
